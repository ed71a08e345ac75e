#pragma once

#include "core/Vistrel.h"

// The unit tests' way to the engine's frame reader and its mutex.
struct VistrelTestAccess
{
    static bool readFrame(Vistrel& engine) { return engine.readFrame(); }
    static bool seekToTime(Vistrel& engine, int targetMs) { return engine.seekToTime(targetMs); }
    static const cv::Mat& frame(const Vistrel& engine) { return engine.frame; }
    static pthread_mutex_t& mutex(Vistrel& engine) { return engine.mutex; }

    // Hands a frame to the analysis stages as the loop does (the display
    // image starts as a copy of it) and returns the display image.
    static const cv::Mat& processFrame(Vistrel& engine, const cv::Mat& frame)
    {
        engine.frame = frame.clone();
        engine.outputImage = frame.clone();
        engine.ProcessImage();
        return engine.outputImage;
    }
};
