#pragma once

#include "Vistrel.h"

// The unit tests' way to the engine's frame reader and its mutex.
struct VistrelTestAccess
{
    static bool readFrame(Vistrel& engine) { return engine.readFrame(); }
    static bool seekToTime(Vistrel& engine, int targetMs) { return engine.seekToTime(targetMs); }
    static const cv::Mat& frame(const Vistrel& engine) { return engine.frame; }
    static pthread_mutex_t& mutex(Vistrel& engine) { return engine.mutex; }
};
