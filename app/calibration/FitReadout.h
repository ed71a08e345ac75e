#pragma once

#include "calibration/CalibrationFile.h"

#include <QCoreApplication>
#include <QString>

#include <optional>
#include <vector>

class EngineFunctions;

// The line of the field controls that says how well the calibration fits
// the picture: "fit 0.8 px", a warning when the corners or dimensions are
// off, or, where the painted centre circle is round but of another radius
// than the one set, a question about the dimensions instead of a warning.
// A calibration from landmarks is read by how well it fits them.
class FitReadout
{
    Q_DECLARE_TR_FUNCTIONS(FitReadout)

public:
    // A mean distance above this between projected and painted markings is
    // worth a warning.
    static constexpr double kWarningPx = 3.0;
    // A painted circle whose radius differs from the one set by more than
    // this share is another circle (or the dimensions are off).
    static constexpr double kRadiusShare = 0.05;

    struct Reading
    {
        QString text; // empty: nothing to show
        bool poor = false;
    };

    // The reading for the engine's calibration on its current frame, with a
    // centre circle of circleRadiusM metres (0: none painted) and the typed
    // dimensions. Empty for an engine that cannot check the calibration.
    // For a calibration from landmarks, how well it fits them: "fit 2.3 px
    // over 8 landmarks", poor beyond kWarningPx.
    static Reading read(const EngineFunctions& functions, double circleRadiusM, float lengthM,
        float widthM, const std::vector<CalibrationData::Landmark>& landmarks = {});
    // The root-mean-square distance in pixels between where the landmarks
    // were placed and where the engine's calibration puts them; none when
    // the engine cannot map them.
    static std::optional<double> landmarkRmsPx(
        const EngineFunctions& functions, const std::vector<CalibrationData::Landmark>& landmarks);
    // "fit 0.8 px over 5 landmarks".
    static QString landmarkFitText(double rmsPx, std::size_t count);

private:
    static Reading fromMeanFit(double meanPx);
    static Reading fromLandmarks(
        const EngineFunctions& functions, const std::vector<CalibrationData::Landmark>& landmarks);
};
