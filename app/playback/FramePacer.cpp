#include "playback/FramePacer.h"

#include <QTimerEvent>

namespace {

constexpr int kRefreshMs = 25;
constexpr int kClockMs = 30;

} // namespace

FramePacer::FramePacer(QObject* parent)
    : QObject(parent)
{ }

void FramePacer::start()
{
    stop();
    refreshTimer = startTimer(kRefreshMs);
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

void FramePacer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == refreshTimer)
        emit refresh();
    else if (event->timerId() == clockTimer)
        emit tick();
    else
        QObject::timerEvent(event);
}
