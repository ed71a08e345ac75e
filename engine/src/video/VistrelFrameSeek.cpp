#include "core/Vistrel.h"

#include "video/CFrameSeeker.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
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

// How far decoding on from the capture's position may go instead of a seek:
// up to the target when the keyframe index knows no keyframe in between, not
// at all when it knows one; about two seconds while the index has not got
// that far.
long long Vistrel::readAheadTo(long long target) const
{
    if (keyframeIndex.scannedTo() < target)
        return CFrameSeeker::readAheadFor(captureFps);
    const long long next = std::llround(capture->get(cv::CAP_PROP_POS_FRAMES));
    return keyframeIndex.decodeOnReaches(next, target) ? target - next : 0;
}

// A step or seek back past the cache: decodes from the nearest keyframe
// before the target, or from as far back as the cache holds when that is
// nearer, and keeps every frame on the way, so that the next steps back are
// served from the cache. False, with the current frame kept, when a frame
// cannot be read.
bool Vistrel::fillBackTo(long long target)
{
    const auto capacity = static_cast<long long>(frameCache.capacityFrames());
    if (capacity < 2)
        return false;
    const long long keyframe = keyframeIndex.atOrBefore(target);
    const long long start = std::max({ 0LL, keyframe, target - capacity + 1 });
    const CFrameSeeker seeker(0);
    cv::Mat decoded;
    if (!seeker.readAt(*capture, start, decoded))
        return false;
    for (long long index = start;; ++index) {
        if (decoded.empty() || decoded.type() != CV_8UC3)
            return false;
        if (decoded.size() != deliveredSize)
            cv::resize(decoded, decoded, deliveredSize);
        if (index == target)
            break;
        frameCache.put(index, decoded);
        decoded = frameCache.recycle();
        if (!capture->read(decoded))
            return false;
    }
    adoptFrame(decoded, target);
    cacheServedFrame = false;
    return true;
}

// The current frame came from the cache: the next one does too where it
// can, else the capture is put on it.
bool Vistrel::readAfterCachedFrame()
{
    const long long next = frameIndex + 1;
    cv::Mat cached;
    if (frameCache.get(next, cached)) {
        adoptFrame(cached, next);
        return true;
    }
    return decodeTo(next, false);
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
