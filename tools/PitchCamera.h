#pragma once

#include "ClipSpec.h"

#include <array>

namespace testclips {

// Where the camera a clip's settings describe puts the pitch in the picture:
// the four corners and the homography from real pitch coordinates to pixels.
class PitchCamera
{
public:
    explicit PitchCamera(const ClipSpec& clipSettings);

    // The truth for valid settings (the caller checks them).
    ClipTruth truth() const;

private:
    // Picture corners before rounding, in click order.
    std::array<cv::Point2d, 4> trapezoid() const;

    ClipSpec spec;
};

} // namespace testclips
