#include "calibration/MovementWatch.h"

#include "VistrelInterface.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// For a video that reports no usable frame rate.
constexpr double kFallbackFps = 25.0;

} // namespace

MovementWatch::MovementWatch(VistrelInterface* engine, QObject* parent)
    : QObject(parent)
    , engine(engine)
    , functions(EngineFunctions::of(engine))
    , pollTimer(new QTimer(this))
{
    pollTimer->setInterval(kPollMs);
    connect(pollTimer, &QTimer::timeout, this, &MovementWatch::poll);
}

void MovementWatch::start()
{
    // An engine without the fit or the frame index (an older library)
    // cannot be watched.
    if (!functions.canCheckCalibration() || !functions.canShowFrames() || pollTimer->isActive())
        return;
    const double fps = engine->getFps();
    const double rate = std::isfinite(fps) && fps > 0.0 ? fps : kFallbackFps;
    framesPerCheck = std::max(1LL, std::llround(kCheckIntervalS * rate));
    pollTimer->start();
}

void MovementWatch::stop() { pollTimer->stop(); }

bool MovementWatch::isWatching() const { return pollTimer->isActive(); }

void MovementWatch::setCalibration(
    const std::vector<QPoint>& newCorners, float newLength, float newWidth)
{
    if (newCorners == corners && newLength == length && newWidth == width)
        return;
    corners = newCorners;
    length = newLength;
    width = newWidth;
    restart();
}

void MovementWatch::restart()
{
    lastChecked = -1;
    fitSeen = false;
    poorInRow = 0;
    if (warning) {
        warning = false;
        emit cameraSettled();
    }
}

// The frame index decides, not the wall clock: the checks follow the
// video at whatever speed it plays. A jump back starts the count anew.
void MovementWatch::poll()
{
    const long long frame = functions.frameIndex();
    if (frame < 0)
        return;
    if (lastChecked < 0 || frame < lastChecked || frame >= lastChecked + framesPerCheck)
        check(frame);
}

void MovementWatch::check(long long frame)
{
    lastChecked = frame;
    ++checks;
    double meanPx = 0.0;
    const bool found = functions.calibrationFit(&meanPx) == 0;
    if (found && meanPx <= kPoorFitPx) {
        fitSeen = true;
        poorInRow = 0;
        if (warning) {
            warning = false;
            emit cameraSettled();
        }
        return;
    }
    if (!fitSeen)
        return;
    if (++poorInRow >= kPoorChecksInRow) {
        warning = true;
        emit cameraMoved(found ? meanPx : -1.0, frame);
    }
}
