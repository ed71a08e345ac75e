#include "CMarkingEstimator.h"

#include "CalibrationTestSupport.h"

#include <gtest/gtest.h>

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
};

// Rows print as their names.
void PrintTo(const Pitch& row, std::ostream* out) { *out << row.name; }

class EstimateOnGeneratedPitch : public testing::TestWithParam<Pitch>
{
};

// With the true corners, the centre circle gives both dimensions within 3 %,
// from above and at a slant, also with players on the pitch.
TEST_P(EstimateOnGeneratedPitch, IsWithinThreePercent)
{
    const Pitch p = GetParam();
    const testclips::ClipSpec spec = markedPitch(p.width, p.height, p.tilt, p.lengthM, p.widthM, 8);
    const cv::Mat frame = testclips::renderFrame(spec, 0);
    const auto estimate = CMarkingEstimator().Estimate(frame, cornersOf(testclips::truthFor(spec)));
    ASSERT_TRUE(estimate);
    EXPECT_NEAR(estimate->length, p.lengthM, 0.03 * p.lengthM);
    EXPECT_NEAR(estimate->width, p.widthM, 0.03 * p.widthM);
}

INSTANTIATE_TEST_SUITE_P(Views, EstimateOnGeneratedPitch,
    testing::Values(Pitch { "FromAbove", 1280, 720, 0.0, 105.f, 68.f },
        Pitch { "Oblique", 1920, 1080, 0.5, 105.f, 68.f },
        Pitch { "FlatSmallPitch", 960, 540, 1.0, 90.f, 50.f },
        Pitch { "LengthAlongTheEdge", 1280, 720, 0.6, 64.f, 100.f }),
    [](const testing::TestParamInfo<Pitch>& info) { return std::string(info.param.name); });

TEST(CMarkingEstimator, FindsNothingWithoutACentreCircle)
{
    testclips::ClipSpec spec = markedPitch(1280, 720, 0.5);
    const auto corners = cornersOf(testclips::truthFor(spec));
    spec.radius = 0.f;
    EXPECT_FALSE(CMarkingEstimator().Estimate(testclips::renderFrame(spec, 0), corners));
    EXPECT_FALSE(CMarkingEstimator().Estimate(cv::Mat::zeros(720, 1280, CV_8UC3), corners));
}

TEST(CMarkingEstimator, MatchesTheDroneClipPitch)
{
    const cv::Mat frame = firstMediaFrame(kDroneClip);
    if (frame.empty())
        GTEST_SKIP() << "no test media";
    const auto estimate = CMarkingEstimator().Estimate(frame, kDroneCorners);
    ASSERT_TRUE(estimate);
    EXPECT_NEAR(estimate->length, kDroneLengthM, 0.03 * kDroneLengthM);
    EXPECT_NEAR(estimate->width, kDroneWidthM, 0.03 * kDroneWidthM);
}

} // namespace
