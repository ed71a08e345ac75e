#include "CalibrationTestSupport.h"
#include "PlaybackTestSupport.h"
#include "VistrelCalibration.h"
#include "VistrelMeasure.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

// The calibration assist as a host reaches it: the plain C functions looked
// up by name in libVistrel.so, on the frame a LoadVideo made current.

using namespace calibrationtest;
using namespace playbacktest;

namespace {

template <typename Function> Function lookUp(const char* name)
{
    void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
}

// A small-sided pitch with a 5 m circle, calibrated right: with the 9.15 m
// circle assumed the fit is poor but the corners' fit is good and the
// painted radius says why; with 5 m or an unknown radius all is well.
TEST(VistrelCalibrationAssist, JudgesTheCornersApartFromTheCircle)
{
    const auto judge = lookUp<decltype(&VistrelJudgeCalibration)>("VistrelJudgeCalibration");
    ASSERT_TRUE(judge);
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    testclips::ClipSettings clipSettings = markedPitch(960, 540, 0.4, 32.f, 50.f);
    clipSettings.radius = 5.f;
    clipSettings.penaltyAreas = false;
    clipSettings.frames = 2;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "calibration_judge")), 0);
    double meanPx = -1, cornerPx = -1, radiusM = -1;
    EXPECT_EQ(judge(engine, 9.15, &meanPx, &cornerPx, &radiusM), -1) << "not calibrated";
    engine->setFieldWidth(clipSettings.fieldWidth);
    engine->setFieldLength(clipSettings.fieldLength);
    engine->clearFieldPoints();
    for (int i = 0; i < 4; ++i)
        engine->addFieldPoint(i / 2, truth.corners[i].x, truth.corners[i].y);

    ASSERT_EQ(judge(engine, 9.15, &meanPx, &cornerPx, &radiusM), 0);
    EXPECT_GT(meanPx, 3.0);
    EXPECT_LT(cornerPx, 1.5);
    EXPECT_NEAR(radiusM, 5.0, 0.15);
    for (const double radius : { 5.0, 0.0 }) {
        ASSERT_EQ(judge(engine, radius, &meanPx, nullptr, nullptr), 0) << radius;
        EXPECT_LT(meanPx, 1.5) << radius;
    }
    EXPECT_EQ(judge(engine, -1.0, &meanPx, &cornerPx, &radiusM), -1);
    EXPECT_EQ(judge(nullptr, 5.0, &meanPx, &cornerPx, &radiusM), -1);
}

TEST(VistrelCalibrationAssist, SnapsEstimatesAndFitsOnTheCurrentFrame)
{
    const auto snap = lookUp<decltype(&VistrelSnapToLines)>("VistrelSnapToLines");
    const auto estimate = lookUp<decltype(&VistrelEstimateDimensions)>("VistrelEstimateDimensions");
    const auto fit = lookUp<decltype(&VistrelCalibrationFit)>("VistrelCalibrationFit");
    ASSERT_TRUE(snap && estimate && fit);
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    testclips::ClipSettings clipSettings = markedPitch(960, 540, 0.5);
    clipSettings.frames = 2;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Point corner = truth.corners[2];
    double x = -1, y = -1, length = -1, width = -1, meanPx = -1;

    EXPECT_EQ(snap(engine, corner.x + 4, corner.y, 8, &x, &y), -1) << "no video, no frame";
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "calibration_assist")), 0);
    ASSERT_EQ(snap(engine, corner.x + 4, corner.y - 2, 8, &x, &y), 0);
    EXPECT_LT(cv::norm(cv::Point2d(x, y) - cv::Point2d(corner)), 0.5);
    EXPECT_EQ(estimate(engine, &length, &width), -1) << "not calibrated";
    EXPECT_EQ(fit(engine, &meanPx), -1) << "not calibrated";

    engine->setFieldWidth(clipSettings.fieldWidth);
    engine->setFieldLength(clipSettings.fieldLength);
    engine->clearFieldPoints();
    for (int i = 0; i < 4; ++i)
        engine->addFieldPoint(i / 2, truth.corners[i].x, truth.corners[i].y);
    ASSERT_EQ(estimate(engine, &length, &width), 0);
    EXPECT_NEAR(length, clipSettings.fieldLength, 0.03 * clipSettings.fieldLength);
    EXPECT_NEAR(width, clipSettings.fieldWidth, 0.03 * clipSettings.fieldWidth);
    ASSERT_EQ(fit(engine, &meanPx), 0);
    EXPECT_LT(meanPx, 0.5);

    EXPECT_EQ(snap(engine, corner.x, corner.y, 8, nullptr, &y), -1);
    EXPECT_EQ(estimate(engine, &length, nullptr), -1);
    EXPECT_EQ(fit(nullptr, &meanPx), -1);
}

// The playback loop replaces the current frame on another thread; the
// functions wait for the lock between its passes and see a whole frame.
TEST(VistrelCalibrationAssist, AnswersWhilePlaying)
{
    const auto snap = lookUp<decltype(&VistrelSnapToLines)>("VistrelSnapToLines");
    const auto fit = lookUp<decltype(&VistrelCalibrationFit)>("VistrelCalibrationFit");
    ASSERT_TRUE(snap && fit);
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    testclips::ClipSettings clipSettings = markedPitch(640, 360, 0.5);
    clipSettings.frames = 100;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "calibration_playing")), 0);
    engine->setFieldWidth(clipSettings.fieldWidth);
    engine->setFieldLength(clipSettings.fieldLength);
    engine->clearFieldPoints();
    for (int i = 0; i < 4; ++i)
        engine->addFieldPoint(i / 2, truth.corners[i].x, truth.corners[i].y);

    std::future<int> play = playAsync(*engine);
    ASSERT_TRUE(waitUntil([&] { return engine->getPosition() > 0; }));
    for (int i = 0; i < 5; ++i) {
        double x = 0, y = 0, meanPx = 0;
        const cv::Point corner = truth.corners[i % 4];
        ASSERT_EQ(snap(engine, corner.x + 3, corner.y + 3, 8, &x, &y), 0);
        EXPECT_LT(cv::norm(cv::Point2d(x, y) - cv::Point2d(corner)), 0.5);
        ASSERT_EQ(fit(engine, &meanPx), 0);
        EXPECT_LT(meanPx, 0.5);
    }
    engine->StopPlayback();
    ASSERT_TRUE(finishes(play));
}

} // namespace
