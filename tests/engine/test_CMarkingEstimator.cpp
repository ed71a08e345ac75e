#include "pitch/CMarkingEstimator.h"

#include "CalibrationTestSupport.h"
#include "PitchViewTable.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <ostream>
#include <string>

using namespace calibrationtest;

namespace {

struct Pitch
{
    const char* name;
    int width, height;
    double tilt;
    float lengthM, widthM;
    float radiusM = 9.15f; // 0: no centre circle, the boxes alone
};

// Rows print as their names.
void PrintTo(const Pitch& row, std::ostream* out) { *out << row.name; }

class EstimateOnGeneratedPitch : public testing::TestWithParam<Pitch>
{
};

// With the true corners, the markings give both dimensions within 3 %, from
// above and at a slant, also with players on the pitch, and from the penalty
// and goal areas alone where no centre circle is painted.
TEST_P(EstimateOnGeneratedPitch, IsWithinThreePercent)
{
    const Pitch p = GetParam();
    testclips::ClipSettings clipSettings = markedPitch(p.width, p.height, p.tilt, p.lengthM, p.widthM, 8);
    clipSettings.radius = p.radiusM;
    const cv::Mat frame = testclips::renderFrame(clipSettings, 0);
    const auto estimate = CMarkingEstimator().Estimate(frame, cornersOf(testclips::truthFor(clipSettings)));
    ASSERT_TRUE(estimate);
    EXPECT_NEAR(estimate->length, p.lengthM, 0.03 * p.lengthM);
    EXPECT_NEAR(estimate->width, p.widthM, 0.03 * p.widthM);
}

INSTANTIATE_TEST_SUITE_P(Views, EstimateOnGeneratedPitch,
    testing::Values(Pitch { "FromAbove", 1280, 720, 0.0, 105.f, 68.f },
        Pitch { "Oblique", 1920, 1080, 0.5, 105.f, 68.f },
        Pitch { "FlatSmallPitch", 960, 540, 1.0, 90.f, 50.f },
        Pitch { "LengthAlongTheEdge", 1280, 720, 0.6, 64.f, 100.f },
        Pitch { "BoxesWithoutCircle", 1920, 1080, 0.5, 110.f, 70.f, 0.f }),
    [](const testing::TestParamInfo<Pitch>& info) { return std::string(info.param.name); });

class EstimateOnEveryView : public testing::TestWithParam<PitchView>
{
};

// Thin or thick lines, with or without penalty areas, small-sided pitches
// with their own circle: within 3 % (see PitchView for the exception) with
// the true corners and the circle's radius.
TEST_P(EstimateOnEveryView, IsWithinThreePercent)
{
    const testclips::ClipSettings& s = GetParam().clipSettings;
    const cv::Mat frame = testclips::renderFrame(s, 0);
    const auto estimate
        = CMarkingEstimator().Estimate(frame, cornersOf(testclips::truthFor(s)), s.radius);
    ASSERT_TRUE(estimate);
    const double share = GetParam().estimateShare;
    EXPECT_NEAR(estimate->length, s.fieldLength, share * s.fieldLength);
    EXPECT_NEAR(estimate->width, s.fieldWidth, share * s.fieldWidth);
}

INSTANTIATE_TEST_SUITE_P(Views, EstimateOnEveryView, testing::ValuesIn(pitchViews()),
    [](const testing::TestParamInfo<PitchView>& info) { return info.param.name; });

TEST(CMarkingEstimator, FindsNothingWithoutMarkings)
{
    testclips::ClipSettings clipSettings = markedPitch(1280, 720, 0.5);
    const auto corners = cornersOf(testclips::truthFor(clipSettings));
    clipSettings.radius = 0.f;
    clipSettings.penaltyAreas = false;
    EXPECT_FALSE(CMarkingEstimator().Estimate(testclips::renderFrame(clipSettings, 0), corners));
    EXPECT_FALSE(CMarkingEstimator().Estimate(cv::Mat::zeros(720, 1280, CV_8UC3), corners));
    const cv::Mat street = firstMediaFrame("pedestrians_static_480x360_h264.mp4");
    if (!street.empty()) {
        const std::array<cv::Point2d, 4> lawn { cv::Point2d(100, 100), cv::Point2d(400, 100),
            cv::Point2d(20, 340), cv::Point2d(460, 340) };
        EXPECT_FALSE(CMarkingEstimator().Estimate(street, lawn));
    }
}

TEST(CMarkingEstimator, MatchesTheDroneClipPitch)
{
    const cv::Mat frame = firstMediaFrame(kDroneClip);
    if (frame.empty())
        GTEST_SKIP() << "no test media";
    // As filmed, and with the centre circle covered: the penalty and goal
    // areas at both ends then tell the size alone.
    cv::Mat covered = frame.clone();
    cv::circle(covered, cv::Point(631, 354), 100, cv::Scalar(60, 140, 60), cv::FILLED);
    for (const cv::Mat& picture : { frame, covered }) {
        const auto estimate = CMarkingEstimator().Estimate(picture, kDroneCorners);
        ASSERT_TRUE(estimate);
        EXPECT_NEAR(estimate->length, kDroneLengthM, 0.03 * kDroneLengthM);
        EXPECT_NEAR(estimate->width, kDroneWidthM, 0.03 * kDroneWidthM);
    }
}

} // namespace
