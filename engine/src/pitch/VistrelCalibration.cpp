#include "core/Vistrel.h"

#include "pitch/CCalibrationFit.h"
#include "pitch/CLineFinder.h"
#include "pitch/CMarkingEstimator.h"
#include "pitch/CPitchFinder.h"

#include <cmath>
#include <optional>

namespace {

// The corners of a calibrated pitch model with finite, positive dimensions,
// as ideal (undistorted) picture points; nothing otherwise.
std::optional<CMarkingEstimator::Corners> calibratedCorners(const CField& field)
{
    const auto positive = [](float v) { return std::isfinite(v) && v > 0.0f; };
    const auto corners = field.getIdealCorners();
    if (!corners || !field.isCalibrated() || !positive(field.getWidth())
        || !positive(field.getLength()))
        return std::nullopt;
    return CMarkingEstimator::Corners { (*corners)[0], (*corners)[1], (*corners)[2],
        (*corners)[3] };
}

} // namespace

// The playback loop replaces the frame under the mutex, so the work below
// holds it for its whole length (tens of milliseconds on a large frame).

int Vistrel::snapToLines(double px, double py, double radiusPx, double* sx, double* sy)
{
    if (!sx || !sy || !std::isfinite(px) || !std::isfinite(py) || !std::isfinite(radiusPx)
        || radiusPx < 0.0)
        return -1;
    MutexHold hold(*this);
    if (frame.empty())
        return -1;
    // The picture aids look for straight lines: with a lens they work on
    // the undistorted picture, and their results are bent back.
    const CLensModel& lens = field.getLens();
    const std::optional<cv::Point2d> snapped = CLineFinder().SnapToLines(
        lens.undistortPicture(frame), lens.undistort(cv::Point2d(px, py)), radiusPx);
    const std::optional<cv::Point2d> recorded = snapped ? lens.distort(*snapped) : std::nullopt;
    if (!recorded)
        return -1;
    *sx = recorded->x;
    *sy = recorded->y;
    return 0;
}

int Vistrel::estimateDimensions(double* length, double* width)
{
    if (!length || !width)
        return -1;
    MutexHold hold(*this);
    const std::optional<CMarkingEstimator::Corners> corners = calibratedCorners(field);
    if (frame.empty() || !corners)
        return -1;
    const auto estimate
        = CMarkingEstimator().Estimate(field.getLens().undistortPicture(frame), *corners);
    if (!estimate)
        return -1;
    *length = estimate->length;
    *width = estimate->width;
    return 0;
}

int Vistrel::calibrationFit(double* meanPx)
{
    if (!meanPx)
        return -1;
    MutexHold hold(*this);
    const std::optional<CMarkingEstimator::Corners> corners = calibratedCorners(field);
    if (frame.empty() || !corners)
        return -1;
    const std::optional<double> fit
        = CCalibrationFit().Measure(field.getLens().undistortPicture(frame), *corners,
            field.getWidth(), field.getLength());
    if (!fit)
        return -1;
    *meanPx = *fit;
    return 0;
}

int Vistrel::judgeCalibration(
    double circleRadiusM, double* meanPx, double* cornerPx, double* paintedRadiusM)
{
    if (!std::isfinite(circleRadiusM) || circleRadiusM < 0.0)
        return -1;
    MutexHold hold(*this);
    const std::optional<CMarkingEstimator::Corners> corners = calibratedCorners(field);
    if (frame.empty() || !corners)
        return -1;
    const auto judgement = CCalibrationFit().Judge(field.getLens().undistortPicture(frame),
        *corners, field.getWidth(), field.getLength(), circleRadiusM);
    if (!judgement)
        return -1;
    if (meanPx)
        *meanPx = judgement->meanPx;
    if (cornerPx)
        *cornerPx = judgement->cornerPx;
    if (paintedRadiusM)
        *paintedRadiusM = judgement->paintedRadiusM.value_or(0.0);
    return 0;
}

int Vistrel::findCorners(double* corners)
{
    if (!corners)
        return -1;
    MutexHold hold(*this);
    if (frame.empty())
        return -1;
    const CLensModel& lens = field.getLens();
    const std::optional<CPitchFinder::Corners> found
        = CPitchFinder().Find(lens.undistortPicture(frame));
    if (!found)
        return -1;
    std::array<cv::Point2d, 4> recorded;
    for (std::size_t i = 0; i < found->size(); ++i) {
        const std::optional<cv::Point2d> bent = lens.distort((*found)[i]);
        if (!bent)
            return -1;
        recorded[i] = *bent;
    }
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        corners[2 * i] = recorded[i].x;
        corners[2 * i + 1] = recorded[i].y;
    }
    return 0;
}
