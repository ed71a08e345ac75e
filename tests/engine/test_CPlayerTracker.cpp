#include "tracking/CPlayerTracker.h"
#include "tracking/CTrackFinisher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

namespace {

constexpr double kFps = 25.0;

CPlayerDetection at(cv::Point2d pitch, bool weak = false)
{
    CPlayerDetection d;
    d.pitch = pitch;
    d.picture = pitch * 10;
    d.weak = weak;
    return d;
}

// Runs `frames` frames; `seen(frame)` gives that frame's detections.
std::vector<CTrackHistory> track(
    int frames, const std::function<std::vector<CPlayerDetection>(int)>& seen)
{
    CPlayerTracker tracker(kFps);
    for (int f = 0; f < frames; ++f)
        tracker.update(f, seen(f));
    return tracker.finish();
}

// The track whose last sample lies nearest `where`.
const CTrackHistory* endingNear(const std::vector<CTrackHistory>& tracks, cv::Point2d where)
{
    const CTrackHistory* best = nullptr;
    for (const CTrackHistory& t : tracks)
        if (!best
            || cv::norm(t.samples.back().pitch - where)
                < cv::norm(best->samples.back().pitch - where))
            best = &t;
    return best;
}

// Two players run through each other at 4 m/s; while they overlap the
// detector sees one blob between them. Each keeps its identity.
TEST(CPlayerTracker, KeepsIdentitiesThroughACrossing)
{
    const double v = 4.0 / kFps;
    const auto tracks = track(75, [&](int f) {
        const cv::Point2d a(20 + f * v, 30 + f * v * 0.2), b(32 - f * v, 30 + 2.4 - f * v * 0.2);
        if (cv::norm(a - b) < 0.8)
            return std::vector<CPlayerDetection> { at((a + b) * 0.5) };
        return std::vector<CPlayerDetection> { at(a), at(b) };
    });
    ASSERT_EQ(tracks.size(), 2u);
    const CTrackHistory* fromLeft = endingNear(tracks, { 20 + 74 * v, 30 + 74 * v * 0.2 });
    EXPECT_LT(fromLeft->samples.front().pitch.x, 21.0);
    EXPECT_GT(fromLeft->samples.back().pitch.x, 30.0);
}

// A player hidden for 0.6 s keeps the track; the hidden frames are bridged
// and, once the track is finished, filled in between the two sightings.
TEST(CPlayerTracker, BridgesAShortOcclusion)
{
    const auto tracks = track(60, [](int f) {
        if (f >= 20 && f < 35)
            return std::vector<CPlayerDetection> {};
        return std::vector<CPlayerDetection> { at({ 10 + f * 0.2, 5 }) };
    });
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].samples.size(), 60u);
    const auto finished = CTrackFinisher(kFps).finish(tracks);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].samples[27].state, CTrackSample::State::Interpolated);
    EXPECT_NEAR(finished[0].samples[27].pitch.x, 10 + 27 * 0.2, 0.1);
    EXPECT_EQ(finished[0].samples[40].state, CTrackSample::State::Detected);
}

// Looked for in every second frame only: the frames between are filled in,
// and a player seen at the last look is carried to the video's last
// frame, while one gone earlier is not.
TEST(CPlayerTracker, EveryOtherFrameFillsTheFramesBetween)
{
    constexpr int kStride = 2, kFrames = 42;
    CPlayerTracker tracker(kFps / kStride);
    for (int f = 0; f < kFrames; f += kStride) {
        std::vector<CPlayerDetection> seen { at({ 10 + f * 0.2, 5 }) };
        if (f <= 20)
            seen.push_back(at({ 40, 40 }));
        tracker.update(f, seen);
    }
    const auto finished = CTrackFinisher(kFps, kStride).finish(tracker.finish(), kFrames - 1);
    ASSERT_EQ(finished.size(), 2u);
    const CFinishedTrack& runner
        = finished[0].samples.size() > finished[1].samples.size() ? finished[0] : finished[1];
    const CFinishedTrack& gone = &runner == &finished[0] ? finished[1] : finished[0];
    ASSERT_EQ(runner.samples.size(), std::size_t(kFrames));
    EXPECT_EQ(runner.samples[13].state, CTrackSample::State::Interpolated);
    EXPECT_EQ(runner.samples[14].state, CTrackSample::State::Detected);
    EXPECT_EQ(runner.samples.back().state, CTrackSample::State::Predicted);
    for (int f : { 13, 41 })
        EXPECT_NEAR(runner.samples[f].pitch.x, 10 + f * 0.2, 0.05) << f;
    EXPECT_NEAR(runner.speedsMps.back(), 0.2 * kFps, 0.1);
    EXPECT_EQ(gone.samples.back().frame, 20);
}

// Gone longer than the tracker's memory, a player comes back as a new
// track; the ended track's id is not given again, and no guessed samples
// follow its last sighting.
TEST(CPlayerTracker, EndsLostTracksAndNeverReusesIds)
{
    const int gap = int(CPlayerTracker::kMemoryS * kFps) + 10;
    const auto tracks = track(20 + gap + 20, [&](int f) {
        if (f >= 20 && f < 20 + gap)
            return std::vector<CPlayerDetection> {};
        return std::vector<CPlayerDetection> { at({ 50, 20 }) };
    });
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].id, 1);
    EXPECT_EQ(tracks[1].id, 2);
    EXPECT_EQ(tracks[0].samples.back().frame, 19);
    EXPECT_EQ(tracks[0].samples.back().state, CTrackSample::State::Detected);
}

// Weak detections (part of a body, a small player, noise) keep a known
// track going; on their own they start a track only when seen without a
// break for over a second, as a small player is and a flicker is not.
TEST(CPlayerTracker, WeakDetectionsStartATrackOnlyWhenSeenSteadily)
{
    const auto tracks = track(60, [](int f) {
        std::vector<CPlayerDetection> d;
        if (f < 20) // 0.8 s
            d.push_back(at({ 70, 40 }, true));
        if (f % 3 == 0) // a flicker, 1 frame in 3
            d.push_back(at({ 30, 60 }, true));
        if (f >= 20) // 1.6 s
            d.push_back(at({ 50, 20 + 0.1 * f }, true));
        if (f < 10 || f >= 30)
            d.push_back(at({ 10, 10 }));
        else
            d.push_back(at({ 10.1, 10 }, true));
        return d;
    });
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].samples.front().frame, 0);
    for (const CTrackSample& s : tracks[0].samples)
        EXPECT_EQ(s.state, CTrackSample::State::Detected);
    EXPECT_EQ(tracks[1].samples.front().frame, 20);
    EXPECT_NEAR(tracks[1].samples.back().pitch.y, 25.9, 1e-9);
}

} // namespace

// A player whose blob falls apart gives a second sighting beside the first
// in every frame: that second track is dropped with the samples it shared.
// Two players running side by side, farther apart, both stay.
TEST(CPlayerTracker, DropsASecondTrackOnOnePlayer)
{
    struct Case
    {
        double apartM;
        std::size_t tracks;
    };
    for (const Case c : { Case { 1.0, 1 }, Case { 1.6, 2 } }) {
        const double v = 3.0 / kFps;
        const auto tracks = track(100, [&](int f) {
            const cv::Point2d p(20 + f * v, 30);
            std::vector<CPlayerDetection> seen { at(p) };
            if (f >= 10)
                seen.push_back(at(p + cv::Point2d(0, c.apartM)));
            return seen;
        });
        ASSERT_EQ(tracks.size(), c.tracks) << c.apartM << " m apart";
        EXPECT_EQ(tracks[0].samples.front().frame, 0);
        EXPECT_EQ(tracks[0].samples.back().frame, 99);
    }
}

namespace {

// A tracker that runs for as long as a live view plays forgets all but the
// newest samples, and still follows its players as one without it does:
// a walk back and forth for two minutes, with a second player who leaves.
TEST(CPlayerTracker, ForgettingHistoryKeepsMemoryFlatAndTracksTheSame)
{
    CPlayerTracker forgetting(kFps), keeping(kFps);
    const int frames = int(120 * kFps);
    for (int f = 0; f < frames; ++f) {
        const double x = 30 + 10 * std::sin(f / kFps * 0.5);
        std::vector<CPlayerDetection> seen { at({ x, 40 }) };
        if (f < 100)
            seen.push_back(at({ 50, 20 + f * 0.1 }));
        forgetting.update(f, seen);
        forgetting.forgetHistory();
        keeping.update(f, seen);
    }
    const auto now = forgetting.live(), then = keeping.live();
    ASSERT_EQ(now.size(), 1u);
    ASSERT_EQ(then.size(), 1u);
    EXPECT_EQ(now[0].id, then[0].id);
    EXPECT_NEAR(cv::norm(now[0].sample.pitch - then[0].sample.pitch), 0.0, 1e-9);
    // The ended player is forgotten, and of the one still there only the
    // newest samples are left.
    const auto finished = forgetting.finish();
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].id, then[0].id);
    EXPECT_LT(finished[0].samples.size(), std::size_t(4 * CPlayerTracker::kMemoryS * kFps + 8));
    EXPECT_EQ(keeping.finish().size(), 2u);
}

} // namespace
