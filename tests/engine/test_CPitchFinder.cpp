#include "pitch/CPitchFinder.h"

#include "CalibrationTestSupport.h"
#include "PitchViewTable.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <ostream>
#include <string>

using namespace calibrationtest;

namespace {

constexpr double kMaxCornerErrorPx = 3.0;

struct View
{
    const char* name;
    int width, height;
    double tilt, pan, rollDeg;
    int linePlayers;
    float lengthM = 105.f, widthM = 68.f;
};

// Rows print as their names.
void PrintTo(const View& row, std::ostream* out) { *out << row.name; }

class FindCornersOnGeneratedPitch : public testing::TestWithParam<View>
{
};

TEST_P(FindCornersOnGeneratedPitch, FindsEveryCornerWithinThreePixels)
{
    const View view = GetParam();
    testclips::ClipSettings clipSettings
        = markedPitch(view.width, view.height, view.tilt, view.lengthM, view.widthM, 8);
    clipSettings.pan = view.pan;
    clipSettings.rollDeg = view.rollDeg;
    clipSettings.linePlayers = view.linePlayers;
    const auto truth = cornersOf(testclips::truthFor(clipSettings));
    const auto found = CPitchFinder().Find(testclips::renderFrame(clipSettings, 0));
    ASSERT_TRUE(found);
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(cv::norm((*found)[i] - truth[i]), kMaxCornerErrorPx) << "corner " << i;
}

// Camera heights (tilt), cameras off the middle (pan) and turned (roll),
// picture sizes, an odd width, and players standing on the boundary.
INSTANTIATE_TEST_SUITE_P(Views, FindCornersOnGeneratedPitch,
    testing::Values(View { "FromAbove720p", 1280, 720, 0.0, 0.0, 0.0, 0 },
        View { "High1080p", 1920, 1080, 0.3, 0.0, 0.0, 0 },
        View { "Low540p", 960, 540, 1.0, 0.0, 0.0, 0 },
        View { "OffToTheLeft720p", 1280, 720, 0.5, -0.3, 0.0, 0 },
        View { "LowOffToTheRight720p", 1280, 720, 0.7, 0.4, 0.0, 0 },
        View { "TurnedAndOff720p", 1280, 720, 0.4, 0.2, -12.0, 0 },
        View { "OddWidth1001x563", 1001, 563, 0.5, 0.1, 0.0, 0 },
        View { "Small640x360", 640, 360, 0.5, 0.0, 0.0, 0 },
        View { "LengthAcross720p", 1280, 720, 0.3, 0.0, 0.0, 0, 68.f, 105.f },
        View { "PlayersOnTheLines1080p", 1920, 1080, 0.5, 0.2, 5.0, 16 }),
    [](const testing::TestParamInfo<View>& info) { return std::string(info.param.name); });

class FindCornersOnEveryView : public testing::TestWithParam<PitchView>
{
};

// Lines 1 to 12 px wide, any surround, low and high cameras: the corners
// within 3 px; the far half of the same view (no whole boundary) nothing.
TEST_P(FindCornersOnEveryView, FindsTheCornersOrRefusesAHalf)
{
    const testclips::ClipSettings& clipSettings = GetParam().clipSettings;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Mat frame = testclips::renderFrame(clipSettings, 0);
    const auto found = CPitchFinder().Find(frame);
    ASSERT_TRUE(found);
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(cv::norm((*found)[i] - cornersOf(truth)[i]), kMaxCornerErrorPx) << "corner " << i;
    EXPECT_FALSE(CPitchFinder().Find(frame.rowRange(0, truth.centre().y + 8)));
}

INSTANTIATE_TEST_SUITE_P(Views, FindCornersOnEveryView, testing::ValuesIn(pitchViews()),
    [](const testing::TestParamInfo<PitchView>& info) { return info.param.name; });

// Never a guess: part of a pitch, a painted rectangle that is no pitch,
// noise and black give nothing.
TEST(CPitchFinder, RefusesAnythingButAWholePitch)
{
    const testclips::ClipSettings clipSettings = markedPitch(1280, 720, 0.5, 105.f, 68.f, 8);
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Mat pitch = testclips::renderFrame(clipSettings, 0);
    const int middle = truth.centre().y;
    cv::Mat outline(pitch.size(), CV_8UC3, cv::Scalar(62, 158, 74));
    cv::rectangle(outline, cv::Rect(200, 100, 880, 520), cv::Scalar::all(255), 3);
    cv::Mat noise(pitch.size(), CV_8UC3);
    cv::randu(noise, 0, 256);
    const struct
    {
        const char* what;
        cv::Mat frame;
    } cases[] = {
        { "the far half", pitch.rowRange(0, middle + 120) },
        { "the far half up to the halfway line", pitch.rowRange(0, middle + 8) },
        { "the near half", pitch.rowRange(middle - 120, pitch.rows) },
        { "a corner cut off", pitch.colRange(0, truth.corners[3].x - 40) },
        { "the far edge cut off", pitch.rowRange(truth.corners[0].y + 4, pitch.rows) },
        { "a painted rectangle without a halfway line", outline },
        { "noise", noise },
        { "black", cv::Mat::zeros(pitch.size(), CV_8UC3) },
    };
    for (const auto& c : cases)
        EXPECT_FALSE(CPitchFinder().Find(c.frame)) << c.what;
}

TEST(CPitchFinder, RefusesStreetsAndAFilmedHalfPitch)
{
    for (const char* clip :
        { "pedestrians_static_480x360_h264.mp4", "traffic_static_320x240_xvid_25fps.avi",
            "soccer_fixedcam_lefthalf_3072x1728_hevc.mp4" }) {
        const cv::Mat frame = firstMediaFrame(clip);
        if (frame.empty())
            GTEST_SKIP() << "no test media";
        EXPECT_FALSE(CPitchFinder().Find(frame)) << clip;
    }
}

} // namespace
