#include "calibration/FitReadout.h"

#include "engine/EngineFunctions.h"

#include <cmath>

namespace {

QString pixels(double px) { return QString::number(px, 'f', 1); }

QString metres(double m) { return QString::number(m, 'g', 6); }

} // namespace

FitReadout::Reading FitReadout::read(
    const EngineFunctions& functions, double circleRadiusM, float lengthM, float widthM)
{
    double meanPx = 0.0;
    if (!functions.canJudgeCalibration()) {
        // An older library: the plain fit, or no readout at all.
        if (!functions.canCheckCalibration())
            return {};
        if (functions.calibrationFit(&meanPx) != 0)
            return { tr("fit: no markings found"), false };
        return fromMeanFit(meanPx);
    }
    double cornerPx = 0.0;
    double paintedM = 0.0;
    if (functions.judgeCalibration(circleRadiusM, &meanPx, &cornerPx, &paintedM) != 0)
        return { tr("fit: no markings found"), false };
    const bool otherCircle = circleRadiusM > 0.0 && paintedM > 0.0
        && std::abs(paintedM / circleRadiusM - 1.0) > kRadiusShare;
    // The corners are judged first: a circle measured through wrong corners
    // says nothing about the dimensions.
    if (cornerPx > kWarningPx || !otherCircle)
        return fromMeanFit(otherCircle ? cornerPx : meanPx);
    return { tr("fit %1 px; the centre circle measures %2 m, not %3 m: is the pitch %4 x %5 m?")
                 .arg(pixels(cornerPx), QString::number(paintedM, 'f', 1), metres(circleRadiusM),
                     metres(double(lengthM)), metres(double(widthM))),
        false };
}

FitReadout::Reading FitReadout::fromMeanFit(double meanPx)
{
    if (meanPx > kWarningPx)
        return { tr("fit %1 px: check the corners and dimensions").arg(pixels(meanPx)), true };
    return { tr("fit %1 px").arg(pixels(meanPx)), false };
}
