// The playback loop from inside the library: its pacing arithmetic and its
// trace, which shows the mutex protocol and which pipeline steps ran.

#include "ClipGenerator.h"
#include "EngineTestSupport.h"
#include "core/Vistrel.h"
#include "VistrelTestAccess.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct PacingCase
{
    float playbackRate;
    float delayFactor;
    std::int64_t elapsedSeconds;
    int expectedUs;
};

// "Vistrel::Play - locking" for each line of the trace file, without the
// time and level.
std::vector<std::string> traceMessages()
{
    static const std::string level = " - INFO -  ";
    std::ifstream in("debug.log");
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(level);
        messages.push_back(at == std::string::npos ? line : line.substr(at + level.size()));
    }
    return messages;
}

long countOf(const std::vector<std::string>& messages, const std::string& message)
{
    return std::count(messages.begin(), messages.end(), message);
}

// A lossless 32 x 24 clip of `frames` frames in the current folder.
std::string writeTinyClip(int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 32;
    clipSettings.height = 24;
    clipSettings.frames = frames;
    const std::string path = (fs::current_path() / "clip.mkv").string();
    std::string error;
    EXPECT_TRUE(testclips::writeClip(clipSettings, path, &error, false)) << error;
    return path;
}

} // namespace

TEST(VistrelPlayback, WaitsTheFramePeriodScaledByTheDelayFactorLessWholeSeconds)
{
    const PacingCase cases[] = {
        { 25.0f, 0.8f, 0, 32000 }, // the defaults
        { 25.0f, 0.8f, 1, 0 }, // a pass of a second or more: no sleep
        { 25.0f, 0.0f, 0, 0 },
        { 25.0f, 0.6000000834465027f, 0, 24000 }, // the speed slider in the middle
        { 25.0f, 1.2f, 0, 48000 },
        { 0.5f, 1.0f, 1, 1000000 }, // elapsed counts whole seconds
        { 0.5f, 1.0f, 3, 0 },
        { 0.0f, 0.8f, 0, INT_MAX }, // not a rate: clamped, not converted
        { -25.0f, 0.8f, 0, 0 },
        { NAN, 0.8f, 0, 0 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Vistrel::waitMicroseconds(c.playbackRate, c.delayFactor, c.elapsedSeconds),
            c.expectedUs)
            << "rate " << c.playbackRate << ", delay " << c.delayFactor << ", elapsed "
            << c.elapsedSeconds;
}

TEST(VistrelPlayback, TracesTheMutexProtocolOfEveryPass)
{
    enginetest::PrivateWorkDir folder(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Vistrel engine;
    ASSERT_EQ(engine.LoadVideo(writeTinyClip(1)), 0);
    engine.setDelayFactor(0.0f);
    engine.enableTracing(true);
    const std::size_t before = traceMessages().size();
    ASSERT_EQ(engine.Play(), 0);
    engine.enableTracing(false);

    const std::vector<std::string> all = traceMessages();
    const std::vector<std::string> play(all.begin() + static_cast<long>(before), all.end());
    const std::vector<std::string> expected = {
        "Vistrel::Play - entered",
        "Vistrel::Play - waiting to unlock",
        "Vistrel::UnLock - entered", // holds nothing: the failing release alone
        "Vistrel::Play - unlocked",
        // The one frame.
        "Vistrel::Play - locking",
        "Vistrel::isBusy - entered",
        "Vistrel::Play - locked",
        "Vistrel::ProcessImage - entered",
        "Vistrel::ProcessImage - left",
        "Vistrel::DrawFieldLines - entered",
        "Vistrel::DrawFieldLines - left",
        "Vistrel::Play - unlocking",
        "Vistrel::UnLock - entered",
        "Vistrel::UnLock - entered",
        "Vistrel::Play - unlocked",
        // No further frame: rewind and end.
        "Vistrel::Play - locking",
        "Vistrel::isBusy - entered",
        "Vistrel::Play - locked",
        "Vistrel::Stop - entered",
        "Vistrel::Stop - left",
        "Vistrel::Play - waiting to unlock",
        "Vistrel::UnLock - entered",
        "Vistrel::UnLock - entered",
        "Vistrel::Play - unlocked",
        "Vistrel::Play - left",
    };
    EXPECT_EQ(play, expected);
}

TEST(VistrelPlayback, PausedLoopDrawsOnlyChangesWithoutProcessingAgain)
{
    enginetest::PrivateWorkDir folder(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Vistrel engine;
    ASSERT_EQ(engine.LoadVideo(writeTinyClip(50)), 0);
    engine.setDelayFactor(0.0f);
    engine.enableTracing(true);
    auto play = std::async(std::launch::async, [&] { return engine.Play(); });
    // Polls until done() holds; false after a minute (a hung loop), which no
    // passing run comes near.
    const auto waitUntil = [](const auto& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    };
    const auto traced = [&](const char* message) { return countOf(traceMessages(), message); };
    EXPECT_TRUE(waitUntil([&] { return traced("Vistrel::ProcessImage - entered") >= 2; }));
    engine.ThPause();
    // The pass under way may still read a frame; the ones after it do not.
    const long unlocked = traced("Vistrel::Play - unlocked");
    EXPECT_TRUE(waitUntil([&] { return traced("Vistrel::Play - unlocked") >= unlocked + 2; }));
    const long processed = traced("Vistrel::ProcessImage - entered");

    // Unchanged, the paused picture is not drawn again (at 25 passes a second
    // before, several would have come by now).
    const unsigned long long serial = engine.frameSerial();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(engine.frameSerial(), serial);
    // A change of the pitch model, the table or a stage is drawn at once.
    const std::function<void()> changes[] = { [&] { engine.setFieldLength(90.0f); },
        [&] { engine.pickColour(1, 1, true); }, [&] { engine.setColourThreshold(7); } };
    for (const auto& change : changes) {
        const unsigned long long before = engine.frameSerial();
        change();
        EXPECT_TRUE(waitUntil([&] { return engine.frameSerial() > before; }));
    }
    EXPECT_EQ(traced("Vistrel::ProcessImage - entered"), processed);
    engine.StopPlayback();
    EXPECT_EQ(play.get(), 0);
    engine.enableTracing(false);
}

// Calibrates an engine and a pitch model of its own with the clip's corners,
// dimensions and centre, through the same calls.
void calibrateBoth(Vistrel& engine, CField& reference, const testclips::ClipSettings& clipSettings)
{
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    engine.setFieldLength(clipSettings.fieldLength);
    reference.setLength(clipSettings.fieldLength);
    engine.setFieldWidth(clipSettings.fieldWidth);
    reference.setWidth(clipSettings.fieldWidth);
    engine.setCentreCircleRadius(clipSettings.radius);
    reference.setRadius(clipSettings.radius);
    for (std::size_t corner = 0; corner < truth.corners.size(); ++corner) {
        const int edge = corner < 2 ? 0 : 1;
        engine.addFieldPoint(edge, truth.corners[corner].x, truth.corners[corner].y);
        reference.AddPoint(edge, truth.corners[corner].x, truth.corners[corner].y);
    }
    engine.setGameCentre(truth.centre().x, truth.centre().y);
    reference.SetGameCentre(truth.centre().x, truth.centre().y);
}

// With every stage off, and with processing on but every stage off, the
// exported picture is the frame with the pitch overlay exactly as the pitch
// model draws it, in R, G, B order.
TEST(VistrelPlayback, ExportsTheFrameWithTheWholeOverlayInRgb)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 321;
    clipSettings.height = 241;
    clipSettings.frames = 2;
    const cv::Mat lastFrame = testclips::renderFrame(clipSettings, clipSettings.frames - 1);
    for (const bool processing : { false, true }) {
        Vistrel engine;
        CField reference;
        calibrateBoth(engine, reference, clipSettings);
        ASSERT_EQ(engine.getFieldLines().size(), 9u);
        ASSERT_EQ(engine.LoadVideo(enginetest::clipPath(clipSettings, "overlay.mkv")), 0);
        engine.setProcessingEnabled(processing);
        engine.setDelayFactor(0.0f);
        ASSERT_EQ(engine.Play(), 0);

        reference.Draw(lastFrame);
        ASSERT_GT(cv::norm(reference.getOverlayImage(), lastFrame, cv::NORM_INF), 0.0);
        cv::Mat expected;
        cv::cvtColor(reference.getOverlayImage(), expected, cv::COLOR_BGR2RGB);
        const auto buffer = engine.exportFrame();
        const cv::Mat exported(clipSettings.height, clipSettings.width, CV_8UC3, buffer.get());
        EXPECT_EQ(cv::norm(exported, expected, cv::NORM_INF), 0.0) << "processing " << processing;
    }
}

// Both bounds are inclusive: the width and the height themselves are
// accepted. Without a frame every position is refused.
TEST(VistrelPlayback, MousePointerMustLieOnTheFrame)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 40;
    clipSettings.height = 30;
    clipSettings.frames = 1;
    Vistrel engine;
    EXPECT_EQ(engine.SetMousePointer(0, 0), -1);
    ASSERT_EQ(engine.LoadVideo(enginetest::clipPath(clipSettings, "mouse.mkv")), 0);
    ASSERT_TRUE(VistrelTestAccess::readFrame(engine));
    const struct
    {
        int x, y, result;
    } cases[] = { { 0, 0, 0 }, { 40, 30, 0 }, { 41, 0, -1 }, { 0, 31, -1 }, { -1, 0, -1 },
        { 0, -1, -1 } };
    for (const auto& c : cases)
        EXPECT_EQ(engine.SetMousePointer(c.x, c.y), c.result) << c.x << ", " << c.y;
}
