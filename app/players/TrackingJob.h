#pragma once

#include <QObject>
#include <QString>

#include <atomic>

class QThread;
class VistrelInterface;

// One run of the engine's VistrelTrackVideo on a thread of its own, so the
// program stays usable meanwhile: progress in percent, a cancel, and the
// engine's result at the end. The engine writes the CSV and its sidecar
// only when complete, so a cancelled or failed run leaves neither.
class TrackingJob : public QObject
{
    Q_OBJECT

public:
    explicit TrackingJob(VistrelInterface* engine, QObject* parent = nullptr);
    // Cancels a run and waits for it.
    ~TrackingJob() override;

    // False when a run is going on or the engine library cannot track.
    bool start(const QString& csvPath);
    void cancel() { cancelled = true; }
    bool isRunning() const { return thread != nullptr; }
    // Waits for a run to end (for tests and shutting down).
    void wait();

    // A line for the user about an engine result other than done.
    static QString failureText(int result, const QString& csvPath);

signals:
    void progress(int percent);
    // `result` is one of VISTREL_TRACK_*.
    void finished(int result, const QString& csvPath);

private:
    static int report(void* self, long long done, long long total);
    void threadEnded();

    VistrelInterface* engine = nullptr;
    QThread* thread = nullptr;
    QString target;
    int runSerial = 0;
    std::atomic<bool> cancelled { false };
    std::atomic<int> result { 0 };
    std::atomic<int> shownPercent { -1 };
};
