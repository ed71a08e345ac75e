#pragma once

#include "pitch/CMarkingEstimator.h"

#include <opencv2/core.hpp>

#include <optional>

// How well a calibration fits the picture: the centre circle (9.15 m) and the
// halfway line that the corners and dimensions predict, compared with the
// painted ones. The halfway line joins the midpoints of either pair of
// opposite edges, depending on which way the pitch was clicked; whichever of
// the two is painted counts.
//
// Stateless; no lock of its own.
class CCalibrationFit
{
public:
    using Corners = CMarkingEstimator::Corners;

    CCalibrationFit();
    virtual ~CCalibrationFit();

    // The mean distance in pixels from the predicted markings to the painted
    // ones; nothing when no predicted marking has paint near it along most of
    // its course, or the corners define no perspective.
    std::optional<double> Measure(
        const cv::Mat& bgr, const Corners& corners, double widthM, double lengthM) const;
};
