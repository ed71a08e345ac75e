#include "core/Vistrel.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

namespace {

// How long a host waits for the running loop to serve its seek: a pass
// takes well under a second even on large frames.
constexpr std::chrono::milliseconds kSeekServeLimit { 2000 };
constexpr std::chrono::milliseconds kSeekPoll { 1 };

} // namespace

// The loop owns the capture while it runs, so a seek is handed to it and
// served at the start of its next pass; with no loop the caller serves it.
// Everything about the request is read and written under the mutex.
int Vistrel::seekFrame(long long index)
{
    const long long target = std::max(0LL, index);
    const auto deadline = std::chrono::steady_clock::now() + kSeekServeLimit;
    unsigned ticket = 0;
    for (;;) {
        {
            MutexHold hold(*this);
            if (ticket != 0 && seeksServed >= ticket)
                return servedSeekResult;
            if (runningLoops == 0) {
                withdrawSeek(ticket);
                return showFrameAt(target) ? 0 : -1;
            }
            if (ticket == 0) {
                requestedFrame = target;
                ticket = ++seeksPosted;
                noteHostRequest();
            } else if (std::chrono::steady_clock::now() > deadline) {
                withdrawSeek(ticket);
                return -1;
            }
        }
        std::this_thread::sleep_for(kSeekPoll);
    }
}

// Only the latest request is pending: an older ticket has been replaced.
void Vistrel::withdrawSeek(unsigned ticket)
{
    if (ticket != 0 && ticket == seeksPosted && seeksServed < ticket)
        seeksServed = ticket;
}

// Called by the loop with the mutex held. The frame is only read here; the
// pass processes and draws it.
bool Vistrel::servePendingSeek()
{
    if (seeksServed >= seeksPosted)
        return false;
    servedSeekResult = moveToFrame(requestedFrame, true) ? 0 : -1;
    seeksServed = seeksPosted;
    return true;
}

bool Vistrel::showFrameAt(long long index)
{
    try {
        return moveToFrame(index, true) && renderCurrentFrame();
    } catch (const std::exception&) {
        return false;
    }
}

int Vistrel::redrawFrame()
{
    MutexHold hold(*this);
    try {
        return renderCurrentFrame() ? 0 : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

// What a pass of the loop does with the current frame: run the pipeline
// once per frame and draw the overlay into the export picture.
bool Vistrel::renderCurrentFrame()
{
    if (!frameUsable())
        return false;
    prepareDisplayImage();
    if (!frameProcessed)
        ProcessImage();
    DrawFieldLines();
    return true;
}
