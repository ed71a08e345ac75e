// The live players of VistrelTracking.h, looked up with dlsym in
// libVistrel.so, as a host does: refusals, the players of a generated match
// against its truth while the engine steps through it, and the 85-slot
// picture unchanged by them.

#include "ForeignEngine.h"
#include "PlaybackTestSupport.h"
#include "PlayerSimulation.h"
#include "PlayerSprite.h"
#include "VistrelFrames.h"
#include "VistrelTracking.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

using namespace playbacktest;

namespace {

const auto startLive = librarySymbol<decltype(VistrelStartLivePlayers)>("VistrelStartLivePlayers");
const auto stopLive = librarySymbol<decltype(VistrelStopLivePlayers)>("VistrelStopLivePlayers");
const auto getLive = librarySymbol<decltype(VistrelGetLivePlayers)>("VistrelGetLivePlayers");
const auto seekFrame = librarySymbol<decltype(VistrelSeekFrame)>("VistrelSeekFrame");
const auto frameSerial = librarySymbol<decltype(VistrelGetFrameSerial)>("VistrelGetFrameSerial");

testclips::ClipSettings liveMatch()
{
    testclips::ClipSettings plan;
    plan.width = 1280;
    plan.height = 720;
    plan.fps = 25;
    plan.frames = 90;
    plan.players = 0;
    plan.match = true;
    plan.penaltyAreas = true;
    plan.lineWidth = 0.12f;
    plan.tilt = 0.5;
    plan.seed = 3;
    return plan;
}

bool symbolsFound() { return startLive && stopLive && getLive && seekFrame; }

TEST(LivePlayers, RefusalsAnswerMinusOneAndWriteNothing)
{
    ASSERT_TRUE(symbolsFound()) << "libVistrel.so exports the live player functions";
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    ForeignEngine foreign;
    EXPECT_EQ(startLive(nullptr), -1);
    EXPECT_EQ(startLive(&foreign), -1);
    EXPECT_EQ(startLive(engine), -1) << "no video";
    const testclips::ClipSettings plan = liveMatch();
    ASSERT_EQ(engine->LoadVideo(losslessClip(plan, "live-match")), 0);
    EXPECT_EQ(startLive(engine), -1) << "no calibration";
    EXPECT_EQ(stopLive(nullptr), -1);
    EXPECT_EQ(stopLive(&foreign), -1);
    EXPECT_EQ(stopLive(engine), 0);

    struct Call
    {
        const char* what;
        VistrelInterface* engine;
        bool buffer;
        int capacity;
    };
    const Call refused[] = {
        { "null engine", nullptr, true, 4 },
        { "foreign engine", &foreign, true, 4 },
        { "negative capacity", engine, true, -1 },
        { "no buffer for a capacity", engine, false, 4 },
    };
    for (const Call& call : refused) {
        VistrelLivePlayer players[4];
        std::memset(players, 0x5a, sizeof players);
        long long frame = 12345;
        EXPECT_EQ(getLive(call.engine, call.buffer ? players : nullptr, call.capacity, &frame), -1)
            << call.what;
        EXPECT_EQ(frame, 12345) << call.what;
        EXPECT_EQ(players[0].trackId, 0x5a5a5a5a) << call.what;
    }
    long long frame = 12345;
    EXPECT_EQ(getLive(engine, nullptr, 0, &frame), 0) << "off: no players";
    EXPECT_EQ(frame, -1);
}

// The analysis chain of the 85 slots on, so that the pictures compared
// show what it draws.
void configureAnalysis(VistrelInterface& engine)
{
    engine.setProcessingEnabled(true);
    engine.setMotionAnalysisEnabled(true);
}

struct Step
{
    cv::Mat picture;
    std::vector<VistrelLivePlayer> players;
};

// Steps a paused playback through every frame, as a host stepping does, and
// keeps each frame's picture and (with the live view on) its players.
std::vector<Step> stepThrough(VistrelInterface& engine, bool live, int frames)
{
    std::vector<Step> steps;
    engine.setPaused(true);
    const unsigned long long before = frameSerial(&engine);
    auto play = playAsync(engine);
    // The loop's first pass runs the first frame through the analysis
    // chain, whose motion stage remembers two frames back: the seek to
    // frame 0 comes after that pass in both engines, never in its place.
    EXPECT_TRUE(waitUntil([&] { return frameSerial(&engine) > before; })) << "no first pass";
    for (int f = 0; f < frames; ++f) {
        EXPECT_EQ(seekFrame(&engine, f), 0) << f;
        Step step;
        if (live) {
            long long shown = -1;
            std::array<VistrelLivePlayer, 64> buffer {};
            int count = 0;
            EXPECT_TRUE(waitUntil([&] {
                count = getLive(&engine, buffer.data(), int(buffer.size()), &shown);
                return shown == f;
            })) << "frame " << f << " never tracked";
            step.players.assign(buffer.begin(), buffer.begin() + std::clamp(count, 0, 64));
        }
        step.picture = exported(engine);
        steps.push_back(std::move(step));
    }
    engine.setStopped(true);
    EXPECT_TRUE(finishes(play));
    return steps;
}

// Players found within 1 m of a true one, one to one, nearest pairs first.
struct Hits
{
    long long truth = 0, found = 0, matched = 0, teamsRight = 0;
};

void count(const std::vector<VistrelLivePlayer>& found,
    const std::vector<std::pair<cv::Point2d, char>>& truth, Hits& hits)
{
    std::vector<std::tuple<double, std::size_t, std::size_t>> pairs;
    for (std::size_t i = 0; i < truth.size(); ++i)
        for (std::size_t j = 0; j < found.size(); ++j) {
            const double d = cv::norm(truth[i].first - cv::Point2d(found[j].pitchX, found[j].pitchY));
            if (d < 1.0)
                pairs.emplace_back(d, i, j);
        }
    std::sort(pairs.begin(), pairs.end());
    std::vector<char> truthUsed(truth.size()), foundUsed(found.size());
    for (const auto& [d, i, j] : pairs) {
        if (truthUsed[i] || foundUsed[j])
            continue;
        truthUsed[i] = foundUsed[j] = 1;
        ++hits.matched;
        hits.teamsRight += truth[i].second == found[j].team;
    }
    hits.truth += (long long)truth.size();
    hits.found += (long long)found.size();
}

// After a second of settling, the live players are the generated ones
// within 1 m, with their teams; the pictures the slots export are those of
// an engine without the live view, frame for frame.
TEST(LivePlayers, FollowTheGeneratedMatchAndLeaveTheAnalysisAlone)
{
    ASSERT_TRUE(symbolsFound());
    const testclips::ClipSettings plan = liveMatch();
    const std::string clip = losslessClip(plan, "live-match");
    VistrelInterface* plain = newEngine();
    VistrelInterface* live = newEngine();
    ASSERT_TRUE(plain && live);
    for (VistrelInterface* engine : { plain, live }) {
        ASSERT_EQ(engine->LoadVideo(clip), 0);
        calibrate(*engine, plan);
        configureAnalysis(*engine);
    }
    ASSERT_EQ(startLive(live), 0);
    const std::vector<Step> withLive = stepThrough(*live, true, plan.frames);
    const std::vector<Step> without = stepThrough(*plain, false, plan.frames);
    ASSERT_EQ(withLive.size(), without.size());
    for (std::size_t f = 0; f < without.size(); ++f)
        EXPECT_TRUE(samePicture(withLive[f].picture, without[f].picture)) << "frame " << f;

    const testclips::PlayerSimulation sim = testclips::simulationFor(plan);
    const int settled = int(plan.fps);
    Hits hits;
    for (int f = settled; f < plan.frames; ++f) {
        std::vector<std::pair<cv::Point2d, char>> truth;
        for (const testclips::SimPerson& p : sim.people())
            if (p.tracked())
                truth.emplace_back(sim.position(p, f / plan.fps), p.expectedTeam());
        count(withLive[f].players, truth, hits);
        for (const VistrelLivePlayer& p : withLive[f].players) {
            EXPECT_GT(p.trackId, 0);
            EXPECT_TRUE(p.team == 0 || p.team == 'A' || p.team == 'B');
            EXPECT_GE(p.speed, 0.0);
            EXPECT_TRUE(p.pictureX >= 0 && p.pictureY >= 0 && p.pictureX < plan.width
                && p.pictureY < plan.height);
        }
    }
    const double recall = double(hits.matched) / double(std::max(1LL, hits.truth));
    const double precision = double(hits.matched) / double(std::max(1LL, hits.found));
    const double teams = double(hits.teamsRight) / double(std::max(1LL, hits.matched));
    std::printf("live players within 1 m: recall %.3f, precision %.3f, teams right %.3f\n", recall,
        precision, teams);
    EXPECT_GE(recall, 0.9) << "precision " << precision << ", teams " << teams;
    EXPECT_GE(precision, 0.9) << "recall " << recall;
    EXPECT_GE(teams, 0.9);

    EXPECT_EQ(stopLive(live), 0);
    long long frame = 0;
    EXPECT_EQ(getLive(live, nullptr, 0, &frame), 0);
    EXPECT_EQ(frame, -1);
}

} // namespace
