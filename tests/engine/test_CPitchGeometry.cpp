#include "CPitchGeometry.h"
#include "ClipGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using Corners = CPitchGeometry::Corners;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Camera
{
    const char* name;
    int widthPx, heightPx;
    double tilt;
};

// Cameras of the clip generator, from strongly oblique to nearly overhead.
const Camera kCameras[] = { { "hd-oblique", 1280, 720, 0.5 }, { "hd-steep", 1280, 720, 1.0 },
    { "fullhd-flat", 1920, 1080, 0.2 } };

struct Segment
{
    const char* name;
    cv::Point2d from, to; // pitch metres
};

const Segment kSegments[] = { { "halfway line", { 52.5, 0.0 }, { 52.5, 68.0 } },
    { "diagonal", { 0.0, 0.0 }, { 105.0, 68.0 } },
    { "penalty box front", { 16.5, 13.84 }, { 16.5, 54.16 } },
    { "far-side pass", { 30.0, 60.0 }, { 60.0, 64.0 } } };

testclips::ClipTruth truthOf(const Camera& camera)
{
    testclips::ClipSpec clipSettings;
    clipSettings.width = camera.widthPx;
    clipSettings.height = camera.heightPx;
    clipSettings.tilt = camera.tilt;
    return testclips::truthFor(clipSettings);
}

// The generator's pitch is 105 m along an edge (the engine's width) and
// 68 m from the bottom edge to the top edge (the engine's length).
CPitchGeometry geometryOf(const testclips::ClipTruth& truth)
{
    Corners corners;
    for (std::size_t i = 0; i < corners.size(); ++i)
        corners[i] = truth.corners[i];
    const auto geometry = CPitchGeometry::fromCorners(
        corners, truth.clipSettings.fieldWidth, truth.clipSettings.fieldLength);
    EXPECT_TRUE(geometry);
    return geometry.value_or(*CPitchGeometry::fromCorners(corners, 1.0, 1.0));
}

cv::Point2d rounded(cv::Point2d p) { return { std::round(p.x), std::round(p.y) }; }

struct Spread
{
    double sigma; // standard deviation of the distance
    double rms; // root mean square of the distance
};

// The spread of the distance when the same click errors are drawn at random.
Spread monteCarlo(const testclips::ClipTruth& truth, cv::Point2d from, cv::Point2d to,
    double sigmaPx, int samples = 4000)
{
    cv::RNG rng(12345);
    double sum = 0.0, sumSquares = 0.0;
    for (int s = 0; s < samples; ++s) {
        Corners corners;
        for (std::size_t i = 0; i < corners.size(); ++i)
            corners[i] = cv::Point2d(truth.corners[i])
                + cv::Point2d(rng.gaussian(sigmaPx), rng.gaussian(sigmaPx));
        const cv::Point2d a = from + cv::Point2d(rng.gaussian(sigmaPx), rng.gaussian(sigmaPx));
        const cv::Point2d b = to + cv::Point2d(rng.gaussian(sigmaPx), rng.gaussian(sigmaPx));
        const auto geometry = CPitchGeometry::fromCorners(
            corners, truth.clipSettings.fieldWidth, truth.clipSettings.fieldLength);
        const auto distance = geometry->measure(a, b, 0.0);
        sum += distance->metres;
        sumSquares += distance->metres * distance->metres;
    }
    const double mean = sum / samples;
    const double variance
        = std::max(0.0, sumSquares / samples - mean * mean) * samples / (samples - 1);
    return { std::sqrt(variance), std::sqrt(sumSquares / samples) };
}

} // namespace

// Clicks on the exact picture positions measure the true distance; clicks
// rounded to whole pixels stay close to it.
TEST(CPitchGeometry, MeasuresTrueDistancesOnGeneratedCameras)
{
    for (const Camera& camera : kCameras) {
        const testclips::ClipTruth truth = truthOf(camera);
        const CPitchGeometry geometry = geometryOf(truth);
        for (const Segment& segment : kSegments) {
            SCOPED_TRACE(std::string(camera.name) + ", " + segment.name);
            const double trueMetres = cv::norm(segment.to - segment.from);
            const cv::Point2d from = truth.toPicture(segment.from.x, segment.from.y);
            const cv::Point2d to = truth.toPicture(segment.to.x, segment.to.y);
            const auto exact = geometry.measure(from, to, 1.0);
            const auto clicked = geometry.measure(rounded(from), rounded(to), 1.0);
            ASSERT_TRUE(exact && clicked);
            EXPECT_NEAR(exact->metres, trueMetres, 0.001 * trueMetres);
            EXPECT_NEAR(clicked->metres, trueMetres, 0.005 * trueMetres);
        }
    }
}

TEST(CPitchGeometry, UncertaintyAgreesWithMonteCarlo)
{
    for (const Camera& camera : kCameras) {
        const testclips::ClipTruth truth = truthOf(camera);
        const CPitchGeometry geometry = geometryOf(truth);
        for (const Segment& segment : kSegments) {
            const cv::Point2d from = truth.toPicture(segment.from.x, segment.from.y);
            const cv::Point2d to = truth.toPicture(segment.to.x, segment.to.y);
            for (const double sigmaPx : { 0.0, 1.0, 2.0 }) {
                SCOPED_TRACE(std::string(camera.name) + ", " + segment.name + ", sigma "
                    + std::to_string(sigmaPx));
                const auto distance = geometry.measure(from, to, sigmaPx);
                ASSERT_TRUE(distance);
                const double expected = monteCarlo(truth, from, to, sigmaPx).sigma;
                if (sigmaPx == 0.0)
                    EXPECT_EQ(distance->sigmaMetres, 0.0);
                else
                    EXPECT_NEAR(distance->sigmaMetres, expected, 0.1 * expected);
            }
        }
    }
}

// The same 10 m covers fewer pixels further away, so the same click error
// weighs more there.
TEST(CPitchGeometry, UncertaintyGrowsTowardsTheFarSide)
{
    const testclips::ClipTruth truth = truthOf(kCameras[0]);
    const CPitchGeometry geometry = geometryOf(truth);
    double previous = 0.0;
    for (const double y : { 2.0, 20.0, 40.0, 66.0 }) {
        const auto distance
            = geometry.measure(truth.toPicture(40.0, y), truth.toPicture(50.0, y), 1.0);
        ASSERT_TRUE(distance);
        EXPECT_GT(distance->sigmaMetres, previous) << "at y = " << y;
        previous = distance->sigmaMetres;
    }
}

TEST(CPitchGeometry, MapsBothWaysAndKeepsThePitchInFront)
{
    // The sides meet at (150, 50) and the ends are level: the horizon is
    // the line y = 50.
    const Corners corners { cv::Point2d(100, 100), cv::Point2d(200, 100), cv::Point2d(0, 200),
        cv::Point2d(300, 200) };
    const auto geometry = CPitchGeometry::fromCorners(corners, 30.0, 100.0);
    ASSERT_TRUE(geometry);
    const cv::Point2d pitch[] = { { 0, 100 }, { 30, 100 }, { 0, 0 }, { 30, 0 } };
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto mapped = geometry->toPitch(corners[i]);
        ASSERT_TRUE(mapped);
        EXPECT_LT(cv::norm(*mapped - pitch[i]), 1e-9) << "corner " << i;
        const auto back = geometry->toPicture(*mapped);
        ASSERT_TRUE(back);
        EXPECT_LT(cv::norm(*back - corners[i]), 1e-9) << "corner " << i;
    }
    EXPECT_TRUE(geometry->toPitch({ 150, 51 })) << "just in front of the horizon";
    EXPECT_FALSE(geometry->toPitch({ 150, 49 })) << "beyond the horizon";
    EXPECT_FALSE(geometry->toPitch({ 10, -1000 })) << "sky";
    EXPECT_FALSE(geometry->toPicture({ 15, -1e6 })) << "behind the camera";
}

TEST(CPitchGeometry, RefusesInputThatDefinesNoMeasurement)
{
    const Corners good { cv::Point2d(100, 100), cv::Point2d(200, 100), cv::Point2d(0, 200),
        cv::Point2d(300, 200) };
    struct Calibration
    {
        const char* name;
        Corners corners;
        double width, length;
    };
    const Calibration calibrations[] = {
        { "corner NaN", { cv::Point2d(kNaN, 100), good[1], good[2], good[3] }, 30, 100 },
        { "corner infinite", { good[0], good[1], good[2], cv::Point2d(300, kInf) }, 30, 100 },
        { "width 0", good, 0, 100 },
        { "length negative", good, 30, -1 },
        { "width NaN", good, kNaN, 100 },
        { "length infinite", good, 30, kInf },
        { "three on a line", { good[0], cv::Point2d(150, 200), good[2], good[3] }, 30, 100 },
        { "two equal", { good[0], good[0], good[2], good[3] }, 30, 100 },
        { "edges crossed", { good[0], good[1], good[3], good[2] }, 30, 100 },
    };
    for (const Calibration& row : calibrations)
        EXPECT_FALSE(CPitchGeometry::fromCorners(row.corners, row.width, row.length)) << row.name;

    const auto geometry = CPitchGeometry::fromCorners(good, 30.0, 100.0);
    ASSERT_TRUE(geometry);
    struct Measurement
    {
        const char* name;
        cv::Point2d from, to;
        double sigmaPx;
    };
    const Measurement measurements[] = {
        { "end NaN", { kNaN, 150 }, { 200, 150 }, 1 },
        { "end infinite", { 100, 150 }, { 200, -kInf }, 1 },
        { "end beyond the horizon", { 100, 150 }, { 150, 40 }, 1 },
        { "sigma negative", { 100, 150 }, { 200, 150 }, -0.1 },
        { "sigma above 50", { 100, 150 }, { 200, 150 }, 50.5 },
        { "sigma NaN", { 100, 150 }, { 200, 150 }, kNaN },
        { "sigma infinite", { 100, 150 }, { 200, 150 }, kInf },
    };
    for (const Measurement& row : measurements)
        EXPECT_FALSE(geometry->measure(row.from, row.to, row.sigmaPx)) << row.name;
    EXPECT_TRUE(geometry->measure({ 100, 150 }, { 200, 150 }, 50.0)) << "sigma 50";
}

// Clicking the same point twice must not claim a certain zero: the figure
// is the distance such clicks scatter over.
TEST(CPitchGeometry, CoincidentEndsReportTheSpreadOfTheClicks)
{
    const testclips::ClipTruth truth = truthOf(kCameras[0]);
    const CPitchGeometry geometry = geometryOf(truth);
    const cv::Point2d centre = truth.toPicture(52.5, 34.0);
    const auto distance = geometry.measure(centre, centre, 1.0);
    ASSERT_TRUE(distance);
    EXPECT_EQ(distance->metres, 0.0);
    const double expected = monteCarlo(truth, centre, centre, 1.0).rms;
    EXPECT_NEAR(distance->sigmaMetres, expected, 0.1 * expected);
}
