#pragma once

#include <opencv2/core.hpp>

// Radial lens distortion for generated clips, written independently of the
// engine's lens so that tests compare two implementations of one model:
// a recorded point d corresponds to the ideal point
//     u = c + (d - c) (1 + k1 rho^2 + k2 rho^4),
// rho = |d - c| over half the picture diagonal.
namespace testclips {

struct Lens
{
    double k1 = 0.0;
    double k2 = 0.0;
    // The centre as an offset from the middle of the picture, in shares of
    // its width and height (0.1 = a tenth of the picture to the right/down).
    double centreShiftX = 0.0;
    double centreShiftY = 0.0;

    bool active() const { return k1 != 0.0 || k2 != 0.0; }
    // The centre in picture pixels for a picture of the given size.
    cv::Point2d centre(cv::Size picture) const;
    cv::Point2d undistort(cv::Point2d recorded, cv::Size picture) const;
    // The recorded point of an ideal one (bisection on the radius).
    cv::Point2d distort(cv::Point2d ideal, cv::Size picture) const;
};

// The picture a camera with this lens records of a scene whose pinhole
// picture is `ideal` (same size; parts the lens brings in from beyond the
// edges repeat the edge).
cv::Mat warpThroughLens(const cv::Mat& ideal, const Lens& lens);

} // namespace testclips
