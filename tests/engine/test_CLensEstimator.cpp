#include "pitch/CLensEstimator.h"

#include "pitch/CPitchGeometry.h"

#include "ClipGenerator.h"
#include "HalfPitchLandmarks.h"

#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

namespace {

testclips::ClipSettings lensClip(const testclips::Lens& lens)
{
    testclips::ClipSettings clip;
    clip.width = 1280;
    clip.height = 720;
    clip.players = 0;
    clip.penaltyAreas = true;
    clip.lineWidth = 0.15f;
    clip.tilt = 0.4;
    clip.lens = lens;
    return clip;
}

// The painted lines of the generated pitch: outline, halfway line, the
// penalty and goal areas' long sides, and the centre circle, as pitch points.
std::vector<cv::Point2d> paintedPitchPoints(const testclips::ClipSettings& clip)
{
    const double w = clip.fieldWidth, l = clip.fieldLength;
    std::vector<cv::Point2d> points;
    const auto line = [&](cv::Point2d a, cv::Point2d b) {
        for (int i = 0; i <= 40; ++i)
            points.push_back(a + (b - a) * (i / 40.0));
    };
    line({ 0, 0 }, { w, 0 });
    line({ 0, l }, { w, l });
    line({ 0, 0 }, { 0, l });
    line({ w, 0 }, { w, l });
    line({ 0, l / 2 }, { w, l / 2 });
    for (int i = 0; i < 64; ++i) {
        const double a = i * CV_PI / 32;
        points.push_back({ w / 2 + clip.radius * std::cos(a), l / 2 + clip.radius * std::sin(a) });
    }
    return points;
}

// RMS distance in pixels between the paint and the pitch lines projected
// through `lens` and a calibration from the true corners.
double projectionRms(const testclips::ClipSettings& clip, const CLensModel& lens)
{
    const testclips::ClipTruth truth = testclips::truthFor(clip);
    const cv::Size size(clip.width, clip.height);
    const cv::Point2d pitchCorners[4] = { { 0, clip.fieldLength },
        { clip.fieldWidth, clip.fieldLength }, { 0, 0 }, { clip.fieldWidth, 0 } };
    CPitchGeometry::Corners ideal;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d recorded = clip.lens.distort(
            truth.toPicture(pitchCorners[i].x, pitchCorners[i].y), size);
        ideal[i] = lens.undistort(recorded);
    }
    const auto geometry
        = CPitchGeometry::fromCorners(ideal, clip.fieldWidth, clip.fieldLength, lens);
    EXPECT_TRUE(geometry);
    double sum = 0.0;
    const std::vector<cv::Point2d> points = paintedPitchPoints(clip);
    for (const cv::Point2d& p : points) {
        const cv::Point2d paint = clip.lens.distort(truth.toPicture(p.x, p.y), size);
        const auto drawn = geometry->toPicture(p);
        EXPECT_TRUE(drawn);
        sum += drawn ? std::pow(cv::norm(*drawn - paint), 2) : 1e6;
    }
    return std::sqrt(sum / points.size());
}

} // namespace

TEST(CLensEstimator, StraightensGeneratedClipsThroughKnownLenses)
{
    for (const testclips::Lens& truthLens :
        { testclips::Lens { 0.1, 0.0, 0.0, 0.0 }, testclips::Lens { 0.3, 0.05, 0.1, -0.1 },
            testclips::Lens { 0.2, 0.02, -0.08, 0.05 } }) {
        const testclips::ClipSettings clip = lensClip(truthLens);
        const cv::Mat frame = testclips::renderFrame(clip, 0);
        const auto lens = CLensEstimator().Estimate(frame);
        ASSERT_TRUE(lens) << "k1 " << truthLens.k1;
        const double pinholeRms = projectionRms(clip, CLensModel::pinhole(frame.size()));
        const double rms = projectionRms(clip, *lens);
        EXPECT_LT(rms, 0.7) << "k1 " << truthLens.k1 << " estimated " << lens->k1() << " "
                            << lens->k2() << " " << lens->centre() << "; pinhole " << pinholeRms;
    }
}

TEST(CLensEstimator, FindsNoLensInAPinholePicture)
{
    const cv::Mat frame = testclips::renderFrame(lensClip({}), 0);
    const auto lens = CLensEstimator().Estimate(frame);
    if (lens) {
        EXPECT_LE(std::abs(lens->k1()), 0.01);
        EXPECT_LE(std::abs(lens->k2()), 0.01);
    }
    EXPECT_FALSE(CLensEstimator().Estimate(cv::Mat(720, 1280, CV_8UC3, cv::Scalar(40, 140, 40))))
        << "no lines, no lens";
}

namespace {

// Frame 0 of a clip of the media folder; empty without the folder.
cv::Mat mediaFrame(const std::string& file)
{
    const std::string path = std::string(TARVOLA_MEDIA_DIR) + "/" + file;
    cv::VideoCapture capture(path);
    cv::Mat frame;
    if (capture.isOpened())
        capture.read(frame);
    return frame;
}

} // namespace

TEST(CLensEstimator, StraightensTheLeftHalfPitchClip)
{
    const halfpitch::Clip& clip = halfpitch::leftHalf();
    const cv::Mat frame = mediaFrame(clip.file);
    if (frame.empty())
        GTEST_SKIP() << "no media folder";
    const auto lens = CLensEstimator().Estimate(frame);
    ASSERT_TRUE(lens);
    EXPECT_GT(lens->k1(), 0.05) << "barrel distortion";
    const auto figures = halfpitch::measure(clip, frame, *lens);
    ASSERT_TRUE(figures);
    for (std::size_t i = 0; i < clip.lines.size(); ++i) {
        EXPECT_GT(figures->paint[i].size(), 100u) << "line " << i;
        EXPECT_LT(figures->lineRmsPx[i], 2.5) << "line " << i;
    }
    EXPECT_LT(halfpitch::median(figures->heldOutPx), 8.0);
    // Without the lens the near touchline bows far off a straight line, and
    // the landmarks miss by much more.
    const CLensModel pinhole = CLensModel::pinhole(frame.size());
    EXPECT_GT(CLensEstimator::Straightness({ figures->paint[0] }, pinhole), 10.0);
    const auto straight = halfpitch::measure(clip, frame, pinhole);
    ASSERT_TRUE(straight);
    EXPECT_GT(halfpitch::median(straight->heldOutPx), 12.0);
}

TEST(CLensEstimator, StraightensTheRightHalfPitchClip)
{
    const halfpitch::Clip& clip = halfpitch::rightHalf();
    const cv::Mat frame = mediaFrame(clip.file);
    if (frame.empty())
        GTEST_SKIP() << "no media folder";
    const auto lens = CLensEstimator().Estimate(frame);
    ASSERT_TRUE(lens);
    const auto figures = halfpitch::measure(clip, frame, *lens);
    ASSERT_TRUE(figures);
    for (std::size_t i = 0; i < clip.lines.size(); ++i)
        EXPECT_LT(figures->lineRmsPx[i], 2.5) << "line " << i;
    EXPECT_LT(halfpitch::median(figures->heldOutPx), 8.0);
    const CLensModel pinhole = CLensModel::pinhole(frame.size());
    EXPECT_GT(CLensEstimator::Straightness({ figures->paint[0] }, pinhole), 10.0);
    const auto straight = halfpitch::measure(clip, frame, pinhole);
    ASSERT_TRUE(straight);
    EXPECT_GT(halfpitch::median(straight->heldOutPx), 12.0);
}
