#pragma once

#include "pitch/CPitchGeometry.h"

#include <opencv2/core.hpp>

#include <optional>

// How a standing player looks at one place on the pitch, read from the
// calibration alone (so a lens model added to the geometry carries over): a
// small disc on the ground shows as an ellipse whose short axis points away
// from the camera and is shortened by sin(elevation); a standing body shows
// along that axis at cos(elevation) of its height. Seen from straight above
// (upright 0) a player is a disc round the feet; from an oblique camera
// (upright near 1) a body rising from them.
class CPlayerShape
{
public:
    static constexpr double kBodyHeightM = 1.8;
    static constexpr double kBodyWidthM = 0.5;

    // Empty where the geometry cannot map the point (beyond the horizon).
    static std::optional<CPlayerShape> at(const CPitchGeometry& geometry, cv::Point2d pitch);

    cv::Point2d foot; // picture point of the ground contact
    cv::Point2d upUnit; // picture direction from the feet to the head
    double heightPx = 0; // the body's height as the picture shows it
    double radiusPx = 0; // half the body's width
    double pxPerMetre = 0; // the larger scale of the ground here
    double upright = 0; // cos(elevation): 0 from straight above, 1 from the side
};
