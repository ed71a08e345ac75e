#include "players/TrackingJob.h"

#include "engine/EngineFunctions.h"
#include "VistrelTracking.h"

#include <QFile>
#include <QThread>

#include <algorithm>

namespace {

constexpr long long kFullPercent = 100;

} // namespace

TrackingJob::TrackingJob(VistrelInterface* engine, QObject* parent)
    : QObject(parent)
    , engine(engine)
{ }

TrackingJob::~TrackingJob()
{
    cancel();
    wait();
}

bool TrackingJob::start(const QString& csvPath)
{
    const auto track = reinterpret_cast<decltype(&VistrelTrackVideo)>(
        EngineFunctions::symbol(engine, "VistrelTrackVideo"));
    if (thread || !track)
        return false;
    target = csvPath;
    cancelled = false;
    shownPercent = -1;
    const QByteArray path = QFile::encodeName(csvPath);
    thread = QThread::create(
        [this, track, path] { result = track(engine, path.constData(), &TrackingJob::report, this); });
    // A run already waited for must not end a later one.
    const int run = ++runSerial;
    connect(thread, &QThread::finished, this, [this, run] {
        if (run == runSerial)
            threadEnded();
    });
    thread->start(QThread::LowPriority);
    return true;
}

void TrackingJob::wait()
{
    if (!thread)
        return;
    thread->wait();
    threadEnded();
}

void TrackingJob::threadEnded()
{
    if (!thread)
        return;
    delete thread;
    thread = nullptr;
    emit finished(result, target);
}

// On the tracking thread: the percent goes out as a queued signal only when
// it changes.
int TrackingJob::report(void* self, long long done, long long total)
{
    auto* job = static_cast<TrackingJob*>(self);
    const int percent
        = total > 0 ? int(std::min(done * kFullPercent / total, kFullPercent)) : 0;
    if (job->shownPercent.exchange(percent) != percent)
        emit job->progress(percent);
    return job->cancelled ? 1 : 0;
}

QString TrackingJob::failureText(int result, const QString& csvPath)
{
    switch (result) {
    case VISTREL_TRACK_UNREADABLE:
        return tr("The video cannot be read to its end.");
    case VISTREL_TRACK_UNWRITABLE:
        return tr("The tracks cannot be written to %1.").arg(csvPath);
    case VISTREL_TRACK_CANCELLED:
        return tr("The tracking was cancelled.");
    default:
        return tr("The players cannot be tracked: the pitch is not calibrated.");
    }
}
