#include "EngineTestSupport.h"
#include "core/Vistrel.h"
#include "VistrelTestAccess.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdlib>

using namespace enginetest;
using testclips::ClipSettings;

namespace {

struct ClipCase
{
    const char* name;
    int width;
    int height;
    double fps;
    int frames;
    bool lossless;
};

void PrintTo(const ClipCase& clip, std::ostream* out) { *out << clip.name; }

ClipSettings specOf(const ClipCase& clip)
{
    ClipSettings clipSettings;
    clipSettings.width = clip.width;
    clipSettings.height = clip.height;
    clipSettings.fps = clip.fps;
    clipSettings.frames = clip.frames;
    return clipSettings;
}

// Whether the first `bytes` bytes of the exported picture are all zero. Reads
// exactly the size the host would, so a short buffer shows under ASan.
bool exportIsBlack(Vistrel& engine, std::size_t bytes)
{
    const auto buffer = engine.exportFrame();
    return buffer
        && std::all_of(buffer.get(), buffer.get() + bytes, [](unsigned char b) { return b == 0; });
}

std::size_t reportedBytes(Vistrel& engine)
{
    return static_cast<std::size_t>(engine.getFrameWidth()) * engine.getFrameHeight() * 3;
}

class VideoSource : public testing::TestWithParam<ClipCase>
{
};

} // namespace

TEST_P(VideoSource, ReportsTheClipAndReadsItFrameByFrame)
{
    const ClipCase clip = GetParam();
    const ClipSettings clipSettings = specOf(clip);
    const std::string path = clipPath(clipSettings, clip.name);
    ASSERT_FALSE(path.empty());

    Vistrel engine;
    engine.setStopped(false);
    ASSERT_EQ(engine.LoadVideo(path), 0);
    EXPECT_TRUE(engine.isStopped());
    EXPECT_EQ(engine.getFrameWidth(), clip.width);
    EXPECT_EQ(engine.getFrameHeight(), clip.height);
    EXPECT_NEAR(engine.getFps(), clip.fps, 1e-3);
    EXPECT_EQ(engine.getFrameCount(), clip.frames);
    EXPECT_EQ(engine.getFramePosition(), 0.0);
    EXPECT_EQ(engine.getPosition(), 0);
    EXPECT_TRUE(exportIsBlack(engine, reportedBytes(engine)));

    for (int i = 0; i < clip.frames; ++i) {
        ASSERT_TRUE(VistrelTestAccess::readFrame(engine)) << "frame " << i;
        const cv::Mat& frame = VistrelTestAccess::frame(engine);
        ASSERT_EQ(frame.size(), cv::Size(clip.width, clip.height));
        if (clip.lossless) {
            EXPECT_EQ(cv::norm(frame, testclips::renderFrame(clipSettings, i), cv::NORM_INF), 0.0)
                << "frame " << i;
        }
        EXPECT_EQ(engine.getPosition(), static_cast<int>(i * 1000 / clip.fps)) << "frame " << i;
        EXPECT_EQ(engine.getFramePosition(), i + 1);
    }
    EXPECT_FALSE(VistrelTestAccess::readFrame(engine)) << "past the end";
    EXPECT_TRUE(VistrelTestAccess::frame(engine).empty());

    engine.Pause();
    EXPECT_TRUE(engine.isPaused());
    EXPECT_EQ(engine.Stop(), 0);
    EXPECT_FALSE(engine.isPaused());
    EXPECT_EQ(engine.getFramePosition(), 0.0);
    EXPECT_EQ(engine.getPosition(), 0);
    EXPECT_EQ(engine.getFrameWidth(), clip.width);
    ASSERT_TRUE(VistrelTestAccess::readFrame(engine)) << "rewound";
    if (clip.lossless) {
        EXPECT_EQ(cv::norm(VistrelTestAccess::frame(engine), testclips::renderFrame(clipSettings, 0),
                      cv::NORM_INF),
            0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, VideoSource,
    testing::Values(ClipCase { "small_25fps.mkv", 320, 240, 25.0, 6, true },
        ClipCase { "odd_width_30fps.mkv", 642, 362, 30.0, 4, true },
        ClipCase { "tiny_mjpeg_12fps.avi", 64, 48, 12.0, 5, false }),
    [](const testing::TestParamInfo<ClipCase>& info) { return std::to_string(info.index); });

TEST(VideoSourceSeek, GoesToTheFrameTheTimeFallsIn)
{
    ClipSettings clipSettings;
    clipSettings.frames = 10;
    const std::string path = clipPath(clipSettings, "seek_25fps.mkv");
    ASSERT_FALSE(path.empty());
    Vistrel engine;
    ASSERT_EQ(engine.LoadVideo(path), 0);

    const struct
    {
        int targetMs;
        int expectedFrame;
    } rows[] = { { 40, 1 }, { 39, 0 }, { 0, 0 }, { 200, 5 }, { 399, 9 }, { -100, 0 }, { 80, 2 } };
    for (const auto& row : rows) {
        ASSERT_TRUE(VistrelTestAccess::seekToTime(engine, row.targetMs)) << row.targetMs;
        ASSERT_TRUE(VistrelTestAccess::readFrame(engine)) << row.targetMs;
        EXPECT_EQ(cv::norm(VistrelTestAccess::frame(engine),
                      testclips::renderFrame(clipSettings, row.expectedFrame), cv::NORM_INF),
            0.0)
            << row.targetMs << " ms";
        EXPECT_EQ(engine.getPosition(), row.expectedFrame * 40) << row.targetMs << " ms";
    }
    VistrelTestAccess::seekToTime(engine, 10000);
    EXPECT_FALSE(VistrelTestAccess::readFrame(engine)) << "beyond the end";
}

TEST(VideoSourceLoad, SecondVideoReplacesTheFirst)
{
    ClipSettings first;
    ClipSettings second;
    second.width = 642;
    second.height = 362;
    second.frames = 3;
    const std::string firstPath = clipPath(first, "replace_first.mkv");
    const std::string secondPath = clipPath(second, "replace_second.mkv");
    ASSERT_FALSE(firstPath.empty());
    ASSERT_FALSE(secondPath.empty());

    Vistrel engine;
    ASSERT_EQ(engine.LoadVideo(firstPath), 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(VistrelTestAccess::readFrame(engine));
    ASSERT_NE(engine.getPosition(), 0);

    ASSERT_EQ(engine.LoadVideo(secondPath), 0);
    EXPECT_EQ(engine.getPosition(), 0);
    EXPECT_EQ(engine.getFramePosition(), 0.0);
    EXPECT_EQ(engine.getFrameWidth(), 642);
    EXPECT_EQ(engine.getFrameHeight(), 362);
    EXPECT_TRUE(exportIsBlack(engine, reportedBytes(engine)));
    ASSERT_TRUE(VistrelTestAccess::readFrame(engine));
    EXPECT_EQ(
        cv::norm(VistrelTestAccess::frame(engine), testclips::renderFrame(second, 0), cv::NORM_INF),
        0.0);
}

// Phone videos carry a rotation that OpenCV applies while decoding: the size
// reported must be that of the upright frames.
TEST(VideoSourceLoad, RotatedVideoReportsTheDeliveredSize)
{
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the ffmpeg program is not installed";
    ClipSettings clipSettings;
    clipSettings.width = 96;
    clipSettings.height = 64;
    clipSettings.frames = 3;
    const std::string source = clipPath(clipSettings, "upright.avi");
    ASSERT_FALSE(source.empty());
    const std::string rotated = (scratchDir() / "rotated.mp4").string();
    const std::string command = "ffmpeg -loglevel error -y -i '" + source
        + "' -c copy -metadata:s:v:0 rotate=90 '" + rotated + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    Vistrel engine;
    ASSERT_EQ(engine.LoadVideo(rotated), 0);
    EXPECT_EQ(engine.getFrameWidth(), 64);
    EXPECT_EQ(engine.getFrameHeight(), 96);
    EXPECT_TRUE(exportIsBlack(engine, reportedBytes(engine)));
    for (int i = 0; i < clipSettings.frames; ++i) {
        ASSERT_TRUE(VistrelTestAccess::readFrame(engine));
        EXPECT_EQ(VistrelTestAccess::frame(engine).size(), cv::Size(64, 96));
    }
}

TEST(VideoSourceLoad, StopAfterTheFileVanishedLeavesNoCapture)
{
    ClipSettings clipSettings;
    clipSettings.frames = 2;
    const fs::path path = scratchDir() / "vanishing.mkv";
    fs::copy_file(
        clipPath(clipSettings, "vanishing_source.mkv"), path, fs::copy_options::overwrite_existing);
    Vistrel engine;
    ASSERT_EQ(engine.LoadVideo(path.string()), 0);
    fs::remove(path);
    EXPECT_EQ(engine.Stop(), 0);
    EXPECT_EQ(engine.getFrameWidth(), 0);
    EXPECT_EQ(engine.getFrameCount(), 0.0);
    EXPECT_FALSE(VistrelTestAccess::readFrame(engine));
    EXPECT_FALSE(VistrelTestAccess::seekToTime(engine, 40));
}
