#include "calibration/FitReadout.h"

#include "engine/EngineFunctions.h"

#include <QLineF>

#include <cmath>

namespace {

QString pixels(double px) { return QString::number(px, 'f', 1); }

QString metres(double m) { return QString::number(m, 'g', 6); }

} // namespace

FitReadout::Reading FitReadout::read(const EngineFunctions& functions, double circleRadiusM,
    float lengthM, float widthM, const std::vector<CalibrationData::Landmark>& landmarks)
{
    // A fit to the landmarks the user placed: the painted markings are
    // measured near the projected lines only, and on a half pitch seen from
    // afar they pass for close even where the landmarks miss by metres.
    if (!landmarks.empty())
        return fromLandmarks(functions, landmarks);
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

FitReadout::Reading FitReadout::fromLandmarks(
    const EngineFunctions& functions, const std::vector<CalibrationData::Landmark>& landmarks)
{
    const std::optional<double> rms = landmarkRmsPx(functions, landmarks);
    if (!rms)
        return {};
    return { landmarkFitText(*rms, landmarks.size()), *rms > kWarningPx };
}

std::optional<double> FitReadout::landmarkRmsPx(
    const EngineFunctions& functions, const std::vector<CalibrationData::Landmark>& landmarks)
{
    if (landmarks.empty())
        return std::nullopt;
    double sum = 0.0;
    for (const CalibrationData::Landmark& landmark : landmarks) {
        double x = 0.0;
        double y = 0.0;
        if (functions.pitchToPicture(landmark.pitch.x(), landmark.pitch.y(), &x, &y) != 0)
            return std::nullopt;
        sum += std::pow(QLineF(landmark.picture, QPointF(x, y)).length(), 2);
    }
    return std::sqrt(sum / double(landmarks.size()));
}

QString FitReadout::landmarkFitText(double rmsPx, std::size_t count)
{
    return tr("fit %1 px over %2 landmarks").arg(pixels(rmsPx)).arg(count);
}

FitReadout::Reading FitReadout::fromMeanFit(double meanPx)
{
    if (meanPx > kWarningPx)
        return { tr("fit %1 px: check the corners and dimensions").arg(pixels(meanPx)), true };
    return { tr("fit %1 px").arg(pixels(meanPx)), false };
}
