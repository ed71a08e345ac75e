#pragma once

#include "tracking/CTrackFinisher.h"

#include <opencv2/core.hpp>

#include <array>
#include <ostream>
#include <string>
#include <vector>

// The tracks CSV and its JSON sidecar: one row per track per frame, sorted
// by frame then track id, numbers in the C locale whatever the process's
// locale ('.' decimal point, fixed decimals, never "-0.00"), '\n' line ends.
class CTracksCsvWriter
{
public:
    static constexpr const char* kHeader = "frame,time_s,track_id,team,x_m,y_m,speed_m_s,state\n";

    // `tracks` sorted by id, each with consecutive samples.
    static void write(std::ostream& out, const std::vector<CFinishedTrack>& tracks, double fps);

    struct Sidecar
    {
        std::string video;
        double fps = 0;
        long long frames = 0;
        double length = 0, width = 0;
        std::array<cv::Point2d, 4> corners; // click order: TL, TR, BL, BR
    };
    static std::string sidecar(const Sidecar& facts);

    // `value` with `decimals` digits after the point.
    static std::string fixed(double value, int decimals);
};
