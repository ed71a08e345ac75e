#include "VistrelTracking.h"

#include "core/Vistrel.h"
#include "tracking/CLiveTracker.h"
#include "tracking/CVideoTracker.h"

#include <algorithm>
#include <climits>

// The tracking functions of VistrelTracking.h: they copy the open video's
// path and the calibration from the engine under its lock and hand the
// work to CVideoTracker, which reads the video with a capture of its own.

namespace {

Vistrel* engineOf(VistrelInterface* engine) { return dynamic_cast<Vistrel*>(engine); }

int resultOf(CVideoTracker::Outcome outcome)
{
    switch (outcome) {
    case CVideoTracker::Outcome::Done:
        return VISTREL_TRACK_DONE;
    case CVideoTracker::Outcome::Cancelled:
        return VISTREL_TRACK_CANCELLED;
    case CVideoTracker::Outcome::NoCalibration:
        return VISTREL_TRACK_NOT_READY;
    case CVideoTracker::Outcome::CannotRead:
        return VISTREL_TRACK_UNREADABLE;
    case CVideoTracker::Outcome::CannotWrite:
        return VISTREL_TRACK_UNWRITABLE;
    }
    return VISTREL_TRACK_NOT_READY;
}

// The calibration's corners in click order, as the geometry maps the pitch
// corners back into the picture.
bool cornersOf(const CPitchGeometry& geometry, double width, double length,
    std::array<cv::Point2d, 4>& corners)
{
    const cv::Point2d pitch[4] { { 0, length }, { width, length }, { 0, 0 }, { width, 0 } };
    for (int i = 0; i < 4; ++i) {
        const auto p = geometry.toPicture(pitch[i]);
        if (!p)
            return false;
        corners[i] = *p;
    }
    return true;
}

} // namespace

extern "C" {

int VistrelTrackVideo(
    VistrelInterface* engine, const char* csvPath, VistrelTrackProgress progress, void* user)
{
    try {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !csvPath || !*csvPath)
            return VISTREL_TRACK_NOT_READY;
        const std::string video = vistrel->openVideoPath();
        const auto geometry = vistrel->pitchGeometry();
        if (video.empty() || !geometry)
            return VISTREL_TRACK_NOT_READY;
        CVideoTracker::Job job { video, csvPath, *geometry, vistrel->getFieldWidth(),
            vistrel->getFieldLength(), {} };
        if (!cornersOf(*geometry, job.width, job.length, job.corners))
            return VISTREL_TRACK_NOT_READY;
        CVideoTracker::Progress report;
        if (progress)
            report = [progress, user](long long done, long long total) {
                return progress(user, done, total) == 0;
            };
        return resultOf(CVideoTracker::run(job, report).outcome);
    } catch (...) {
        return VISTREL_TRACK_NOT_READY;
    }
}

int VistrelStartLivePlayers(VistrelInterface* engine)
{
    try {
        Vistrel* vistrel = engineOf(engine);
        return vistrel ? vistrel->startLivePlayers() : -1;
    } catch (...) {
        return -1;
    }
}

int VistrelStopLivePlayers(VistrelInterface* engine)
{
    Vistrel* vistrel = engineOf(engine);
    if (!vistrel)
        return -1;
    vistrel->stopLivePlayers();
    return 0;
}

int VistrelGetLivePlayers(
    VistrelInterface* engine, VistrelLivePlayer* players, int capacity, long long* frame)
{
    try {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || capacity < 0 || (!players && capacity > 0))
            return -1;
        std::vector<CLiveTracker::Player> now;
        long long index = -1;
        if (const auto tracker = vistrel->livePlayers())
            index = tracker->latest(now);
        const std::size_t written = std::min(now.size(), std::size_t(capacity));
        for (std::size_t i = 0; i < written; ++i) {
            const CLiveTracker::Player& p = now[i];
            players[i] = { p.id, p.team, p.picture.x, p.picture.y, p.pitch.x, p.pitch.y, p.speedMps };
        }
        if (frame)
            *frame = index;
        return int(std::min<std::size_t>(now.size(), INT_MAX));
    } catch (...) {
        return -1;
    }
}

int VistrelTrackingApiVersion(void) { return VISTREL_TRACKING_API_VERSION; }

} // extern "C"
