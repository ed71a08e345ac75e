// Everything a host may do from its GUI thread while the loop plays, at once
// and in random order; run under ThreadSanitizer to find races.

#include "PlaybackTestSupport.h"
#include "VistrelFrames.h"

#include <atomic>
#include <iterator>
#include <random>
#include <thread>

using namespace playbacktest;

namespace {

constexpr int kOperations = 3000;
constexpr std::chrono::seconds kStopLimit { 2 };

// Random numbers for the calls below.
struct Dice
{
    std::mt19937 engine { 7 };
    cv::Size frame;
    int frames = 0;
    std::string clip;
    decltype(&VistrelSeekFrame) seek = nullptr;

    float unit() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(engine); }
    bool coin() { return unit() < 0.5f; }
    int x() { return std::uniform_int_distribution<int>(0, frame.width - 1)(engine); }
    int y() { return std::uniform_int_distribution<int>(0, frame.height - 1)(engine); }
};

using HostCall = void (*)(VistrelInterface&, Dice&);

// What a host may call from its GUI thread while the loop runs, and
// LoadVideo, which a host should only call while no loop runs.
const HostCall kHostCalls[] = {
    [](VistrelInterface& e, Dice&) { e.Stop(); },
    [](VistrelInterface& e, Dice& d) { e.LoadVideo(d.clip); },
    [](VistrelInterface& e, Dice& d) {
        d.seek(&e, std::uniform_int_distribution<int>(-2, d.frames + 2)(d.engine));
    },
    [](VistrelInterface& e, Dice&) { e.ThPause(); },
    [](VistrelInterface& e, Dice& d) { e.setPaused(d.coin()); },
    [](VistrelInterface& e, Dice&) { e.setJumpForward(true); },
    [](VistrelInterface& e, Dice&) { e.setJumpBack(true); },
    [](VistrelInterface& e, Dice& d) { e.setJumpStep(static_cast<int>(400 * d.unit())); },
    [](VistrelInterface& e, Dice& d) { e.setPlaybackRate(5.0f + 95.0f * d.unit()); },
    [](VistrelInterface& e, Dice& d) { e.setDelayFactor(0.2f * d.unit()); },
    [](VistrelInterface& e, Dice& d) { e.setFieldWidth(20.0f + 80.0f * d.unit()); },
    [](VistrelInterface& e, Dice& d) { e.setFieldLength(20.0f + 80.0f * d.unit()); },
    [](VistrelInterface& e, Dice& d) { e.setCentreCircleRadius(10.0f * d.unit()); },
    [](VistrelInterface& e, Dice& d) { e.addFieldPoint(d.coin() ? 0 : 1, d.x(), d.y()); },
    [](VistrelInterface& e, Dice& d) { e.setGameCentre(d.x(), d.y()); },
    [](VistrelInterface& e, Dice&) { e.clearFieldPoints(); },
    [](VistrelInterface& e, Dice& d) { e.setDrawFieldLines(d.unit() < 0.8f); },
    [](VistrelInterface& e, Dice&) { e.ThStop(); },
    [](VistrelInterface& e, Dice&) { (void)e.hasFrame(); },
    [](VistrelInterface& e, Dice& d) { e.setProcessingEnabled(d.coin()); },
    [](VistrelInterface& e, Dice& d) { e.setFilterEnabled(d.coin()); },
    [](VistrelInterface& e, Dice& d) { e.setColourClassificationEnabled(d.coin()); },
    [](VistrelInterface& e, Dice& d) { e.setShowColourMaskEnabled(d.coin()); },
    [](VistrelInterface& e, Dice& d) { e.setMotionAnalysisEnabled(d.coin()); },
    [](VistrelInterface& e, Dice& d) { (void)e.pickColour(d.x(), d.y(), d.coin()); },
    [](VistrelInterface& e, Dice&) { e.clearColourTable(); },
};

void randomCall(VistrelInterface& engine, Dice& dice)
{
    const auto count = static_cast<int>(std::size(kHostCalls));
    const int pick = std::uniform_int_distribution<int>(0, count - 1)(dice.engine);
    kHostCalls[pick](engine, dice);
}

// What the screens do every 25 ms: fetch the picture and the line lists.
void fetchLikeAScreen(VistrelInterface& engine)
{
    const cv::Mat picture = exported(engine);
    ASSERT_FALSE(picture.empty());
    EXPECT_LE(engine.getFieldLines().size(), 9u);
    EXPECT_LE(engine.getCentreLines().size(), 33u);
}

} // namespace

TEST(PlaybackStress, SurvivesAHostHammeringItAndStopsWithinTwoSeconds)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 161;
    clipSettings.height = 121;
    clipSettings.frames = 80;
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    const std::string clip = losslessClip(clipSettings, "stress");
    ASSERT_EQ(engine->LoadVideo(clip), 0);
    const auto seek = librarySymbol<int(VistrelInterface*, long long)>("VistrelSeekFrame");
    ASSERT_NE(seek, nullptr);

    // The host's worker thread; the loop ends at the end of the video, at a
    // jump past it and at ThStop, so it is started again until told to quit.
    std::atomic<bool> quit { false };
    auto worker = std::async(std::launch::async, [&] {
        while (!quit)
            engine->Play();
    });
    std::atomic<bool> hammering { true };
    auto controls = std::async(std::launch::async, [&] {
        Dice dice;
        dice.frame = { clipSettings.width, clipSettings.height };
        dice.frames = clipSettings.frames;
        dice.clip = clip;
        dice.seek = seek;
        for (int i = 0; i < kOperations; ++i) {
            randomCall(*engine, dice);
            // Spreads the calls over many passes of the loop.
            std::this_thread::sleep_for(
                std::chrono::microseconds(static_cast<int>(1000 * dice.unit())));
        }
        hammering = false;
    });
    // Two screens fetch at once, as a host with two views would.
    const auto fetchUntilDone = [&] {
        while (hammering)
            fetchLikeAScreen(*engine);
    };
    auto otherScreen = std::async(std::launch::async, fetchUntilDone);
    fetchUntilDone();
    otherScreen.get();
    controls.get();

    const auto stopDeadline = std::chrono::steady_clock::now() + kStopLimit;
    quit = true;
    do
        engine->StopPlayback();
    while (worker.wait_for(std::chrono::milliseconds(10)) == std::future_status::timeout
        && std::chrono::steady_clock::now() < stopDeadline);
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(0)), std::future_status::ready)
        << "the loop did not stop within " << kStopLimit.count() << " s";

    // The engine is still whole: it plays the clip to its end once more.
    engine->setProcessingEnabled(false);
    engine->clearFieldPoints();
    engine->setPaused(false);
    engine->setJumpForward(false);
    engine->setJumpBack(false);
    engine->setDelayFactor(0.0f);
    EXPECT_EQ(engine->Play(), 0);
    EXPECT_TRUE(samePicture(exported(*engine), expectedRgb(clipSettings, clipSettings.frames - 1)));
}
