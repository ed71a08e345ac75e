#include "pitch/CField.h"
#include "ClipGenerator.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

// Corners in click order: top left, top right, bottom left, bottom right.
using Corners = std::array<cv::Point, 4>;

const Corners kTrapezoid { cv::Point(80, 60), cv::Point(240, 60), cv::Point(20, 200),
    cv::Point(300, 200) };
const cv::Point kCentre(160, 140);
const cv::Vec3b kVioletPx(255, 0, 128);
const cv::Vec3b kWhitePx(255, 255, 255);

void addCorners(CField& field, const Corners& c, int count = 4)
{
    const int edges[4] = { 0, 0, 1, 1 };
    for (int i = 0; i < count; ++i)
        field.AddPoint(edges[i], c[i].x, c[i].y);
}

// A model with these real dimensions in effect, before any corner.
CField withDimensions(float length, float width, float radius)
{
    CField field;
    field.setLength(length);
    field.setWidth(width);
    field.setRadius(radius);
    field.ClearPoints();
    return field;
}

double distance(cv::Point2d a, cv::Point2d b) { return cv::norm(a - b); }

cv::Mat blackFrame() { return cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(0)); }

// What Draw must produce on a black frame: dots first, then the lines in
// the drawing order, each exactly as cv::line draws its FieldLine.
cv::Mat expectedOverlay(const std::vector<cv::Point>& dots, const std::vector<FieldLine>& field,
    const std::vector<FieldLine>& centre)
{
    cv::Mat image = blackFrame();
    for (const cv::Point& p : dots)
        cv::circle(image, p, 1, cv::Scalar(255, 0, 128), 1, cv::LINE_8);
    auto draw = [&](const FieldLine& l, const cv::Vec3b& c) {
        cv::line(
            image, { l.x1, l.y1 }, { l.x2, l.y2 }, cv::Scalar(c[0], c[1], c[2]), 1, cv::LINE_8);
    };
    for (std::size_t i = 0; i < centre.size() && i < 1; ++i)
        draw(centre[i], kWhitePx);
    for (std::size_t i = 0; i < field.size() && i < 4; ++i)
        draw(field[i], kVioletPx);
    for (std::size_t i = 1; i < centre.size(); ++i)
        draw(centre[i], kWhitePx);
    for (std::size_t i = 4; i < field.size(); ++i)
        draw(field[i], kVioletPx);
    return image;
}

std::vector<std::array<int, 4>> asTuples(const std::vector<FieldLine>& lines)
{
    std::vector<std::array<int, 4>> tuples;
    for (const FieldLine& l : lines)
        tuples.push_back({ l.x1, l.y1, l.x2, l.y2 });
    return tuples;
}

bool sameImage(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

} // namespace

// Surplus and unknown points are ignored; fieldLines is built once per
// set of corners, centreLines follows the centre; ClearPoints empties both.
TEST(CField, CollectsCornersAndBuildsLineLists)
{
    CField field;
    const int left[] = { field.AddPoint(0, 80, 60), field.AddPoint(0, 240, 60),
        field.AddPoint(0, 5, 5), field.AddPoint(2, 5, 5) };
    EXPECT_EQ(std::vector(left, left + 4), (std::vector { 1, 0, 0, 0 }));
    EXPECT_EQ(field.ComputePerspective(), -1);
    field.AddPoint(1, 20, 200);
    field.AddPoint(1, 300, 200);
    EXPECT_EQ(field.getBottomPointsLeft(), 0);
    ASSERT_TRUE(field.isCalibrated());
    field.SetGameCentre(kCentre.x, kCentre.y);
    const std::vector<FieldLine> lines = field.GetFieldLines();
    const std::vector<FieldLine> first = field.GetCentreLines();
    ASSERT_EQ(lines.size(), 9u);
    ASSERT_EQ(first.size(), 33u);
    EXPECT_EQ(asTuples({ lines[0] }), asTuples({ { 240, 60, 80, 60 } })); // top edge
    EXPECT_EQ(first[0].y1, kCentre.y); // the line through the centre
    field.SetGameCentre(kCentre.x + 30, kCentre.y - 20);
    EXPECT_NE(asTuples(field.GetCentreLines()), asTuples(first));
    EXPECT_EQ(asTuples(field.GetFieldLines()), asTuples(lines));
    field.ClearPoints();
    EXPECT_TRUE(field.GetFieldLines().empty() && field.GetCentreLines().empty());
}

// New corners after ClearPoints: the grid and the centre geometry follow
// them at once, even before the next centre is set.
TEST(CField, RecalibrationMovesTheCentreGeometryToo)
{
    const Corners shifted { cv::Point(90, 70), cv::Point(250, 70), cv::Point(30, 210),
        cv::Point(310, 210) };
    CField expected;
    addCorners(expected, shifted);
    expected.SetGameCentre(kCentre.x, kCentre.y);

    CField field;
    addCorners(field, kTrapezoid);
    field.SetGameCentre(kCentre.x, kCentre.y);
    field.GetFieldLines();
    field.ClearPoints();
    addCorners(field, shifted);
    EXPECT_EQ(asTuples(field.GetFieldLines()), asTuples(expected.GetFieldLines()));
    EXPECT_EQ(asTuples(field.GetCentreLines()), asTuples(expected.GetCentreLines()));
}

// Bottom-left click -> (0, 0), bottom right -> (b, 0), top left -> (0, 1),
// top right -> (b, 1), with b fixed by the last ClearPoints.
TEST(CField, MapsCornersToUnitSquare)
{
    CField field;
    const float defaultAspect = 0.75f;
    for (const float b : { defaultAspect, 68.0f / 105.0f }) {
        if (b != defaultAspect) {
            field.setWidth(68.0f);
            field.setLength(105.0f);
            field.ClearPoints();
        }
        addCorners(field, kTrapezoid);
        const cv::Point2f expected[4] = { { 0, 1 }, { b, 1 }, { 0, 0 }, { b, 0 } };
        for (int i = 0; i < 4; ++i) {
            const cv::Point2f q = field.PictureToField(cv::Point2f(kTrapezoid[i]));
            EXPECT_NEAR(q.x, expected[i].x, 1e-5) << "b " << b << " corner " << i;
            EXPECT_NEAR(q.y, expected[i].y, 1e-5) << "b " << b << " corner " << i;
        }
    }
}

class CFieldOnClip : public testing::TestWithParam<testclips::ClipSettings>
{
};

// Calibrated with a generated clip's corners and dimensions, every line end
// lies within 1.5 px of where the clip's homography puts it, and the
// mapping itself is exact to a hundredth of a pixel.
TEST_P(CFieldOnClip, LinesFollowTheClipHomography)
{
    const testclips::ClipTruth truth = testclips::truthFor(GetParam());
    const float L = truth.clipSettings.fieldLength, W = truth.clipSettings.fieldWidth, R = truth.clipSettings.radius;
    CField field = withDimensions(L, W, R);
    addCorners(field, truth.corners);
    ASSERT_TRUE(field.isCalibrated());
    for (const double fy : { 0.0, 0.3, 0.8, 1.0 }) {
        for (const double fx : { 0.0, 0.2, 0.9 }) {
            const cv::Point2f p = field.FieldToPicture(cv::Point2f(fx * W / L, fy));
            EXPECT_LT(distance(p, truth.toPicture(fx * W, fy * L)), 0.01) << fx << "," << fy;
        }
    }
    const cv::Point click = truth.centre();
    field.SetGameCentre(click.x, click.y);
    const std::vector<FieldLine> lines = field.GetFieldLines();
    const std::vector<FieldLine> centre = field.GetCentreLines();
    ASSERT_EQ(lines.size(), 9u);
    ASSERT_EQ(centre.size(), 33u);

    // The real points each segment joins, in list order.
    const cv::Vec3d c = truth.homography.inv() * cv::Vec3d(click.x, click.y, 1.0);
    const cv::Point2d realCentre(c[0] / c[2], c[1] / c[2]);
    auto circle = [&](int i) {
        const double theta = i * 2.0 * CV_PI / 32.0;
        return realCentre + cv::Point2d(std::cos(theta), std::sin(theta)) * R;
    };
    std::vector<std::array<cv::Point2d, 2>> real = { { { { W, L }, { 0, L } } },
        { { { W, 0 }, { 0, 0 } } }, { { { 0, L }, { 0, 0 } } }, { { { W, L }, { W, 0 } } } };
    for (const double y : { 0.25, 0.5, 0.75 })
        real.push_back({ { { 0, y * L }, { W, y * L } } });
    for (const double x : { 1.0 / 3.0, 2.0 / 3.0 })
        real.push_back({ { { x * W, 0 }, { x * W, L } } });
    real.push_back({ { { 0, realCentre.y }, { W, realCentre.y } } });
    for (int i = 0; i < 31; ++i)
        real.push_back({ circle(i), circle(i + 1) });
    real.push_back({ circle(0), circle(31) });

    std::vector<FieldLine> all = lines;
    all.insert(all.end(), centre.begin(), centre.end());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const cv::Point2d a(all[i].x1, all[i].y1), b(all[i].x2, all[i].y2);
        EXPECT_LT(distance(a, truth.toPicture(real[i][0].x, real[i][0].y)), 1.5) << "line " << i;
        EXPECT_LT(distance(b, truth.toPicture(real[i][1].x, real[i][1].y)), 1.5) << "line " << i;
    }
}

testclips::ClipSettings clipPlan(int width, int height, double tilt, float radius)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = width;
    clipSettings.height = height;
    clipSettings.tilt = tilt;
    clipSettings.radius = radius;
    return clipSettings;
}

INSTANTIATE_TEST_SUITE_P(Perspectives, CFieldOnClip,
    testing::Values(clipPlan(320, 240, 0.5, 9.15f), clipPlan(642, 362, 0.85, 9.15f),
        clipPlan(1920, 1080, 0.2, 20.0f), clipPlan(64, 48, 0.7, 9.15f)),
    [](const testing::TestParamInfo<testclips::ClipSettings>& info) {
        return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "_tilt"
            + std::to_string(static_cast<int>(info.param.tilt * 100));
    });

// The drone clip's measured corners with 105 x 68 m: the 9.15 m circle round
// the measured centre matches the painted one (about 83.5 px), and the
// painted halfway line lies at half the width.
TEST(CField, MatchesTheMeasuredDroneClip)
{
    const std::filesystem::path clip
        = std::filesystem::path(TARVOLA_MEDIA_DIR) / "soccer_drone_topdown_1260x708_60fps.mp4";
    if (!std::filesystem::exists(clip))
        GTEST_SKIP() << "no media at " << clip;
    CField field = withDimensions(68.0f, 105.0f, 9.15f);
    addCorners(field,
        { cv::Point(152, 40), cv::Point(1125, 37), cv::Point(154, 660), cv::Point(1118, 672) });
    field.SetGameCentre(631, 354);
    const std::vector<FieldLine> centre = field.GetCentreLines();
    ASSERT_EQ(centre.size(), 33u);
    for (std::size_t i = 1; i < centre.size(); ++i)
        EXPECT_NEAR(distance({ 631, 354 }, cv::Point2d(centre[i].x1, centre[i].y1)), 83.5, 3.0);
    for (const cv::Point end : { cv::Point(633, 40), cv::Point(630, 666) })
        EXPECT_NEAR(field.PictureToField(cv::Point2f(end)).x * 68.0f, 52.5f, 0.3f);
}

// Corners that define no perspective are refused: no calibration, no
// lines, only the dots, and a fresh set of corners works again.
TEST(CField, RefusesDegenerateCorners)
{
    const struct
    {
        const char* name;
        Corners corners;
    } cases[] = {
        { "two top corners equal", { { { 80, 60 }, { 80, 60 }, { 20, 200 }, { 300, 200 } } } },
        { "two bottom corners equal", { { { 80, 60 }, { 240, 60 }, { 20, 200 }, { 20, 200 } } } },
        { "diagonal corners equal", { { { 80, 60 }, { 240, 60 }, { 20, 200 }, { 80, 60 } } } },
        { "three on one line", { { { 0, 0 }, { 100, 100 }, { 200, 200 }, { 300, 50 } } } },
        { "three on a shallow line", { { { 13, 7 }, { 1013, 37 }, { 2013, 67 }, { 500, 700 } } } },
        { "three a pixel apart", { { { 640, 360 }, { 641, 361 }, { 643, 363 }, { 100, 700 } } } },
        { "all four on one line", { { { 10, 10 }, { 20, 20 }, { 30, 30 }, { 40, 40 } } } },
        { "all four equal", { { { 50, 50 }, { 50, 50 }, { 50, 50 }, { 50, 50 } } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CField field;
        addCorners(field, c.corners);
        EXPECT_FALSE(field.isCalibrated());
        EXPECT_EQ(field.ComputePerspective(), -1);
        field.SetGameCentre(160, 120);
        EXPECT_TRUE(field.GetFieldLines().empty() && field.GetCentreLines().empty());
        field.Draw(blackFrame());
        const std::vector<cv::Point> dots(c.corners.begin(), c.corners.end());
        EXPECT_TRUE(sameImage(field.getOverlayImage(), expectedOverlay(dots, {}, {})));

        field.ClearPoints();
        addCorners(field, kTrapezoid);
        field.SetGameCentre(kCentre.x, kCentre.y);
        EXPECT_EQ(field.GetFieldLines().size(), 9u);
    }
}

// An emptied edit sends 0: unusable dimensions keep the last aspect and
// leave out the circle instead of producing NaN coordinates.
TEST(CField, SurvivesUnusableDimensions)
{
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        float width, length, radius;
        bool circle;
    } cases[] = { { 27, 36, 5, true }, { 0, 36, 5, false }, { 27, 0, 5, false },
        { -27, 36, 5, false }, { 27, -36, 5, false }, { nan, 36, 5, false }, { 27, inf, 5, false },
        { 27, 36, nan, false }, { 27, 36, inf, false }, { 27, 36, -5, false },
        { 27, 36, 0, true } };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.length << " r " << c.radius);
        CField field;
        field.setWidth(c.width);
        field.setLength(c.length);
        field.setRadius(c.radius);
        field.ClearPoints();
        addCorners(field, kTrapezoid);
        EXPECT_NEAR(field.PictureToField(cv::Point2f(kTrapezoid[3])).x, 0.75f, 1e-5);
        field.SetGameCentre(kCentre.x, kCentre.y);
        const std::vector<FieldLine> centre = field.GetCentreLines();
        EXPECT_EQ(centre.size(), c.circle ? 33u : 1u);
        field.Draw(blackFrame());
        EXPECT_TRUE(sameImage(field.getOverlayImage(),
            expectedOverlay(
                { kTrapezoid.begin(), kTrapezoid.end() }, field.GetFieldLines(), centre)));
    }
}

// Horizon at picture y = 0, field y = -1 level with the camera. Whatever
// lies on or beyond the horizon is left out, never drawn across the
// picture; what remains lies below the horizon.
TEST(CField, LeavesOutWhatLiesBeyondTheHorizon)
{
    const Corners corners { cv::Point(50, 50), cv::Point(150, 50), cv::Point(0, 100),
        cv::Point(200, 100) };
    const struct
    {
        cv::Point centre;
        float radius; // in pitch lengths
        std::size_t segments;
    } cases[] = {
        { { 100, 75 }, 0.25f, 33 }, // well inside
        { { 100, 75 }, 3.0f, 21 }, // the circle reaches behind the camera
        { { 100, 1 }, 0.25f, 33 }, // just below the horizon
        { { 100, 0 }, 0.25f, 0 }, // on it: the centre is at infinity
        { { 100, -50 }, 0.25f, 0 }, // beyond it
        { { 100, -50 }, 10.0f, 12 }, // beyond it, but part of the circle is in front
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre << " r " << c.radius);
        CField field;
        field.setRadius(c.radius * field.getLength());
        addCorners(field, corners);
        field.SetGameCentre(c.centre.x, c.centre.y);
        const std::vector<FieldLine> centre = field.GetCentreLines();
        EXPECT_EQ(centre.size(), c.segments);
        for (const FieldLine& l : centre)
            EXPECT_TRUE(l.y1 >= 0 && l.y2 >= 0);
        field.Draw(blackFrame());
        EXPECT_TRUE(sameImage(field.getOverlayImage(),
            expectedOverlay({ corners.begin(), corners.end() }, field.GetFieldLines(), centre)));
    }
}

// Clicks at the ends of the int range: ends are clipped to the pixel limit
// along their line and segments wholly beyond it are left out.
TEST(CField, ClipsCoordinatesBeyondTheIntRange)
{
    constexpr int lo = std::numeric_limits<int>::min();
    constexpr int hi = std::numeric_limits<int>::max();
    CField field;
    addCorners(
        field, { cv::Point(lo, 0), cv::Point(hi, 0), cv::Point(lo, 239), cv::Point(hi, 239) });
    field.SetGameCentre(160, 120);
    const std::vector<FieldLine> lines = field.GetFieldLines();
    ASSERT_EQ(lines.size(), 5u); // no sides, no lines along the pitch
    EXPECT_EQ(asTuples({ lines[0], field.GetCentreLines().at(0) }),
        asTuples({ { 1'000'000, 0, -1'000'000, 0 }, { -1'000'000, 120, 1'000'000, 120 } }));
    field.Draw(blackFrame());
    EXPECT_EQ(field.getOverlayImage().at<cv::Vec3b>(120, 300), kWhitePx);
}

// A centre at the ends of the int range, set before the corners: laying it
// out when they complete gives what setting it afterwards gives.
TEST(CField, LaysOutACentreAtTheIntLimitsWhenTheCornersComplete)
{
    constexpr int lo = std::numeric_limits<int>::min();
    constexpr int hi = std::numeric_limits<int>::max();
    CField expected;
    addCorners(expected, kTrapezoid);
    expected.SetGameCentre(hi, lo);
    CField field;
    field.SetGameCentre(hi, lo);
    addCorners(field, kTrapezoid);
    EXPECT_EQ(asTuples(field.GetCentreLines()), asTuples(expected.GetCentreLines()));
}

// Dots from the first corner on, lines only once calibrated with a centre,
// each exactly where the lists say; nothing at all with drawing off.
TEST(CField, DrawMarksDotsAndLinesWhereTheListsSay)
{
    const struct
    {
        int corners;
        bool centre, drawLines;
    } cases[] = { { 3, true, true }, { 4, false, true }, { 4, true, true }, { 4, true, false } };
    cv::Mat noise(240, 320, CV_8UC3);
    cv::randu(noise, 0, 256);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.corners << " corners, centre " << c.centre);
        CField field;
        field.setRadius(5.0f);
        field.SetDrawLines(c.drawLines);
        if (c.centre && c.corners < 4)
            field.SetGameCentre(kCentre.x, kCentre.y);
        addCorners(field, kTrapezoid, c.corners);
        if (c.centre && c.corners == 4)
            field.SetGameCentre(kCentre.x, kCentre.y);
        const std::vector<FieldLine> lines = field.GetFieldLines();
        const std::vector<FieldLine> centre = field.GetCentreLines();
        EXPECT_EQ(lines.size(), c.corners == 4 && c.centre ? 9u : 0u);

        const cv::Mat frame = blackFrame();
        field.Draw(frame);
        EXPECT_EQ(cv::countNonZero(frame.reshape(1)), 0); // the frame itself is left alone
        const std::vector<cv::Point> dots(kTrapezoid.begin(), kTrapezoid.begin() + c.corners);
        const cv::Mat expected = c.drawLines ? expectedOverlay(dots, lines, centre) : blackFrame();
        EXPECT_TRUE(sameImage(field.getOverlayImage(), expected));
        if (!c.drawLines) {
            field.Draw(noise);
            EXPECT_TRUE(sameImage(field.getOverlayImage(), noise));
        }
    }
}

// Truncation toward zero, never rounding, and only at the pixel step:
// FieldToPicture keeps the fraction.
TEST(CField, TruncatesTowardZeroOnlyAtPixels)
{
    const std::pair<double, int> pixels[] = { { -0.6, 0 }, { 12.9, 12 }, { -12.9, -12 },
        { 3e9, 1'000'000 }, { -std::numeric_limits<double>::infinity(), -1'000'000 },
        { std::numeric_limits<double>::quiet_NaN(), 0 } };
    for (const auto& [coordinate, pixel] : pixels)
        EXPECT_EQ(CField::toPixel(coordinate), pixel) << coordinate;

    const cv::Point2f p = CField::fromHomogeneous(10.9f, -3.7f, 2.0f);
    EXPECT_FLOAT_EQ(p.x, 5.45f);
    EXPECT_FLOAT_EQ(p.y, -1.85f);
    const cv::Point2f horizon = CField::fromHomogeneous(0.0f, -1.0f, 0.0f);
    EXPECT_TRUE(std::isinf(horizon.x) && std::isinf(horizon.y) && horizon.y < 0);

    // A 10 x 10 pitch left of x = 0: the grid's thirds fall at -6.67 and
    // -3.33 and its quarters at 7.5 and 2.5.
    CField field;
    addCorners(field, { cv::Point(-10, 0), cv::Point(0, 0), cv::Point(-10, 10), cv::Point(0, 10) });
    EXPECT_NEAR(field.FieldToPicture({ 0.25f, 0.25f }).x, -20.0f / 3.0f, 1e-4);
    field.SetGameCentre(-5, 5);
    const std::vector<FieldLine> lines = field.GetFieldLines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[4].y1, 7);
    EXPECT_EQ(lines[6].y1, 2);
    EXPECT_EQ(lines[7].x1, -6);
    EXPECT_EQ(lines[8].x1, -3);
}
