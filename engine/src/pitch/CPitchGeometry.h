#pragma once

#include "pitch/CLensModel.h"

#include <opencv2/core.hpp>

#include <array>
#include <optional>

// The metric mapping between the picture and the pitch plane, in double
// precision: the exact homography through the four picture corners onto the
// pitch rectangle, its inverse, and distances with their uncertainty under
// click errors.
//
// Pitch coordinates are metres (or whatever unit the dimensions are in) with
// the origin at the bottom-left corner, x along the bottom edge (0 .. width)
// and y towards the top edge (0 .. length).
//
// A value object: immutable once made, so copies may be used on any thread.
class CPitchGeometry
{
public:
    // Picture corners in click order: top left, top right, bottom left,
    // bottom right.
    using Corners = std::array<cv::Point2d, 4>;

    struct Distance
    {
        double metres;
        double sigmaMetres;
    };

    // Standard deviations of one click accepted for uncertainties, in pixels.
    static constexpr double kMaxClickSigmaPx = 50.0;
    static bool isValidClickSigma(double sigmaPx);

    // Empty when the corners and dimensions define no calibration: a value
    // that is not finite, a dimension <= 0, three corners on one line, or a
    // quadrilateral that crosses itself (part of the pitch would then lie
    // beyond the horizon).
    // With a lens the corners are ideal (undistorted) picture points and
    // every picture point given or returned goes through the lens.
    static std::optional<CPitchGeometry> fromCorners(
        const Corners& corners, double width, double length, const CLensModel& lens = {});

    // Empty for a point on or beyond the horizon of the pitch plane, where
    // the homogeneous coordinate is 0 or has the other sign than at the pitch.
    std::optional<cv::Point2d> toPitch(cv::Point2d picture) const;
    std::optional<cv::Point2d> toPicture(cv::Point2d pitch) const;

    // The pitch distance between two picture points and its standard
    // deviation when each corner coordinate and each end-point coordinate
    // carries an independent Gaussian error of sigmaPx, propagated to first
    // order. For two points that map onto the same pitch point the first
    // order vanishes; the root-mean-square distance those errors produce is
    // given instead, since a certain zero would mislead. Empty for an end
    // point beyond the horizon or a sigma outside 0 .. kMaxClickSigmaPx.
    std::optional<Distance> measure(cv::Point2d from, cv::Point2d to, double sigmaPx) const;

    const cv::Matx33d& pitchFromPicture() const { return forward; }
    const cv::Matx33d& pictureFromPitch() const { return inverse; }

private:
    CPitchGeometry(const Corners& corners, double width, double length, const cv::Matx33d& forward,
        const cv::Matx33d& inverse, const CLensModel& lens);

    // The pitch vector from one picture point to another, and how it moves
    // with each of the twelve clicked coordinates.
    using Separation = std::optional<cv::Point2d>;
    Separation separation(cv::Point2d from, cv::Point2d to) const;
    std::optional<cv::Matx<double, 2, 12>> separationJacobian(
        cv::Point2d from, cv::Point2d to) const;

    Corners corners;
    double width;
    double length;
    cv::Matx33d forward;
    cv::Matx33d inverse;
    CLensModel lens;
};
