#include "pitch/CCalibrationFit.h"

#include "CalibrationTestSupport.h"
#include "PitchViewTable.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

using namespace calibrationtest;

namespace {

// The true calibration fits the paint closely; a corner clicked a few pixels
// off or dimensions typed wrong show as a clearly worse fit.
TEST(CCalibrationFit, TellsATrueCalibrationFromAWrongOne)
{
    const testclips::ClipSettings clipSettings = markedPitch(1920, 1080, 0.5, 105.f, 68.f, 8);
    const cv::Mat frame = testclips::renderFrame(clipSettings, 0);
    const auto corners = cornersOf(testclips::truthFor(clipSettings));
    auto moved = corners;
    moved[0] += cv::Point2d(6, 0);
    moved[1] += cv::Point2d(0, 4);

    const auto exact = CCalibrationFit().Measure(frame, corners, 68, 105);
    const auto offCorner = CCalibrationFit().Measure(frame, moved, 68, 105);
    const auto wrongSize = CCalibrationFit().Measure(frame, corners, 64, 100);
    // So wrong that the projected circle misses the paint altogether, while
    // the halfway line still fits.
    const auto farWrongSize = CCalibrationFit().Measure(frame, corners, 27, 36);
    ASSERT_TRUE(exact && offCorner && wrongSize && farWrongSize);
    EXPECT_LT(*exact, 0.3);
    EXPECT_GT(*offCorner, 0.8);
    EXPECT_GT(*wrongSize, 0.8);
    EXPECT_GT(*farWrongSize, 3.0);
    EXPECT_FALSE(
        CCalibrationFit().Measure(cv::Mat::zeros(frame.size(), CV_8UC3), corners, 68, 105));
}

class FitOnEveryView : public testing::TestWithParam<PitchView>
{
};

// Right: under 1.5 px whatever the circle, with its radius known or not,
// and the painted radius measured within 3 %. Any corner 8 px off, in any
// direction, reads over 3 px (or finds no marking), and so do dimensions
// 15 % too large or too small where the circle's radius is known and its
// paint is found; the fit of the corners alone stays right then.
TEST_P(FitOnEveryView, JudgesTheCornersAndTheDimensions)
{
    const PitchView& view = GetParam();
    const testclips::ClipSettings& s = view.clipSettings;
    const cv::Mat frame = testclips::renderFrame(s, 0);
    const auto corners = cornersOf(testclips::truthFor(s));
    const double w = s.fieldWidth, l = s.fieldLength;
    const auto right = CCalibrationFit().Judge(frame, corners, w, l, s.radius);
    const auto unknown = CCalibrationFit().Judge(frame, corners, w, l, 0.0);
    ASSERT_TRUE(right && unknown);
    EXPECT_LT(right->meanPx, 1.5);
    EXPECT_LT(unknown->meanPx, 1.5);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        for (const cv::Point2d move : { cv::Point2d(8, 0), cv::Point2d(0, 8), cv::Point2d(-8, 0),
                 cv::Point2d(0, -8) }) {
            auto offCorner = corners;
            offCorner[i] += move;
            const auto moved = CCalibrationFit().Judge(frame, offCorner, w, l, s.radius);
            EXPECT_TRUE(!moved || moved->meanPx > view.wrongFitPx)
                << "corner " << i << " moved by " << move << ": " << moved->meanPx;
        }
    }
    if (!right->paintedRadiusM)
        return;
    EXPECT_NEAR(*right->paintedRadiusM, s.radius, 0.03 * s.radius);
    for (const double scale : { 1.15, 0.85 }) {
        const auto wrong = CCalibrationFit().Judge(frame, corners, scale * w, scale * l, s.radius);
        ASSERT_TRUE(wrong);
        EXPECT_GT(wrong->meanPx, view.wrongFitPx) << "dimensions times " << scale;
        EXPECT_LT(wrong->cornerPx, 1.5) << "dimensions times " << scale;
    }
}

INSTANTIATE_TEST_SUITE_P(Views, FitOnEveryView, testing::ValuesIn(pitchViews()),
    [](const testing::TestParamInfo<PitchView>& info) { return info.param.name; });

// A small-sided pitch with its 5 m circle, calibrated right but with the
// 9.15 m circle assumed: the corners fit; the radius tells the story.
TEST(CCalibrationFit, TellsAnotherCircleFromWrongCorners)
{
    testclips::ClipSettings s = markedPitch(1280, 720, 0.4, 32.f, 50.f);
    s.radius = 5.f;
    s.penaltyAreas = false;
    const cv::Mat frame = testclips::renderFrame(s, 0);
    const auto fit
        = CCalibrationFit().Judge(frame, cornersOf(testclips::truthFor(s)), 50, 32, 9.15);
    ASSERT_TRUE(fit && fit->paintedRadiusM);
    EXPECT_LT(fit->cornerPx, 1.5);
    EXPECT_GT(fit->meanPx, 3.0);
    EXPECT_NEAR(*fit->paintedRadiusM, 5.0, 0.15);
}

// Above the horizon of the pitch plane the perspective turns round; a frame
// whose top shows sky must still be measured on the pitch side.
TEST(CCalibrationFit, MeasuresAViewWithTheHorizonInThePicture)
{
    const testclips::ClipSettings clipSettings = markedPitch(1280, 720, 1.0, 105.f, 68.f);
    constexpr int kSkyPx = 3000;
    cv::Mat frame;
    cv::copyMakeBorder(testclips::renderFrame(clipSettings, 0), frame, kSkyPx, 0, 0, 0, cv::BORDER_CONSTANT,
        cv::Scalar(230, 200, 150));
    auto corners = cornersOf(testclips::truthFor(clipSettings));
    for (cv::Point2d& c : corners)
        c.y += kSkyPx;
    const auto fit = CCalibrationFit().Measure(frame, corners, 68, 105);
    ASSERT_TRUE(fit);
    EXPECT_LT(*fit, 0.3);
}

TEST(CCalibrationFit, FitsTheDroneClipWithItsMeasuredCorners)
{
    const cv::Mat frame = firstMediaFrame(kDroneClip);
    if (frame.empty())
        GTEST_SKIP() << "no test media";
    const auto fit = CCalibrationFit().Measure(frame, kDroneCorners, kDroneWidthM, kDroneLengthM);
    ASSERT_TRUE(fit);
    EXPECT_LT(*fit, 1.5);
}

} // namespace
