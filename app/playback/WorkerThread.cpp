#include "playback/WorkerThread.h"

#include "MainException.h"
#include "VistrelInterface.h"

WorkerThread::WorkerThread(VistrelInterface* engine)
    : QThread(nullptr)
    , engine(engine)
{
    if (!engine) {
        MainException::reportMissingEngine();
        exit(-1); // QThread::exit: no effect on a thread that never started
    }
}

WorkerThread::~WorkerThread() { wait(); }

void WorkerThread::run()
{
    if (engine)
        engine->Play();
    emit playbackFinished();
}
