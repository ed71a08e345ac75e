#pragma once

#include "pitch/CMarkingEstimator.h"

#include <opencv2/core.hpp>

#include <optional>

// How well a calibration fits the picture: the centre circle and the halfway
// line that the corners and dimensions predict, compared with the painted
// ones. The halfway line and the circle's centre and shape depend on the
// corners alone; its radius also on the dimensions, where it is known. The halfway line joins the
// midpoints of either pair of opposite edges, depending on which way the pitch was clicked;
// whichever of the two is painted counts.
//
// Stateless; no lock of its own.
class CCalibrationFit
{
public:
    using Corners = CMarkingEstimator::Corners;

    CCalibrationFit();
    virtual ~CCalibrationFit();

    struct Judgement
    {
        // With the circle of the radius given, where one is given.
        double meanPx = 0.0;
        // With the painted circle's own radius: the halfway line and the
        // circle's centre and shape, which only the corners decide.
        double cornerPx = 0.0;
        // The painted circle's radius in metres with the dimensions given;
        // none when no round circle is painted round the pitch centre.
        std::optional<double> paintedRadiusM;
    };

    // The mean distance in pixels from the predicted markings, with a centre
    // circle of the given radius (0: no circle), to the painted ones;
    // nothing when no predicted marking has paint near it along most of its
    // course, or the corners define no perspective.
    std::optional<double> Measure(const cv::Mat& bgr, const Corners& corners, double widthM,
        double lengthM, double circleRadiusM = CMarkingEstimator::kCentreCircleRadiusM) const;
    // Both fits and the painted radius, for a circle of the given radius
    // (0 or less when the radius is not known); nothing as for Measure.
    std::optional<Judgement> Judge(const cv::Mat& bgr, const Corners& corners, double widthM,
        double lengthM, double circleRadiusM) const;

private:
    // As Measure; circlePx, where given, takes the circle's own mean
    // distance (the search limit where its paint is missed beside a found
    // halfway line), and is left alone where the circle is not judged.
    std::optional<double> measure(const cv::Mat& bgr, const Corners& corners, double widthM,
        double lengthM, double circleRadiusM, double* circlePx) const;
};
