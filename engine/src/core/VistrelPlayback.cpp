#include "core/Vistrel.h"

#include "core/ScopedCount.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <system_error>
#include <thread>

namespace {

constexpr double kMicrosecondsPerSecond = 1'000'000.0;
constexpr std::int64_t kMillisecondsPerSecond = 1000;
// While paused the loop sleeps until a request or a change wakes it; this
// bound only re-checks the flags should a wake-up ever be missed. A pass
// after it draws nothing when nothing changed.
constexpr std::chrono::milliseconds kPausedRecheck { 1000 };

// The longest the loop waits after a pass for a thread waiting for the
// mutex to take it.
constexpr std::chrono::milliseconds kWaiterTurn { 50 };

std::int64_t clockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// positionMs +- jumpStepMs without signed overflow.
int jumpTarget(int positionMs, std::int64_t offsetMs)
{
    const std::int64_t target = static_cast<std::int64_t>(positionMs) + offsetMs;
    return static_cast<int>(std::clamp<std::int64_t>(target, INT_MIN, INT_MAX));
}

// Runs work on a thread of its own and waits for it. Should no thread be
// available, the work runs on the caller's thread instead of being lost.
void runOnShortLivedThread(const std::function<void()>& work)
{
    try {
        std::thread worker(work);
        worker.join();
    } catch (const std::system_error&) {
        work();
    }
}

// The picture without row padding, in a buffer of its own.
std::shared_ptr<unsigned char[]> packedCopy(const cv::Mat& image, CFrameBufferPool& pool)
{
    const std::size_t rowBytes = static_cast<std::size_t>(image.cols) * image.elemSize();
    auto buffer = pool.take(rowBytes * image.rows);
    if (image.isContinuous()) {
        std::memcpy(buffer.get(), image.data, rowBytes * image.rows);
        return buffer;
    }
    for (int y = 0; y < image.rows; ++y)
        std::memcpy(buffer.get() + rowBytes * y, image.ptr(y), rowBytes);
    return buffer;
}

} // namespace

// Values that are not finite (a rate of 0) or do not fit an int are clamped
// rather than converted.
int Vistrel::waitMicroseconds(float playbackRate, float delayFactor, std::int64_t elapsedSeconds)
{
    // A rate of 0 gives an endless period without dividing by zero.
    const double periodSeconds = playbackRate == 0.0f
        ? std::copysign(std::numeric_limits<double>::infinity(), playbackRate)
        : 1.0 / playbackRate;
    const double waitUs = (periodSeconds - static_cast<double>(elapsedSeconds))
        * kMicrosecondsPerSecond * delayFactor;
    if (std::isnan(waitUs) || waitUs <= 0.0)
        return 0;
    if (waitUs >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(waitUs);
}

int Vistrel::Play()
{
    trace("Play", "entered");
    if (!captureOpen) {
        trace("Play", "left");
        return -1;
    }
    // Counted before stopped is cleared, so that a StopPlayback racing with
    // the start of the loop keeps stopping it.
    const ScopedCount running(runningLoops);
    stopped = false;
    // A run draws its first pass also while paused.
    pictureChangesDrawn = -1;
    passDue = std::chrono::steady_clock::now();
    trace("Play", "waiting to unlock");
    releaseCompletely();
    trace("Play", "unlocked");
    // positionMs is already that of the frame the loop goes on from: 0 after
    // opening or rewinding, the sought frame's after a seek.
    while (playPass()) { }
    endPlayback();
    return 0;
}

// One pass of the loop: read, process and draw one frame under the mutex,
// then sleep with the mutex free. Returns false, with the mutex held, when
// the loop is to end.
bool Vistrel::playPass()
{
    playFinished = false;
    // Taken before the pass serves the requests: one made while it runs
    // must still cut the sleep after it short.
    const unsigned requests = hostRequests;
    const unsigned changes = pictureChanges;
    trace("Play", "locking");
    acquire();
    trace("Play", "locked");
    const std::int64_t t0 = clockMs();
    if (!renderPass(changes))
        return false;
    const LiveFrame live = takeLiveFrame();
    // Whole seconds: a pass shorter than one second is not subtracted.
    const std::int64_t elapsedSeconds = (clockMs() - t0) / kMillisecondsPerSecond;
    const int waitUs = waitMicroseconds(playbackRate, delayFactor, elapsedSeconds);
    const unsigned acquisitions = mutexAcquisitions;
    trace("Play", "unlocking");
    releaseCompletely();
    trace("Play", "unlocked");
    letWaitersIn(acquisitions);
    feedLive(live);
    if (paused) {
        waitForChange(requests, changes);
        passDue = std::chrono::steady_clock::now();
    } else {
        sleepUntilDue(waitUs, requests);
    }
    return true;
}

// Serves a host's seek and the jump flags, reads the next frame and runs
// the pipeline on it. A sought frame is shown as it is, also while playing.
// Returns false when the loop is to end: a stop request, a failed jump, the
// end of the video, a frame that is not what the pipeline can take, or a
// failure inside OpenCV. While paused, a picture already drawn with the
// same pitch model, table and stages is not drawn again.
bool Vistrel::renderPass(unsigned changes)
{
    try {
        if (stopped)
            return false;
        const bool sought = servePendingSeek();
        const bool jumpedForward = jumpForward.exchange(false);
        if (jumpedForward && !jumpBy(jumpStepMs))
            return false;
        const bool jumpedBack = jumpBack.exchange(false);
        if (jumpedBack && !jumpBy(-static_cast<std::int64_t>(jumpStepMs)))
            return false;
        const bool moved = sought || jumpedForward || jumpedBack;
        if (paused && !moved && pausedPictureCurrent(changes))
            return frameUsable();
        if (!paused && !sought) {
            if (!nextFrame())
                return false;
            frameProcessed = false;
        }
        pictureChangesDrawn = changes;
        return renderCurrentFrame();
    } catch (const std::exception&) {
        return false;
    }
}

// The display image starts as the frame. Where no stage will write into it,
// it is the frame itself rather than a copy: DrawFieldLines then leaves the
// frame clean and draws into the export picture. Should processing be
// switched on meanwhile, ProcessImage makes its own copy first.
void Vistrel::prepareDisplayImage()
{
    if (frameProcessed || !processingEnabled) {
        outputImage = frame;
        return;
    }
    if (outputImage.data == frame.data)
        outputImage.release();
    frame.copyTo(outputImage);
}

// Goes by time relative to the current position to the frame the seeking
// rule gives and reads it; false past the end. A short jump forward decodes
// on instead of seeking. A jump leaves frameProcessed as it was: while
// paused the new frame is shown without processing.
bool Vistrel::jumpBy(std::int64_t offsetMs)
{
    const bool processed = frameProcessed;
    const int index = frameIndexForTime(jumpTarget(positionMs, offsetMs), captureFps);
    const bool done = moveToFrame(std::max(0, index), false);
    frameProcessed = processed;
    return done;
}

// Reads the next frame; at the end the last one stays the current frame, so
// that the host goes on seeing (and measuring) what was shown last.
bool Vistrel::nextFrame()
{
    const cv::Mat shown = frame;
    const long long shownIndex = frameIndex;
    if (readFrame())
        return true;
    frame = shown;
    frameIndex = shownIndex;
    return false;
}

// The pipeline takes 8-bit BGR frames of the size the export picture was
// made for when the video was opened; anything else ends playback, so that
// the exported picture always matches the reported frame size.
bool Vistrel::frameUsable() const
{
    return !frame.empty() && frame.type() == CV_8UC3 && frame.size() == exportImage.size();
}

// Without a pause between passes the loop would take the mutex back at once,
// and a thread waiting for it (the screen fetching the picture) could miss
// it for hundreds of frames. When a thread waits, the loop yields until some
// thread has taken the mutex since it let go of it. The bound only keeps the
// loop going should a waiter never be scheduled.
void Vistrel::letWaitersIn(unsigned acquisitionsAtRelease)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + kWaiterTurn;
    while (mutexWaiters > 0 && mutexAcquisitions == acquisitionsAtRelease && !stopped
        && steady_clock::now() < deadline)
        std::this_thread::yield();
}

// Paces the passes by the clock: the next pass is due one period (scaled by
// the delay factor) after the last one was due, so that the time a pass
// takes does not slow the video down (a 60 fps clip gets 60 passes a second
// at x1). A loop that fell more than a period behind (a slow decode) counts
// afresh from now instead of hurrying to catch up. Any request of the host
// ends the sleep early: the next pass serves it at once.
void Vistrel::sleepUntilDue(std::int64_t periodUs, unsigned requests)
{
    using namespace std::chrono;
    const auto now = steady_clock::now();
    passDue += microseconds(periodUs);
    if (passDue + microseconds(periodUs) < now)
        passDue = now;
    // Without pacing (delay factor 0) the next pass goes on at once: even a
    // wait that has expired blocks the thread in the kernel, and on a busy
    // machine it may get the processor back only much later. A paced loop
    // that is late still waits, which lets the screen's thread run.
    if (periodUs <= 0)
        return;
    std::unique_lock lock(wakeMutex);
    wakeCondition.wait_until(lock, passDue, [&] { return stopped || hostRequests != requests; });
}

// The paused loop sleeps until a request or a change of what the picture is
// drawn from, rather than redrawing the same picture at the playback rate.
void Vistrel::waitForChange(unsigned requests, unsigned changes)
{
    std::unique_lock lock(wakeMutex);
    wakeCondition.wait_for(lock, kPausedRecheck, [&] {
        return stopped || !paused || hostRequests != requests || pictureChanges != changes;
    });
}

// Whether the loop has drawn the current frame with the changes counted so
// far (a pass of this run drew it, and nothing changed since).
bool Vistrel::pausedPictureCurrent(unsigned changes) const
{
    return pictureChangesDrawn == static_cast<long long>(changes);
}

void Vistrel::noteHostRequest()
{
    ++hostRequests;
    wakeLoop();
}

void Vistrel::notePictureChange()
{
    ++pictureChanges;
    wakeLoop();
}

// The counters are changed outside wakeMutex; taking it here orders the
// change before a sleeper's check of its predicate, so no wake-up is lost.
void Vistrel::wakeLoop()
{
    {
        const std::lock_guard lock(wakeMutex);
    }
    wakeCondition.notify_all();
}

// Ends the loop with the mutex held: rewind, report the end, let go of the
// mutex.
void Vistrel::endPlayback()
{
    try {
        Stop();
    } catch (const std::exception&) {
        // Stop reports nothing; a failed rewind leaves no capture to read.
    }
    playFinished = true;
    trace("Play", "waiting to unlock");
    releaseCompletely();
    trace("Play", "unlocked");
    trace("Play", "left");
}

void Vistrel::ThPause()
{
    trace("ThPause", "entered");
    runOnShortLivedThread([this] { static_cast<VistrelInterface*>(this)->Pause(); });
    trace("ThPause", "left");
}

void Vistrel::ThStop()
{
    trace("ThStop", "entered");
    runOnShortLivedThread([this] { static_cast<VistrelInterface*>(this)->setStopped(true); });
    trace("ThStop", "left");
}

// Asks the loop to stop and waits until it has ended. With no loop running
// there is nothing to wait for, whatever stopped said.
void Vistrel::StopPlayback()
{
    stopped = true;
    wakeLoop();
    while (runningLoops > 0) {
        stopped = true;
        std::this_thread::yield();
    }
}

bool Vistrel::hasFrame()
{
    trace("hasFrame", "entered");
    trace("hasFrame", "waiting");
    acquire();
    trace("hasFrame", "has mutex");
    const bool result = !exportImage.empty() || paused;
    trace("hasFrame", "unlocking");
    releaseCompletely();
    trace("hasFrame", "unlocked");
    trace("hasFrame", "left");
    return result;
}

// A packed R, G, B copy of the export picture in a buffer of its own. Null
// only when the buffer cannot be allocated.
std::shared_ptr<unsigned char[]> Vistrel::exportFrame()
{
    trace("exportFrame", "entered");
    trace("exportFrame", "waiting");
    acquire();
    trace("exportFrame", "has mutex");
    try {
        renderPendingExport();
        exportBuffer = packedCopy(exportImage, *exportPool);
    } catch (const std::exception&) {
        exportBuffer.reset();
    }
    // The share handed out is taken under the mutex: another caller may
    // replace exportBuffer as soon as it is released.
    std::shared_ptr<unsigned char[]> result = exportBuffer;
    trace("exportFrame", "unlocking");
    releaseCompletely();
    trace("exportFrame", "unlocked");
    trace("exportFrame", "left");
    return result;
}

std::vector<FieldLine> Vistrel::getFieldLines() { return copyLines(&CField::GetFieldLines); }

std::vector<FieldLine> Vistrel::getCentreLines() { return copyLines(&CField::GetCentreLines); }

std::vector<FieldLine> Vistrel::copyLines(std::vector<FieldLine> (CField::*getter)())
{
    acquire();
    std::vector<FieldLine> lines;
    try {
        lines = (field.*getter)();
    } catch (const std::exception&) {
        lines.clear();
    }
    releaseCompletely();
    return lines;
}
