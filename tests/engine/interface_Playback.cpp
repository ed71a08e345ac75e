// The playback loop and the frame hand-off, driven through VistrelInterface
// on generated lossless clips.

#include "PlaybackTestSupport.h"

#include <algorithm>
#include <tuple>

using namespace playbacktest;

namespace {

constexpr int kFramePeriodMs = 40; // the clips run at 25 frames per second

// An engine with a clip loaded; whatever a test leaves running is stopped.
class PlaybackTest : public ::testing::Test
{
protected:
    void load(const testclips::ClipSettings& settings, const std::string& name)
    {
        clipSettings = settings;
        engine = newEngine();
        ASSERT_NE(engine, nullptr);
        ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, name)), 0);
    }

    void TearDown() override
    {
        if (engine)
            engine->StopPlayback();
    }

    // Starts the loop and waits until it has read at least `frames` frames.
    std::future<int> playUntilFrame(int frames)
    {
        auto play = playAsync(*engine);
        EXPECT_TRUE(waitUntil([&] { return engine->getPosition() >= frames * kFramePeriodMs; }));
        return play;
    }

    // Pauses the running loop. A pass that read its frame before the pause
    // holds the mutex until it has finished, and exportFrame waits for it;
    // no later pass reads a frame.
    void pause()
    {
        engine->ThPause();
        ASSERT_TRUE(engine->isPaused());
        exported(*engine);
    }

    int shownFrame() { return engine->getPosition() / kFramePeriodMs; }

    testclips::ClipSettings clipSettings;
    VistrelInterface* engine = nullptr;
};

testclips::ClipSettings smallClip(int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 64;
    clipSettings.height = 48;
    clipSettings.frames = frames;
    return clipSettings;
}

// The smallest rectangle holding every pixel that differs.
cv::Rect changedArea(const cv::Mat& before, const cv::Mat& after)
{
    cv::Mat difference;
    cv::absdiff(before, after, difference);
    cv::Mat channels[3];
    cv::split(difference, channels);
    return cv::boundingRect(channels[0] | channels[1] | channels[2]);
}

} // namespace

// Sizes whose rows are not a multiple of 4 bytes check that the export is
// packed: any padding would shift every later row.
class PlaybackToEnd : public PlaybackTest, public ::testing::WithParamInterface<cv::Size>
{
};

TEST_P(PlaybackToEnd, PlaysEveryFrameRewindsAndExportsTheLastInRgb)
{
    testclips::ClipSettings clip;
    clip.width = GetParam().width;
    clip.height = GetParam().height;
    clip.frames = 4;
    // Clips are written once per name and process.
    load(clip, "end" + std::to_string(clip.width) + "x" + std::to_string(clip.height));
    engine->setDelayFactor(0.0f);

    EXPECT_EQ(engine->Play(), 0);
    EXPECT_TRUE(engine->isPlayFinished());
    EXPECT_FALSE(engine->isStopped());
    EXPECT_FALSE(engine->isPaused());
    EXPECT_EQ(engine->getFramePosition(), 0.0);
    EXPECT_EQ(engine->getPosition(), 0);

    // The export holds the last frame; two exports are distinct buffers and
    // the first stays valid after the second.
    const auto first = engine->exportFrame();
    const auto second = engine->exportFrame();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    const cv::Mat expected = expectedRgb(clipSettings, clip.frames - 1);
    EXPECT_TRUE(samePicture(cv::Mat(expected.size(), CV_8UC3, first.get()), expected));
    EXPECT_TRUE(samePicture(cv::Mat(expected.size(), CV_8UC3, second.get()), expected));

    // The rewound video plays again from its first frame.
    engine->StopPlayback();
    EXPECT_TRUE(engine->isStopped());
    EXPECT_EQ(engine->Play(), 0);
    EXPECT_TRUE(samePicture(exported(*engine), expected));
}

INSTANTIATE_TEST_SUITE_P(Sizes, PlaybackToEnd,
    ::testing::Values(cv::Size(320, 240), cv::Size(642, 362), cv::Size(321, 241)),
    [](const auto& info) {
        return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
    });

// A way for playback to end mid-video, and the stopped flag it leaves.
struct Ending
{
    const char* name;
    void (*end)(VistrelInterface&);
    bool stoppedAfter;
};

class PlaybackEnding : public PlaybackTest, public ::testing::WithParamInterface<Ending>
{
};

TEST_P(PlaybackEnding, EndsTheLoopAndRewinds)
{
    load(smallClip(250), "ending");
    auto play = playUntilFrame(2);
    GetParam().end(*engine);
    ASSERT_TRUE(finishes(play));
    EXPECT_EQ(play.get(), 0);
    EXPECT_TRUE(engine->isPlayFinished());
    EXPECT_EQ(engine->isStopped(), GetParam().stoppedAfter);
    EXPECT_EQ(engine->getFramePosition(), 0.0);
    EXPECT_EQ(engine->getPosition(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, PlaybackEnding,
    ::testing::Values(Ending { "StopPlayback",
                          [](VistrelInterface& e) {
                              e.StopPlayback();
                              // It returns only once the loop has ended.
                              EXPECT_TRUE(e.isPlayFinished());
                          },
                          true },
        Ending { "ThStop", [](VistrelInterface& e) { e.ThStop(); }, true },
        Ending { "SetStopped", [](VistrelInterface& e) { e.setStopped(true); }, true },
        // Like the end of the video: stopped stays false.
        Ending { "JumpPastTheEnd",
            [](VistrelInterface& e) {
                e.setJumpStep(100000);
                e.setJumpForward(true);
            },
            false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackTest, StopPlaybackWithoutALoopReturnsAtOnce)
{
    load(smallClip(2), "idle");
    // Idle (stopped), and stopped cleared by the host with no loop running.
    for (const bool stopped : { true, false }) {
        engine->setStopped(stopped);
        auto stop = std::async(std::launch::async, [this] { engine->StopPlayback(); });
        ASSERT_EQ(stop.wait_for(kHangGuard), std::future_status::ready) << "stopped " << stopped;
        EXPECT_TRUE(engine->isStopped());
    }
}

// With no pause between passes the loop would take the mutex back the moment
// it let go of it, and a screen fetching the picture would wait for hundreds
// of frames. Frames are counted, not time: a slow machine takes longer per
// pass but waits no more passes.
TEST_F(PlaybackTest, AScreenWaitsOnlyAFewPassesAtFullSpeed)
{
    constexpr int kFetches = 20;
    constexpr int kMostPassesWaited = 10;
    load(smallClip(1000), "fullspeed");
    engine->setDelayFactor(0.0f);
    auto play = playUntilFrame(1);
    int mostPassesWaited = 0;
    for (int fetch = 0; fetch < kFetches && !engine->isPlayFinished(); ++fetch) {
        const int before = shownFrame();
        ASSERT_NE(engine->exportFrame(), nullptr);
        mostPassesWaited = std::max(mostPassesWaited, shownFrame() - before);
    }
    const bool clipEnded = engine->isPlayFinished();
    engine->StopPlayback();
    ASSERT_TRUE(finishes(play));
    EXPECT_FALSE(clipEnded) << "the clip ended while the screen waited";
    EXPECT_LE(mostPassesWaited, kMostPassesWaited);
}

TEST_F(PlaybackTest, PauseHoldsTheFrameAndShowsPitchChangesAtOnce)
{
    load(smallClip(250), "pause");
    auto play = playUntilFrame(2);
    pause();
    const int frame = shownFrame();
    const double nextIndex = engine->getFramePosition();
    const cv::Mat before = exported(*engine);
    EXPECT_TRUE(samePicture(before, expectedRgb(clipSettings, frame)));

    // A corner dot appears on the held frame: the paused loop keeps drawing.
    const cv::Point corner(20, 15);
    engine->addFieldPoint(0, corner.x, corner.y);
    cv::Mat after;
    ASSERT_TRUE(waitUntil([&] { return !samePicture(after = exported(*engine), before); }));
    // The dot is a violet ring of radius 1 round the corner, in R, G, B.
    const cv::Rect dot(corner - cv::Point(1, 1), cv::Size(3, 3));
    EXPECT_EQ(changedArea(before, after) & dot, changedArea(before, after));
    EXPECT_EQ(after.at<cv::Vec3b>(corner + cv::Point(1, 0)), cv::Vec3b(128, 0, 255));
    EXPECT_EQ(shownFrame(), frame);
    EXPECT_EQ(engine->getFramePosition(), nextIndex);

    // Resuming reads on from the held frame.
    engine->ThPause();
    EXPECT_FALSE(engine->isPaused());
    ASSERT_TRUE(waitUntil([&] { return shownFrame() > frame; }));
    engine->StopPlayback();
    ASSERT_TRUE(finishes(play));
}

// A jump while paused: {jump forward, jump back, step in ms, frames moved}.
using Jump = std::tuple<bool, bool, int, int>;

class PlaybackJump : public PlaybackTest, public ::testing::WithParamInterface<Jump>
{
};

TEST_P(PlaybackJump, MovesThePausedPictureByTheStep)
{
    const auto [forward, back, stepMs, framesMoved] = GetParam();
    load(smallClip(60), "jump");
    auto play = playUntilFrame(10);
    pause();
    const int from = shownFrame();
    const int to = std::max(0, from + framesMoved);

    engine->setJumpStep(stepMs);
    engine->setJumpBack(back);
    engine->setJumpForward(forward);
    ASSERT_TRUE(
        waitUntil([&] { return !engine->isJumpForwardPending() && !engine->isJumpBackPending(); }));
    const cv::Mat picture = exported(*engine); // after the pass that jumped
    EXPECT_EQ(engine->getPosition(), to * kFramePeriodMs);
    EXPECT_TRUE(samePicture(picture, expectedRgb(clipSettings, to))) << "expected frame " << to;
    EXPECT_TRUE(engine->isPaused());
    engine->StopPlayback();
    ASSERT_TRUE(finishes(play));
}

INSTANTIATE_TEST_SUITE_P(Steps, PlaybackJump,
    ::testing::Values(Jump { true, false, 200, 5 }, Jump { false, true, 200, -5 },
        Jump { true, true, 200, 0 }, // forward, then back, in one pass
        Jump { true, false, 130, 3 }, // 3.25 frames: the index is truncated
        Jump { false, true, 100000, -100000 })); // back past the start: frame 0
