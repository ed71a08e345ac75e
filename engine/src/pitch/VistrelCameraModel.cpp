#include "core/Vistrel.h"

#include "pitch/CLensEstimator.h"
#include "pitch/CPointCalibration.h"

// The camera model under the mutex: the lens lives in the pitch model, so
// the overlay, the measuring functions and everything else that maps
// picture points share it.

int Vistrel::calibrateFromPoints(const std::vector<cv::Point2d>& picture,
    const std::vector<cv::Point2d>& pitch, double* rmsPx)
{
    MutexHold hold(*this);
    const double width = field.getWidth();
    const double length = field.getLength();
    const auto fit = CPointCalibration::Fit(picture, pitch, field.getLens(), width, length);
    if (!fit || !CPitchGeometry::fromCorners(fit->idealCorners, width, length, field.getLens()))
        return -1;
    notePictureChange();
    if (field.SetFittedCorners(fit->idealCorners) != 0) {
        knownPoints.reset();
        return -1;
    }
    knownPoints = KnownPoints { picture, pitch };
    if (rmsPx)
        *rmsPx = fit->rmsPx;
    return 0;
}

bool Vistrel::applyLens(const CLensModel& lens)
{
    const double width = field.getWidth();
    const double length = field.getLength();
    if (field.hasFittedCorners() && knownPoints) {
        const auto fit = CPointCalibration::Fit(
            knownPoints->picture, knownPoints->pitch, lens, width, length);
        if (!fit || !CPitchGeometry::fromCorners(fit->idealCorners, width, length, lens))
            return false;
        notePictureChange();
        field.SetLens(lens);
        field.SetFittedCorners(fit->idealCorners);
        return true;
    }
    if (const auto clicked = field.getCorners(); clicked && field.isCalibrated()) {
        CPitchGeometry::Corners ideal;
        for (std::size_t i = 0; i < ideal.size(); ++i)
            ideal[i] = lens.undistort(cv::Point2d((*clicked)[i]));
        if (!CPitchGeometry::fromCorners(ideal, width, length, lens))
            return false;
    }
    notePictureChange();
    field.SetLens(lens);
    return true;
}

void Vistrel::adoptLensFor(cv::Size picture)
{
    estimatedStraightnessPx.reset();
    if (field.getLens().pictureSize() == picture)
        return;
    const CLensModel pinhole = CLensModel::pinhole(picture);
    if (!applyLens(pinhole)) {
        // The corners were set through the old camera's lens; they stay as
        // picture points, whatever they now describe.
        notePictureChange();
        field.SetLens(pinhole);
    }
}

int Vistrel::setLensDistortion(double k1, double k2, cv::Point2d centre)
{
    MutexHold hold(*this);
    if (deliveredSize.empty())
        return -1;
    const std::optional<CLensModel> lens = CLensModel::make(k1, k2, centre, deliveredSize);
    if (!lens || !applyLens(*lens))
        return -1;
    estimatedStraightnessPx.reset();
    return 0;
}

std::optional<CLensModel> Vistrel::lensDistortion()
{
    MutexHold hold(*this);
    if (deliveredSize.empty())
        return std::nullopt;
    return field.getLens();
}

std::optional<CLensModel> Vistrel::estimateLensDistortion()
{
    MutexHold hold(*this);
    if (frame.empty() || deliveredSize.empty())
        return std::nullopt;
    double straightnessPx = 0.0;
    const std::optional<CLensModel> lens = CLensEstimator().Estimate(frame, &straightnessPx);
    if (!lens || lens->pictureSize() != deliveredSize || !applyLens(*lens))
        return std::nullopt;
    estimatedStraightnessPx = straightnessPx;
    return lens;
}

std::optional<double> Vistrel::lensStraightness()
{
    MutexHold hold(*this);
    return estimatedStraightnessPx;
}
