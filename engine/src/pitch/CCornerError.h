#pragma once

#include "pitch/CMarkingEstimator.h"

#include <opencv2/core.hpp>

#include <optional>

// How far the corners of a calibration seem to be off, in picture pixels:
// the corner moves that would lay the projected outline, halfway line and
// centre circle (its centre and shape, with its radius free) best on their
// paint, solved by robust least squares from the paint's offsets across
// them, and the distances from the corners to the painted crossings at
// them. A single corner clicked a few pixels off moves the markings near it
// by that much but those far from it hardly at all, so their mean distance
// understates it; the moves and the crossings say it directly.
//
// Stateless; no lock of its own.
class CCornerError
{
public:
    using Corners = CMarkingEstimator::Corners;

    CCornerError();
    virtual ~CCornerError();

    // The largest corner move in pixels, for a pitch of the given dimensions
    // whose centre circle has circleRadiusM (0: none taken), or the largest
    // distance from a corner to the painted crossing within 12 px of it.
    // Nothing when neither is painted, or the corners define no
    // perspective.
    std::optional<double> Measure(const cv::Mat& bgr, const Corners& corners, double widthM,
        double lengthM, double circleRadiusM) const;
};
