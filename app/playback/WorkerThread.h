#pragma once

#include <QThread>

class VistrelInterface;

// The thread that runs the engine's playback loop, so that the GUI thread
// never blocks in it. One run is one playback: Play returns when playback is
// stopped or the video ends, and the thread then emits playbackFinished().
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    explicit WorkerThread(VistrelInterface* engine);
    // Waits for a running playback loop to return; the caller stops it first.
    ~WorkerThread() override;

signals:
    void playbackFinished();

protected:
    void run() override;

private:
    VistrelInterface* engine;
};
