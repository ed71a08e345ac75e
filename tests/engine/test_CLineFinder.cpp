#include "pitch/CLineFinder.h"

#include "CalibrationTestSupport.h"
#include "PitchViewTable.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace calibrationtest;

namespace {

constexpr double kSnapRadiusPx = 8.0;
// Clicks up to 5 px from the crossing.
const std::vector<cv::Point2d> kClickOffsets { { 5, 0 }, { 0, -5 }, { -3, 4 }, { 3.5, -3.5 } };

struct View
{
    const char* name;
    int width, height;
    double tilt;
};

// Rows print as their names.
void PrintTo(const View& row, std::ostream* out) { *out << row.name; }

class SnapOnGeneratedPitch : public testing::TestWithParam<View>
{
};

// The four corners and the two ends of the halfway line, each approached
// from several sides, land on the crossing of the painted line centres.
TEST_P(SnapOnGeneratedPitch, LandsWithinHalfAPixelOfTheCrossing)
{
    const View view = GetParam();
    const testclips::ClipSettings clipSettings = markedPitch(view.width, view.height, view.tilt);
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Mat frame = testclips::renderFrame(clipSettings, 0);
    std::vector<cv::Point2d> crossings(truth.corners.begin(), truth.corners.end());
    crossings.push_back(truth.toPicture(0, clipSettings.fieldLength / 2.0));
    crossings.push_back(truth.toPicture(clipSettings.fieldWidth, clipSettings.fieldLength / 2.0));
    for (const cv::Point2d& crossing : crossings) {
        for (const cv::Point2d& offset : kClickOffsets) {
            const auto snapped = CLineFinder().SnapToLines(frame, crossing + offset, kSnapRadiusPx);
            ASSERT_TRUE(snapped) << "at " << crossing << " from " << offset;
            EXPECT_LT(cv::norm(*snapped - crossing), 0.5)
                << "at " << crossing << " from " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, SnapOnGeneratedPitch,
    testing::Values(View { "FromAbove720p", 1280, 720, 0.0 },
        View { "Oblique1080p", 1920, 1080, 0.5 }, View { "Flat540p", 960, 540, 1.0 }),
    [](const testing::TestParamInfo<View>& info) { return std::string(info.param.name); });

class SnapOnEveryView : public testing::TestWithParam<PitchView>
{
};

// Whatever the line width, the surround and the camera: every outer corner
// and both ends of the halfway line, clicked up to 5 px off, land within
// 1 px of the crossing; open grass
// inside the pitch and the surround outside it give nothing.
TEST_P(SnapOnEveryView, LandsOnEveryCrossingAndNowhereElse)
{
    const testclips::ClipSettings& clipSettings = GetParam().clipSettings;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Mat frame = testclips::renderFrame(clipSettings, 0);
    const double w = clipSettings.fieldWidth, l = clipSettings.fieldLength;
    const cv::Point2d crossings[] = { truth.toPicture(0, l), truth.toPicture(w, l),
        truth.toPicture(0, 0), truth.toPicture(w, 0), truth.toPicture(0, l / 2),
        truth.toPicture(w, l / 2) };
    for (const cv::Point2d& crossing : crossings) {
        for (const cv::Point2d& offset : kClickOffsets) {
            const auto snapped = CLineFinder().SnapToLines(frame, crossing + offset, 12.0);
            ASSERT_TRUE(snapped) << "at " << crossing << " from " << offset;
            EXPECT_LT(cv::norm(*snapped - crossing), GetParam().snapTolerancePx)
                << "at " << crossing << " from " << offset;
        }
    }
    const cv::Point2d nowhere[] = { truth.toPicture(w * 0.3, l * 0.3),
        truth.toPicture(w * 0.7, l * 0.8), truth.toPicture(-0.1 * w, 0.5 * l),
        truth.toPicture(0.5 * w, -0.05 * l) };
    for (const cv::Point2d& at : nowhere)
        EXPECT_FALSE(CLineFinder().SnapToLines(frame, at, 12.0)) << "at " << at;
}

INSTANTIATE_TEST_SUITE_P(Views, SnapOnEveryView, testing::ValuesIn(pitchViews()),
    [](const testing::TestParamInfo<PitchView>& info) { return info.param.name; });

// Never a guess: a point on a single line, on open grass, a black frame, a
// pitch without paint or a point far outside the frame give nothing.
TEST(CLineFinder, RefusesWhereNoTwoLinesCross)
{
    const testclips::ClipSettings clipSettings = markedPitch(1280, 720, 0.5);
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Mat pitch = testclips::renderFrame(clipSettings, 0);
    cv::Mat grassOnly = pitch.clone();
    grassOnly.setTo(cv::Scalar(62, 158, 74));
    const cv::Mat black = cv::Mat::zeros(pitch.size(), CV_8UC3);
    const struct
    {
        const char* what;
        const cv::Mat& frame;
        cv::Point2d at;
    } cases[] = {
        { "on the bottom edge only", pitch, truth.toPicture(clipSettings.fieldWidth * 0.3, 0) },
        { "on open grass", pitch, truth.toPicture(clipSettings.fieldWidth * 0.3, clipSettings.fieldLength * 0.3) },
        { "on a black frame", black, truth.toPicture(0, 0) },
        { "on unpainted grass", grassOnly, truth.toPicture(0, 0) },
    };
    for (const auto& c : cases)
        EXPECT_FALSE(CLineFinder().SnapToLines(c.frame, c.at, kSnapRadiusPx)) << c.what;
    EXPECT_FALSE(CLineFinder().SnapToLines(pitch, cv::Point2d(1e12, -1e12), 1e12)) << "far away";
}

// Streets have white lines and kerbs, but no paint with grass on both sides.
TEST(CLineFinder, NeverSnapsOnStreetFootage)
{
    for (const char* clip :
        { "traffic_static_320x240_xvid_25fps.avi", "pedestrians_static_480x360_h264.mp4" }) {
        const cv::Mat frame = firstMediaFrame(clip);
        if (frame.empty())
            GTEST_SKIP() << "no test media";
        for (int y = 10; y < frame.rows; y += 20) {
            for (int x = 10; x < frame.cols; x += 20)
                EXPECT_FALSE(CLineFinder().SnapToLines(frame, cv::Point2d(x, y), 10.0))
                    << clip << " at " << x << ", " << y;
        }
    }
}

TEST(CLineFinder, SnapsTheDroneClipCornersToTheMeasuredOnes)
{
    const cv::Mat frame = firstMediaFrame(kDroneClip);
    if (frame.empty())
        GTEST_SKIP() << "no test media";
    for (const cv::Point2d& corner : kDroneCorners) {
        for (const cv::Point2d& offset : kClickOffsets) {
            const auto snapped = CLineFinder().SnapToLines(frame, corner + offset, kSnapRadiusPx);
            ASSERT_TRUE(snapped) << "at " << corner << " from " << offset;
            EXPECT_LT(cv::norm(*snapped - corner), 2.0) << "at " << corner << " from " << offset;
        }
    }
}

} // namespace
