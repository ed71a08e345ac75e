#pragma once

#include "pitch/CLensModel.h"

#include <opencv2/core.hpp>

#include <array>
#include <optional>
#include <vector>

// A calibration from any known pitch points: the homography from the pitch
// plane to the ideal (undistorted) picture that best fits the points'
// reprojection error, and the four pitch corners it implies, which may lie
// outside the picture (a view of one half of the pitch).
class CPointCalibration
{
public:
    struct Result
    {
        // Ideal picture corners in click order: top left (0, length), top
        // right (width, length), bottom left (0, 0), bottom right (width, 0).
        std::array<cv::Point2d, 4> idealCorners;
        // Root-mean-square distance in recorded picture pixels between the
        // given points and the pitch points projected through the fit.
        double rmsPx = 0.0;
    };

    // Empty when the points cannot calibrate: fewer than four, different
    // counts, a value that is not finite, fewer than four points in general
    // position in the picture or on the pitch, a dimension that is not
    // positive, or a pitch corner on or beyond the horizon.
    static std::optional<Result> Fit(const std::vector<cv::Point2d>& picture,
        const std::vector<cv::Point2d>& pitch, const CLensModel& lens, double width,
        double length);

    // Whether four of the points have no three on one line.
    static bool hasGeneralFour(const std::vector<cv::Point2d>& points);
};
