#pragma once

#include "ClipSettings.h"

#include <array>

namespace testclips {

// Where the camera a clip's settings describe puts the pitch in the picture:
// the four corners and the homography from real pitch coordinates to pixels.
// The camera is either the tilt model (a trapezoid of chosen narrowing) or a
// pinhole at a given height and distance behind the pitch.
class PitchCamera
{
public:
    explicit PitchCamera(const ClipSettings& clipSettings);

    // The truth for valid settings (the caller checks them).
    ClipTruth truth() const;

private:
    // Picture corners before rounding, in click order.
    std::array<cv::Point2d, 4> trapezoid() const;
    std::array<cv::Point2d, 4> tiltShape() const;
    std::array<cv::Point2d, 4> cameraShape() const;

    ClipSettings plan;
};

} // namespace testclips
