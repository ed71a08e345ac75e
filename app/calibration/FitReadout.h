#pragma once

#include <QCoreApplication>
#include <QString>

class EngineFunctions;

// The line of the field controls that says how well the calibration fits
// the picture: "fit 0.8 px", a warning when the corners or dimensions are
// off, or, where the painted centre circle is round but of another radius
// than the one set, a question about the dimensions instead of a warning.
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
    static Reading read(
        const EngineFunctions& functions, double circleRadiusM, float lengthM, float widthM);

private:
    static Reading fromMeanFit(double meanPx);
};
