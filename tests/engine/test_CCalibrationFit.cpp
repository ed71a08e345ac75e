#include "pitch/CCalibrationFit.h"

#include "CalibrationTestSupport.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

using namespace calibrationtest;

namespace {

// The true calibration fits the paint closely; a corner clicked a few pixels
// off or dimensions typed wrong show as a clearly worse fit.
TEST(CCalibrationFit, TellsATrueCalibrationFromAWrongOne)
{
    const testclips::ClipSpec clipSettings = markedPitch(1920, 1080, 0.5, 105.f, 68.f, 8);
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

// Above the horizon of the pitch plane the perspective turns round; a frame
// whose top shows sky must still be measured on the pitch side.
TEST(CCalibrationFit, MeasuresAViewWithTheHorizonInThePicture)
{
    const testclips::ClipSpec clipSettings = markedPitch(1280, 720, 1.0, 105.f, 68.f);
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
