#pragma once

#include "pitch/CLensModel.h"

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

// Estimates radial lens distortion from one picture of a pitch by the
// plumb-line method: the painted lines are straight on the pitch, so the
// lens that makes the long painted lines straightest once undistorted is
// the camera's.
//
// Lines are traced as chains of paint points (bright, thin ridges on the
// grass) that may bend, and k1, k2 and the centre are fitted by
// Levenberg-Marquardt on the distances of the undistorted points from their
// lines' best straight lines.
class CLensEstimator
{
public:
    // A painted line as sampled in the picture: recorded points in order.
    using Chain = std::vector<cv::Point2d>;

    // Empty when fewer than three long lines, not all parallel, are found,
    // or the picture shows no measurable bending.
    // straightRmsPx (optional) gets Straightness() of the lines used
    // through the lens found.
    std::optional<CLensModel> Estimate(const cv::Mat& bgr, double* straightRmsPx = nullptr) const;

    // The fit alone, on chains already found: empty for too few chains or a
    // fit that does not converge to a valid lens.
    static std::optional<CLensModel> FitChains(
        const std::vector<Chain>& chains, cv::Size picture, bool fitCentre = true);

    // The long painted-line chains the estimate works on.
    std::vector<Chain> FindChains(const cv::Mat& bgr) const;

    // Chains that lie on one straight line once undistorted by `lens`,
    // joined into one.
    static std::vector<Chain> MergeChains(const std::vector<Chain>& chains, const CLensModel& lens);

    // The root-mean-square distance in pixels of the chains' points from the
    // straight lines fitted to each chain once undistorted by `lens`.
    static double Straightness(const std::vector<Chain>& chains, const CLensModel& lens);
};
