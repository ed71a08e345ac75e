// The camera-model functions of VistrelCamera.h through libVistrel.so, beside
// the 85 slots and the measuring functions, as a host uses them.

#include "ForeignEngine.h"
#include "PlaybackTestSupport.h"
#include "VistrelCalibration.h"
#include "VistrelCamera.h"
#include "VistrelMeasure.h"

#include <array>
#include <limits>

using namespace playbacktest;

namespace {

#define LOOK_UP(name) librarySymbol<std::remove_pointer_t<decltype(&name)>>(#name)
const auto calibrateFromPoints = LOOK_UP(VistrelCalibrateFromPoints);
const auto setLens = LOOK_UP(VistrelSetLensDistortion);
const auto getLens = LOOK_UP(VistrelGetLensDistortion);
const auto estimateLens = LOOK_UP(VistrelEstimateLensDistortion);
const auto straightness = LOOK_UP(VistrelGetLensStraightness);
const auto pictureToPitch = LOOK_UP(VistrelPictureToPitch);
const auto pitchToPicture = LOOK_UP(VistrelPitchToPicture);
const auto calibrationFit = LOOK_UP(VistrelCalibrationFit);
#undef LOOK_UP

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

testclips::ClipSettings bentClip()
{
    testclips::ClipSettings clip;
    clip.width = 640;
    clip.height = 360;
    clip.frames = 2;
    clip.players = 0;
    clip.lineWidth = 0.3f;
    clip.tilt = 0.4;
    clip.lens = { 0.25, 0.03, 0.06, -0.05 };
    return clip;
}

const cv::Size kBentSize(640, 360);

struct Lens
{
    double k1 = kNaN, k2 = kNaN, cx = kNaN, cy = kNaN;
};

Lens lensOf(VistrelInterface* engine)
{
    Lens lens;
    EXPECT_EQ(getLens(engine, &lens.k1, &lens.k2, &lens.cx, &lens.cy), 0);
    return lens;
}

// The recorded picture point of a pitch point of the bent clip.
cv::Point2d paintAt(const testclips::ClipSettings& clip, cv::Point2d pitch)
{
    return clip.lens.distort(
        testclips::truthFor(clip).toPicture(pitch.x, pitch.y), cv::Size(clip.width, clip.height));
}

// The bent clip loaded, its lens set, calibrated from its four true corners.
class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(calibrateFromPoints && setLens && getLens && estimateLens);
        ASSERT_EQ(engine->LoadVideo(losslessClip(clip, "bent")), 0);
        engine->setFieldWidth(clip.fieldWidth);
        engine->setFieldLength(clip.fieldLength);
        const cv::Point2d c = clip.lens.centre(kBentSize);
        ASSERT_EQ(setLens(engine, clip.lens.k1, clip.lens.k2, c.x, c.y), 0);
        std::vector<double> picture;
        for (const cv::Point2d& p : pitchCorners) {
            const cv::Point2d d = paintAt(clip, p);
            picture.insert(picture.end(), { d.x, d.y });
        }
        std::vector<double> pitch;
        for (const cv::Point2d& p : pitchCorners)
            pitch.insert(pitch.end(), { p.x, p.y });
        double rms = -1.0;
        ASSERT_EQ(calibrateFromPoints(engine, 4, picture.data(), pitch.data(), &rms), 0);
        EXPECT_LT(rms, 1e-6);
    }

    const testclips::ClipSettings clip = bentClip();
    const std::array<cv::Point2d, 4> pitchCorners { cv::Point2d(0, 68), cv::Point2d(105, 68),
        cv::Point2d(0, 0), cv::Point2d(105, 0) };
    VistrelInterface* const engine = newEngine();
};

} // namespace

TEST_F(CameraTest, MapsRecordedPointsThroughTheLens)
{
    for (const cv::Point2d pitch :
        { cv::Point2d(0, 0), cv::Point2d(52.5, 34), cv::Point2d(100, 60), cv::Point2d(10, 5) }) {
        const cv::Point2d paint = paintAt(clip, pitch);
        double x = kNaN, y = kNaN, px = kNaN, py = kNaN;
        ASSERT_EQ(pictureToPitch(engine, paint.x, paint.y, &x, &y), 0);
        EXPECT_LT(cv::norm(cv::Point2d(x, y) - pitch), 1e-6) << pitch;
        ASSERT_EQ(pitchToPicture(engine, pitch.x, pitch.y, &px, &py), 0);
        EXPECT_LT(cv::norm(cv::Point2d(px, py) - paint), 1e-6) << pitch;
    }
}

TEST_F(CameraTest, DrawsTheOverlayOnTheBentPaint)
{
    const cv::Point2d centre = paintAt(clip, { 52.5, 34 });
    engine->setGameCentre(cvRound(centre.x), cvRound(centre.y));
    // Dense samples of the painted outline, halfway line and circle.
    std::vector<cv::Point2d> paint;
    const auto along = [&](cv::Point2d a, cv::Point2d b) {
        for (int i = 0; i <= 400; ++i)
            paint.push_back(paintAt(clip, a + (b - a) * (i / 400.0)));
    };
    along({ 0, 0 }, { 105, 0 });
    along({ 0, 68 }, { 105, 68 });
    along({ 0, 0 }, { 0, 68 });
    along({ 105, 0 }, { 105, 68 });
    along({ 0, 34 }, { 105, 34 });
    for (int i = 0; i < 720; ++i) {
        const double a = i * CV_PI / 360;
        paint.push_back(paintAt(clip, { 52.5 + 9.15 * std::cos(a), 34 + 9.15 * std::sin(a) }));
    }
    const auto nearestPaint = [&](cv::Point2d p) {
        double best = 1e9;
        for (const cv::Point2d& q : paint)
            best = std::min(best, cv::norm(p - q));
        return best;
    };
    std::vector<FieldLine> lines = engine->getCentreLines();
    const std::vector<FieldLine> field = engine->getFieldLines();
    // The outline comes first among the field lines (the grid is not painted).
    const std::size_t outlinePieces = 4 * 48;
    ASSERT_GE(field.size(), outlinePieces) << "the outline is drawn as curves";
    lines.insert(lines.end(), field.begin(), field.begin() + outlinePieces);
    ASSERT_GT(lines.size(), outlinePieces + 100);
    double worst = 0.0;
    for (const FieldLine& s : lines) {
        for (const cv::Point2d end : { cv::Point2d(s.x1, s.y1), cv::Point2d(s.x2, s.y2) })
            worst = std::max(worst, nearestPaint(end));
    }
    // Whole pixels, truncated: within a pixel and a half of the paint.
    EXPECT_LT(worst, 1.5);
    // The straight line between the ends of the bottom edge misses the paint
    // by far; the curve does not.
    const cv::Point2d a = paintAt(clip, { 0, 0 }), b = paintAt(clip, { 105, 0 });
    EXPECT_GT(cv::norm(0.5 * (a + b) - paintAt(clip, { 52.5, 0 })), 5.0);
}

TEST_F(CameraTest, PictureAidsLookThroughTheLens)
{
    ASSERT_TRUE(calibrationFit);
    const cv::Point2d centre = paintAt(clip, { 52.5, 34 });
    engine->setGameCentre(cvRound(centre.x), cvRound(centre.y));
    double meanPx = -1.0;
    ASSERT_EQ(calibrationFit(engine, &meanPx), 0);
    EXPECT_LT(meanPx, 1.0) << "the calibration lies on the bent paint";
    // Without the lens the same corners miss the bent paint.
    ASSERT_EQ(setLens(engine, 0, 0, 320, 180), 0);
    double pinholePx = -1.0;
    if (calibrationFit(engine, &pinholePx) == 0) {
        EXPECT_GT(pinholePx, 2.0 * meanPx);
    }
}

TEST_F(CameraTest, ChangingTheLensRefitsThroughTheSamePoints)
{
    double x = kNaN, y = kNaN;
    const cv::Point2d corner = paintAt(clip, { 105, 0 });
    ASSERT_EQ(setLens(engine, 0.0, 0.0, 100.0, 100.0), 0);
    ASSERT_EQ(pictureToPitch(engine, corner.x, corner.y, &x, &y), 0);
    EXPECT_LT(cv::norm(cv::Point2d(x, y) - cv::Point2d(105, 0)), 1e-4)
        << "the given points stay where they are";
    const Lens pinhole = lensOf(engine);
    EXPECT_EQ(pinhole.k1, 0.0);
    EXPECT_EQ(pinhole.cx, 100.0);
    // Same size: the lens stays; another size: it resets to the middle.
    ASSERT_EQ(setLens(engine, 0.1, 0.0, 300.0, 200.0), 0);
    ASSERT_EQ(engine->LoadVideo(losslessClip(clip, "bent")), 0);
    EXPECT_EQ(lensOf(engine).k1, 0.1);
    testclips::ClipSettings other = clip;
    other.width = 320;
    other.height = 240;
    ASSERT_EQ(engine->LoadVideo(losslessClip(other, "other size")), 0);
    const Lens reset = lensOf(engine);
    EXPECT_EQ(reset.k1, 0.0);
    EXPECT_EQ(reset.k2, 0.0);
    EXPECT_EQ(reset.cx, 159.5);
    EXPECT_EQ(reset.cy, 119.5);
}

// The straightness describes the estimate's lens only while it is in place.
TEST_F(CameraTest, TellsHowStraightTheEstimateMadeTheLines)
{
    ASSERT_TRUE(straightness);
    double rms = 99.0;
    EXPECT_EQ(straightness(engine, &rms), -1) << "no estimate yet";
    double k1 = 0, k2 = 0, cx = 0, cy = 0;
    ASSERT_EQ(estimateLens(engine, &k1, &k2, &cx, &cy), 0);
    ASSERT_EQ(straightness(engine, &rms), 0);
    EXPECT_GE(rms, 0.0);
    EXPECT_LT(rms, 1.0);
    EXPECT_EQ(straightness(engine, nullptr), -1);
    ASSERT_EQ(setLens(engine, k1, k2, cx, cy), 0);
    EXPECT_EQ(straightness(engine, &rms), -1) << "a lens was set since";
    ASSERT_EQ(estimateLens(engine, &k1, &k2, &cx, &cy), 0);
    ASSERT_EQ(engine->LoadVideo(losslessClip(clip, "bent")), 0);
    EXPECT_EQ(straightness(engine, &rms), -1) << "a video was loaded since";
}

TEST_F(CameraTest, RefusesAndChangesNothing)
{
    const Lens before = lensOf(engine);
    double px0 = kNaN, py0 = kNaN;
    ASSERT_EQ(pitchToPicture(engine, 30, 20, &px0, &py0), 0);
    const auto unchanged = [&](const char* why) {
        const Lens now = lensOf(engine);
        EXPECT_EQ(now.k1, before.k1) << why;
        EXPECT_EQ(now.cx, before.cx) << why;
        double px = kNaN, py = kNaN;
        ASSERT_EQ(pitchToPicture(engine, 30, 20, &px, &py), 0) << why;
        EXPECT_EQ(px, px0) << why;
        EXPECT_EQ(py, py0) << why;
    };
    for (const std::array<double, 4>& bad : { std::array<double, 4> { kNaN, 0, 320, 180 },
             { 2.5, 0, 320, 180 }, { 0.1, 0, 700, 180 }, { 0.1, 0, 320, -3 },
             { -1.5, 0, 320, 180 } }) {
        EXPECT_EQ(setLens(engine, bad[0], bad[1], bad[2], bad[3]), -1);
        unchanged("lens");
    }
    const double picture[10] = { 10, 10, 200, 20, 30, 300, 400, 310, 100, 100 };
    const double pitch[10] = { 0, 68, 105, 68, 0, 0, 105, 0, 20, 20 };
    const double line[10] = { 0, 0, 0, 10, 0, 20, 0, 30, 0, 40 };
    double nanPicture[10];
    std::copy(picture, picture + 10, nanPicture);
    nanPicture[7] = kNaN;
    double rms = 12345.0;
    EXPECT_EQ(calibrateFromPoints(engine, 3, picture, pitch, &rms), -1);
    EXPECT_EQ(calibrateFromPoints(engine, 5, nanPicture, pitch, &rms), -1);
    EXPECT_EQ(calibrateFromPoints(engine, 5, picture, line, &rms), -1);
    EXPECT_EQ(calibrateFromPoints(engine, 5, nullptr, pitch, &rms), -1);
    EXPECT_EQ(rms, 12345.0);
    unchanged("points");
    // A plain painted pitch with no lines at all: nothing to estimate.
    double k1 = 7, k2 = 7, cx = 7, cy = 7;
    ForeignEngine foreign;
    EXPECT_EQ(getLens(&foreign, &k1, &k2, &cx, &cy), -1);
    EXPECT_EQ(setLens(&foreign, 0, 0, 1, 1), -1);
    EXPECT_EQ(estimateLens(nullptr, &k1, &k2, &cx, &cy), -1);
    VistrelInterface* const noVideo = newEngine();
    EXPECT_EQ(getLens(noVideo, &k1, &k2, &cx, &cy), -1);
    EXPECT_EQ(setLens(noVideo, 0.1, 0, 1, 1), -1);
    EXPECT_EQ(estimateLens(noVideo, &k1, &k2, &cx, &cy), -1);
    EXPECT_EQ(k1, 7.0);
}

TEST(CameraModel, PointsGiveTheFourCornerCalibration)
{
    testclips::ClipSettings clip;
    clip.width = 1280;
    clip.height = 720;
    const testclips::ClipTruth truth = testclips::truthFor(clip);
    VistrelInterface* const clicked = newEngine();
    VistrelInterface* const fitted = newEngine();
    ASSERT_TRUE(clicked && fitted);
    std::vector<double> picture;
    for (VistrelInterface* e : { clicked, fitted }) {
        e->setFieldWidth(105.0f);
        e->setFieldLength(68.0f);
    }
    for (int i = 0; i < 4; ++i) {
        clicked->addFieldPoint(i < 2 ? 0 : 1, truth.corners[i].x, truth.corners[i].y);
        picture.insert(picture.end(), { double(truth.corners[i].x), double(truth.corners[i].y) });
    }
    const double pitch[8] = { 0, 68, 105, 68, 0, 0, 105, 0 };
    ASSERT_EQ(calibrateFromPoints(fitted, 4, picture.data(), pitch, nullptr), 0);
    EXPECT_EQ(fitted->getTopPointsLeft(), 0);
    EXPECT_EQ(fitted->getBottomPointsLeft(), 0);
    for (const cv::Point2d p : { cv::Point2d(640, 360), cv::Point2d(100, 700) }) {
        double a[2], b[2];
        ASSERT_EQ(pictureToPitch(clicked, p.x, p.y, &a[0], &a[1]), 0);
        ASSERT_EQ(pictureToPitch(fitted, p.x, p.y, &b[0], &b[1]), 0);
        EXPECT_NEAR(a[0], b[0], 1e-9);
        EXPECT_NEAR(a[1], b[1], 1e-9);
    }
    const cv::Point centre = truth.centre();
    for (VistrelInterface* e : { clicked, fitted })
        e->setGameCentre(centre.x, centre.y);
    const auto same = [](const std::vector<FieldLine>& x, const std::vector<FieldLine>& y) {
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i].x1 != y[i].x1 || x[i].y1 != y[i].y1 || x[i].x2 != y[i].x2 || x[i].y2 != y[i].y2)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(same(clicked->getFieldLines(), fitted->getFieldLines()));
    EXPECT_TRUE(same(clicked->getCentreLines(), fitted->getCentreLines()));
}
