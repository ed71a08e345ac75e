#include "playback/FramePacer.h"

#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kClockMs = 30;
constexpr double kAssumedFps = 25.0;
constexpr double kAssumedDisplayHz = 60.0;
// Looking a quarter more often than pictures come catches every one of
// them although the two clocks drift against each other.
constexpr double kCatchFactor = 1.25;
constexpr int kShortestRefreshMs = 4;
constexpr int kLongestRefreshMs = 1000;

double usable(double rate, double fallback)
{
    return std::isfinite(rate) && rate > 0.0 ? rate : fallback;
}

} // namespace

FramePacer::FramePacer(QObject* parent)
    : QObject(parent)
{ }

int FramePacer::refreshIntervalMs(double fps, double speed, double displayHz)
{
    const double pictures = usable(fps, kAssumedFps) * usable(speed, 1.0);
    const double display = usable(displayHz, kAssumedDisplayHz);
    const double perSecond = pictures <= display ? pictures * kCatchFactor : display;
    const int ms = int(std::floor(1000.0 / perSecond));
    return std::clamp(ms, kShortestRefreshMs, kLongestRefreshMs);
}

int FramePacer::refreshIntervalMs() const
{
    return refreshIntervalMs(frameRate, speedFactor, displayRate);
}

void FramePacer::setFrameRate(double fps)
{
    frameRate = fps;
    restartRefresh();
}

void FramePacer::setSpeed(double factor)
{
    speedFactor = factor;
    restartRefresh();
}

void FramePacer::setDisplayRate(double hz)
{
    displayRate = hz;
    restartRefresh();
}

void FramePacer::start()
{
    stop();
    refreshTimer = startTimer(refreshIntervalMs(), Qt::PreciseTimer);
    clockTimer = startTimer(kClockMs);
}

void FramePacer::stop()
{
    if (refreshTimer)
        killTimer(refreshTimer);
    if (clockTimer)
        killTimer(clockTimer);
    refreshTimer = clockTimer = 0;
}

void FramePacer::restartRefresh()
{
    if (!refreshTimer)
        return;
    killTimer(refreshTimer);
    refreshTimer = startTimer(refreshIntervalMs(), Qt::PreciseTimer);
}

void FramePacer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == refreshTimer)
        emit refresh();
    else if (event->timerId() == clockTimer)
        emit tick();
    else
        QObject::timerEvent(event);
}
