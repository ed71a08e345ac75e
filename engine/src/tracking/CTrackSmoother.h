#pragma once

#include <opencv2/core.hpp>

#include <vector>

// Positions and ground speeds of one track from its raw per-frame positions
// (consecutive frames). Raw positions carry a few decimetres of jitter; summed
// frame to frame they would multiply the distance covered, so positions are
// smoothed first with a zero-phase Savitzky-Golay filter (a quadratic fitted
// by least squares over a window centred on each frame; at the track's ends
// the window is cut off and the fit evaluated off-centre, which keeps the
// ends unbiased), and the speed is that quadratic's slope. Speeds below
// kStillMps are taken as standing still: what is left of the jitter after
// smoothing would otherwise add up over the minutes a player stands.
// Written by hand: OpenCV has no Savitzky-Golay filter.
class CTrackSmoother
{
public:
    static constexpr double kWindowS = 1.0;
    static constexpr double kStillMps = 0.25;

    explicit CTrackSmoother(double fps);

    struct Result
    {
        std::vector<cv::Point2d> positions;
        std::vector<double> speedsMps;
    };
    Result smooth(const std::vector<cv::Point2d>& raw) const;

    // The distance covered, metres: the speeds summed over their frames.
    double distance(const std::vector<double>& speedsMps) const;

private:
    double fps;
    int halfWindow;
};
