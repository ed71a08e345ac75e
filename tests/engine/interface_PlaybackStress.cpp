// Everything a host may do from its GUI thread while the loop plays, at once
// and in random order; run under ThreadSanitizer to find races.

#include "PlaybackTestSupport.h"

#include <atomic>
#include <random>
#include <thread>

using namespace playbacktest;

namespace {

constexpr int kOperations = 3000;
constexpr std::chrono::seconds kStopLimit { 2 };

// One random call of the host's GUI side (everything but LoadVideo, which a
// host only calls while no loop runs).
void randomCall(VistrelInterface& engine, std::mt19937& random, const cv::Size& size)
{
    std::uniform_int_distribution<int> pick(0, 16);
    std::uniform_int_distribution<int> x(0, size.width - 1), y(0, size.height - 1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    switch (pick(random)) {
    case 0:
        engine.ThPause();
        break;
    case 1:
        engine.setPaused(unit(random) < 0.5f);
        break;
    case 2:
        engine.setJumpForward(true);
        break;
    case 3:
        engine.setJumpBack(true);
        break;
    case 4:
        engine.setJumpStep(static_cast<int>(unit(random) * 400));
        break;
    case 5:
        engine.setPlaybackRate(5.0f + 95.0f * unit(random));
        break;
    case 6:
        engine.setDelayFactor(0.2f * unit(random));
        break;
    case 7:
        engine.setFieldWidth(20.0f + 80.0f * unit(random));
        break;
    case 8:
        engine.setFieldLength(20.0f + 80.0f * unit(random));
        break;
    case 9:
        engine.setCentreCircleRadius(10.0f * unit(random));
        break;
    case 10:
        engine.addFieldPoint(unit(random) < 0.5f ? 0 : 1, x(random), y(random));
        break;
    case 11:
        engine.setGameCentre(x(random), y(random));
        break;
    case 12:
        engine.clearFieldPoints();
        break;
    case 13:
        engine.setDrawFieldLines(unit(random) < 0.8f);
        break;
    case 14:
        engine.ThStop();
        break;
    case 15:
        (void)engine.hasFrame();
        break;
    default:
        (void)engine.getPosition();
        break;
    }
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
    testclips::ClipSpec spec;
    spec.width = 161;
    spec.height = 121;
    spec.frames = 80;
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->LoadVideo(losslessClip(spec, "stress")), 0);

    // The host's worker thread; the loop ends at the end of the video, at a
    // jump past it and at ThStop, so it is started again until told to quit.
    std::atomic<bool> quit { false };
    auto worker = std::async(std::launch::async, [&] {
        while (!quit)
            engine->Play();
    });
    auto controls = std::async(std::launch::async, [&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> pauseUs(0, 1000);
        for (int i = 0; i < kOperations; ++i) {
            randomCall(*engine, random, { spec.width, spec.height });
            // Spreads the calls over many passes of the loop.
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
        }
    });
    while (controls.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        fetchLikeAScreen(*engine);
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
    engine->clearFieldPoints();
    engine->setPaused(false);
    engine->setJumpForward(false);
    engine->setJumpBack(false);
    engine->setDelayFactor(0.0f);
    EXPECT_EQ(engine->Play(), 0);
    EXPECT_TRUE(samePicture(exported(*engine), expectedRgb(spec, spec.frames - 1)));
}
