// Single frames through the plain C functions of VistrelFrames.h, loaded
// from libVistrel.so by name as a host does.

#include "PlaybackTestSupport.h"
#include "VistrelFrames.h"

#include <typeinfo>

using namespace playbacktest;

namespace {

// Far longer than a pass takes, far shorter than the sleep at a rate of a
// few thousandths (~13 minutes): a request that waits out the sleep fails.
constexpr std::chrono::seconds kRequestLimit { 20 };
constexpr float kTinyPlaybackRate = 0.001f;

struct FramesApi
{
    decltype(&VistrelSeekFrame) seek
        = librarySymbol<int(VistrelInterface*, long long)>("VistrelSeekFrame");
    decltype(&VistrelGetFrameIndex) index
        = librarySymbol<long long(VistrelInterface*)>("VistrelGetFrameIndex");
    decltype(&VistrelGetFrameTotal) total
        = librarySymbol<long long(VistrelInterface*)>("VistrelGetFrameTotal");
    decltype(&VistrelRedrawFrame) redraw
        = librarySymbol<int(VistrelInterface*)>("VistrelRedrawFrame");
    decltype(&VistrelSetFrameCacheBytes) setCacheBytes
        = librarySymbol<int(VistrelInterface*, long long)>("VistrelSetFrameCacheBytes");
    decltype(&VistrelGetFrameCacheBytes) cacheBytes
        = librarySymbol<long long(VistrelInterface*)>("VistrelGetFrameCacheBytes");

    bool complete() const
    {
        return seek && index && total && redraw && setCacheBytes && cacheBytes;
    }
};

// The index the exported picture carries in its frame code.
int shownCode(VistrelInterface& engine)
{
    cv::Mat bgr;
    cv::cvtColor(exported(engine), bgr, cv::COLOR_RGB2BGR);
    return testclips::readFrameCode(bgr);
}

bool black(const cv::Mat& picture) { return cv::countNonZero(picture.reshape(1)) == 0; }

bool within(const std::chrono::seconds limit, const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// An H.264 clip with a keyframe every 50 frames and frame codes.
testclips::ClipSettings longGopClip()
{
    testclips::ClipSettings clipSettings;
    clipSettings.frames = 130;
    clipSettings.keyframeInterval = 50;
    clipSettings.frameCode = true;
    return clipSettings;
}

} // namespace

TEST(Frames, FirstFrameShowsOnRequestAfterOpeningAndRedrawsWithTheOverlay)
{
    const FramesApi api;
    ASSERT_TRUE(api.complete());
    testclips::ClipSettings clipSettings;
    clipSettings.frames = 3;
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(api.seek(nullptr, 0), -1);
    EXPECT_EQ(api.total(engine), -1) << "no video";
    EXPECT_EQ(api.redraw(engine), -1) << "no frame";
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "first")), 0);

    EXPECT_EQ(api.index(engine), 0);
    EXPECT_EQ(api.total(engine), 3);
    EXPECT_TRUE(black(exported(*engine))) << "black until asked";
    ASSERT_EQ(api.seek(engine, 0), 0);
    const cv::Mat first = exported(*engine);
    EXPECT_TRUE(samePicture(first, expectedRgb(clipSettings, 0)));

    // A corner dot (a violet ring round the point) shows at a redraw.
    const cv::Point corner(20, 15);
    engine->addFieldPoint(0, corner.x, corner.y);
    ASSERT_EQ(api.redraw(engine), 0);
    const cv::Mat dotted = exported(*engine);
    EXPECT_EQ(dotted.at<cv::Vec3b>(corner + cv::Point(1, 0)), cv::Vec3b(128, 0, 255));

    // Play starts at the first frame, which the seek left to be read next.
    engine->setDelayFactor(0.0f);
    EXPECT_EQ(engine->Play(), 0);
    EXPECT_EQ(api.index(engine), 2) << "the last frame shown stays the current one";
}

// Steps forward and back across keyframes, long jumps both ways and a seek
// past the end, each checked by the code the picture carries.
TEST(Frames, SeeksExactlyOnALongGopClipAndPlayGoesOnFromThere)
{
    if (!testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    const FramesApi api;
    ASSERT_TRUE(api.complete());
    const testclips::ClipSettings clipSettings = longGopClip();
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->LoadVideo(enginetest::clipPath(clipSettings, "longgop.mp4")), 0);

    const long long last = clipSettings.frames - 1;
    const struct
    {
        long long request, shown;
    } steps[] = { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 49, 49 }, { 50, 50 }, { 51, 51 }, { 50, 50 },
        { 49, 49 }, { 48, 48 }, { 101, 101 }, { 99, 99 }, { 5, 5 }, { 64, 64 }, { -3, 0 },
        { 500, last }, { last - 1, last - 1 } };
    for (const auto& step : steps) {
        ASSERT_EQ(api.seek(engine, step.request), 0) << step.request;
        EXPECT_EQ(api.index(engine), step.shown) << step.request;
        EXPECT_EQ(shownCode(*engine), step.shown) << step.request;
        EXPECT_EQ(engine->getFramePosition(), static_cast<double>(step.shown + 1));
        EXPECT_EQ(engine->getPosition(), static_cast<int>(step.shown * 40));
    }
    EXPECT_EQ(api.total(engine), clipSettings.frames);

    // Play reads on after the sought frame.
    ASSERT_EQ(api.seek(engine, 60), 0);
    engine->setPlaybackRate(kTinyPlaybackRate);
    auto play = playAsync(*engine);
    ASSERT_TRUE(waitUntil([&] { return api.index(engine) != 60; }));
    EXPECT_EQ(api.index(engine), 61);
    engine->StopPlayback();
    ASSERT_TRUE(finishes(play));
}

// Steps forward through 90 frames, then back one frame at a time to the
// start: out of the cache (ten frames) at first, then across its boundary
// and across keyframes, where the cache is refilled; each frame checked by
// its code. Forward steps and playback go on exactly from a cached frame.
TEST(Frames, StepsBackFrameExactAcrossTheCacheAndKeyframes)
{
    if (!testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    const FramesApi api;
    ASSERT_TRUE(api.complete());
    for (const int keyframeInterval : { 50, 0 }) {
        SCOPED_TRACE(keyframeInterval);
        testclips::ClipSettings clipSettings = longGopClip();
        clipSettings.keyframeInterval = keyframeInterval;
        VistrelInterface* engine = newEngine();
        ASSERT_NE(engine, nullptr);
        EXPECT_EQ(api.cacheBytes(engine), 256LL << 20) << "the default";
        EXPECT_EQ(api.setCacheBytes(engine, -1), -1);
        const long long frameBytes = clipSettings.width * clipSettings.height * 3;
        ASSERT_EQ(api.setCacheBytes(engine, 10 * frameBytes), 0);
        ASSERT_EQ(engine->LoadVideo(enginetest::clipPath(
                      clipSettings, "steps_" + std::to_string(keyframeInterval) + ".mp4")),
            0);
        for (long long frame = 0; frame <= 90; ++frame)
            ASSERT_EQ(api.seek(engine, frame), 0) << frame;
        for (long long frame = 89; frame >= 0; --frame) {
            ASSERT_EQ(api.seek(engine, frame), 0) << frame;
            ASSERT_EQ(shownCode(*engine), frame);
            ASSERT_EQ(api.index(engine), frame);
        }
        for (long long frame = 1; frame <= 12; ++frame) {
            ASSERT_EQ(api.seek(engine, frame), 0) << frame;
            ASSERT_EQ(shownCode(*engine), frame);
        }
        ASSERT_EQ(api.seek(engine, 5), 0);
        engine->setPlaybackRate(kTinyPlaybackRate);
        auto play = playAsync(*engine);
        ASSERT_TRUE(waitUntil([&] { return api.index(engine) != 5; }));
        EXPECT_EQ(api.index(engine), 6);
        EXPECT_EQ(shownCode(*engine), 6);
        engine->StopPlayback();
        ASSERT_TRUE(finishes(play));
    }
}

// At a rate of a thousandth the loop sleeps for minutes after each pass:
// a seek, a jump and a pause must not wait that out.
TEST(Frames, RequestsEndTheLoopsSleepAtATinyPlaybackRate)
{
    if (!testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    const FramesApi api;
    ASSERT_TRUE(api.complete());
    const testclips::ClipSettings clipSettings = longGopClip();
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->LoadVideo(enginetest::clipPath(clipSettings, "longgop.mp4")), 0);
    engine->setPlaybackRate(kTinyPlaybackRate);
    auto play = playAsync(*engine);
    ASSERT_TRUE(waitUntil([&] { return !black(exported(*engine)); }));

    // The seek waits at most about two seconds for the loop to serve it.
    ASSERT_EQ(api.seek(engine, 10), 0);
    EXPECT_EQ(shownCode(*engine), 10);
    engine->ThPause();
    engine->setJumpStep(1000);
    engine->setJumpForward(true);
    EXPECT_TRUE(within(kRequestLimit, [&] { return !engine->isJumpForwardPending(); }));
    EXPECT_TRUE(within(kRequestLimit, [&] { return shownCode(*engine) == 35; }));
    ASSERT_EQ(api.seek(engine, 9), 0) << "a step back while paused";
    EXPECT_EQ(shownCode(*engine), 9);
    engine->StopPlayback();
    ASSERT_TRUE(finishes(play));
}

// A host may compare or cast with the interface's type information.
TEST(Frames, InterfaceTypeInformationIsExported)
{
    const auto* exportedType = librarySymbol<const std::type_info>("_ZTI16VistrelInterface");
    ASSERT_NE(exportedType, nullptr);
    EXPECT_TRUE(*exportedType == typeid(VistrelInterface));
}
