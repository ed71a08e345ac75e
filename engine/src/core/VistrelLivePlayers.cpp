#include "core/Vistrel.h"

#include "tracking/CLiveTracker.h"

#include <exception>

// The live players: the tracker is made outside the mutex (it reads frames
// of the video to learn the empty pitch) and swapped in under it; the loop
// takes the reduced copy of each new frame under the mutex and tracks it
// after letting go, so that the host's calls do not wait for detection.

int Vistrel::startLivePlayers()
{
    std::string video;
    cv::Size size;
    {
        MutexHold hold(*this);
        if (capture) {
            video = videoPath;
            size = deliveredSize;
        }
    }
    const auto geometry = pitchGeometry();
    if (video.empty() || !geometry || size.empty())
        return -1;
    std::shared_ptr<CLiveTracker> tracker
        = CLiveTracker::create(video, *geometry, getFieldWidth(), getFieldLength(), size, reportedFps);
    if (!tracker)
        return -1;
    MutexHold hold(*this);
    // The video may have changed while the tracker learnt the pitch.
    if (!capture || videoPath != video)
        return -1;
    liveTracker = std::move(tracker);
    return 0;
}

void Vistrel::stopLivePlayers()
{
    MutexHold hold(*this);
    liveTracker.reset();
}

std::shared_ptr<CLiveTracker> Vistrel::livePlayers()
{
    MutexHold hold(*this);
    return liveTracker;
}

// Called by the loop with the mutex held, after a pass drew its frame. A
// frame the tracker was fed already (a paused redraw) is not fed again.
Vistrel::LiveFrame Vistrel::takeLiveFrame()
{
    LiveFrame live;
    if (!liveTracker || frame.empty() || frameIndex < 0
        || (liveTracker == lastFedTracker.lock() && frameIndex == liveFedIndex))
        return live;
    try {
        live.reduced = liveTracker->reduce(frame);
    } catch (const std::exception& e) {
        logger->logError("Vistrel::takeLiveFrame", e.what());
        return live;
    }
    live.tracker = liveTracker;
    live.index = frameIndex;
    lastFedTracker = liveTracker;
    liveFedIndex = frameIndex;
    return live;
}

// A failure costs the live view this frame, not the playback.
void Vistrel::feedLive(const LiveFrame& live)
{
    if (!live.tracker)
        return;
    try {
        live.tracker->feed(live.reduced, live.index);
    } catch (const std::exception& e) {
        logger->logError("Vistrel::feedLive", e.what());
    }
}
