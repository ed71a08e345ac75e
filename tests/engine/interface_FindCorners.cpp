#include "CalibrationTestSupport.h"
#include "PlaybackTestSupport.h"
#include "VistrelMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>

// Automatic registration as a host reaches it: VistrelFindCorners looked up
// by name in libVistrel.so, on the frame a LoadVideo made current.

using namespace calibrationtest;
using namespace playbacktest;

namespace {

constexpr double kMaxCornerErrorPx = 3.0;

const auto findCorners = reinterpret_cast<decltype(&VistrelFindCorners)>(
    dlsym(dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL), "VistrelFindCorners"));

void expectNear(const double corners[8], const std::array<cv::Point2d, 4>& truth)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(
            cv::norm(cv::Point2d(corners[2 * i], corners[2 * i + 1]) - truth[i]), kMaxCornerErrorPx)
            << "corner " << i;
}

TEST(VistrelFindCorners, FindsTheCornersOfTheCurrentFrameInClickOrder)
{
    ASSERT_TRUE(findCorners);
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    testclips::ClipSettings clipSettings = markedPitch(960, 540, 0.6, 105.f, 68.f, 8);
    clipSettings.pan = 0.2;
    clipSettings.frames = 2;
    double corners[8];
    std::fill(std::begin(corners), std::end(corners), -7.0);

    EXPECT_EQ(findCorners(engine, corners), -1) << "no video, no frame";
    EXPECT_TRUE(std::all_of(std::begin(corners), std::end(corners), [](double v) {
        return v == -7.0;
    })) << "a failure writes nothing";
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "find_corners")), 0);
    ASSERT_EQ(findCorners(engine, corners), 0);
    expectNear(corners, cornersOf(testclips::truthFor(clipSettings)));
    EXPECT_EQ(findCorners(engine, nullptr), -1);
    EXPECT_EQ(findCorners(nullptr, corners), -1);
}

TEST(VistrelFindCorners, FindsTheDroneClipCornersWithinThreePixels)
{
    const std::filesystem::path clip = std::filesystem::path(TARVOLA_MEDIA_DIR) / kDroneClip;
    if (!std::filesystem::exists(clip))
        GTEST_SKIP() << "no test media";
    ASSERT_TRUE(findCorners);
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->LoadVideo(clip.string()), 0);
    double corners[8];
    ASSERT_EQ(findCorners(engine, corners), 0);
    expectNear(corners, kDroneCorners);
}

} // namespace
