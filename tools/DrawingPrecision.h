#pragma once

#include <opencv2/core.hpp>

// All generator drawing is done with sub-pixel coordinates: OpenCV's shift
// argument takes points scaled by 2^kShiftBits.
namespace testclips {

inline constexpr int kShiftBits = 4;
inline constexpr double kShiftScale = 1 << kShiftBits;

inline cv::Point fixedPoint(cv::Point2d p)
{
    return cv::Point(cvRound(p.x * kShiftScale), cvRound(p.y * kShiftScale));
}

} // namespace testclips
