#include "pitch/CPitchGeometry.h"
#include "ClipGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

namespace {

using Corners = CPitchGeometry::Corners;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Generated cameras (picture size, tilt), from strongly oblique to nearly
// overhead.
const std::tuple<int, int, double> kCameras[]
    = { { 1280, 720, 0.5 }, { 1280, 720, 1.0 }, { 1920, 1080, 0.2 } };

// Pitch segments in metres: halfway line, diagonal, penalty box front, a
// pass on the far side.
const std::pair<cv::Point2d, cv::Point2d> kSegments[] = { { { 52.5, 0 }, { 52.5, 68 } },
    { { 0, 0 }, { 105, 68 } }, { { 16.5, 13.84 }, { 16.5, 54.16 } }, { { 30, 60 }, { 60, 64 } } };

// Trapezoid whose sides meet at (150, 50) and whose ends are level: its
// horizon is the line y = 50.
const Corners kTrapezoid { cv::Point2d(100, 100), cv::Point2d(200, 100), cv::Point2d(0, 200),
    cv::Point2d(300, 200) };

testclips::ClipTruth truthOf(const std::tuple<int, int, double>& camera)
{
    testclips::ClipSettings clipSettings;
    std::tie(clipSettings.width, clipSettings.height, clipSettings.tilt) = camera;
    return testclips::truthFor(clipSettings);
}

// The generator's pitch is 105 m along an edge (the engine's width) and
// 68 m from the bottom edge to the top edge (the engine's length).
std::optional<CPitchGeometry> geometryOf(
    const testclips::ClipTruth& truth, const Corners& clickErrors = {})
{
    Corners corners;
    for (int i = 0; i < 4; ++i)
        corners[i] = cv::Point2d(truth.corners[i]) + clickErrors[i];
    return CPitchGeometry::fromCorners(
        corners, truth.clipSettings.fieldWidth, truth.clipSettings.fieldLength);
}

// Standard deviation and root mean square of the distance when the same
// click errors are drawn at random.
std::pair<double, double> monteCarlo(
    const testclips::ClipTruth& truth, cv::Point2d from, cv::Point2d to, double sigmaPx)
{
    constexpr int kSamples = 4000;
    cv::RNG rng;
    const auto click = [&] { return cv::Point2d(rng.gaussian(sigmaPx), rng.gaussian(sigmaPx)); };
    double sum = 0.0, sumSquares = 0.0;
    for (int s = 0; s < kSamples; ++s) {
        const Corners cornerErrors { click(), click(), click(), click() };
        const double metres
            = geometryOf(truth, cornerErrors)->measure(from + click(), to + click(), 0.0)->metres;
        sum += metres;
        sumSquares += metres * metres;
    }
    const double mean = sum / kSamples, meanSquare = sumSquares / kSamples;
    return { std::sqrt((meanSquare - mean * mean) * kSamples / (kSamples - 1)),
        std::sqrt(meanSquare) };
}

} // namespace

// Clicks on the exact picture positions measure the true distance; clicks
// rounded to whole pixels stay close to it. The click-error figure agrees
// with drawing the same errors at random, and is exactly 0 without them.
TEST(CPitchGeometry, MeasuresGeneratedCamerasWithTheirUncertainty)
{
    for (const auto& camera : kCameras) {
        const testclips::ClipTruth truth = truthOf(camera);
        const auto geometry = geometryOf(truth);
        ASSERT_TRUE(geometry);
        for (const auto& [pitchFrom, pitchTo] : kSegments) {
            SCOPED_TRACE(::testing::Message()
                << std::get<0>(camera) << " px, tilt " << std::get<2>(camera) << ", " << pitchFrom
                << "-" << pitchTo);
            const double trueMetres = cv::norm(pitchTo - pitchFrom);
            const cv::Point2d from = truth.toPicture(pitchFrom.x, pitchFrom.y);
            const cv::Point2d to = truth.toPicture(pitchTo.x, pitchTo.y);
            const auto whole = [](cv::Point2d p) { return cv::Point2d(cv::Point(p)); };
            EXPECT_NEAR(geometry->measure(from, to, 1.0)->metres, trueMetres, 0.001 * trueMetres);
            EXPECT_NEAR(geometry->measure(whole(from), whole(to), 1.0)->metres, trueMetres,
                0.005 * trueMetres);
            EXPECT_EQ(geometry->measure(from, to, 0.0)->sigmaMetres, 0.0);
            for (const double sigmaPx : { 1.0, 2.0 }) {
                const double expected = monteCarlo(truth, from, to, sigmaPx).first;
                EXPECT_NEAR(
                    geometry->measure(from, to, sigmaPx)->sigmaMetres, expected, 0.1 * expected)
                    << "sigma " << sigmaPx;
            }
        }
    }
}

// The same 10 m covers fewer pixels further away, so the same click error
// weighs more there.
TEST(CPitchGeometry, UncertaintyGrowsTowardsTheFarSide)
{
    const testclips::ClipTruth truth = truthOf(kCameras[0]);
    double previous = 0.0;
    for (const double y : { 2.0, 20.0, 40.0, 66.0 }) {
        const auto distance
            = geometryOf(truth)->measure(truth.toPicture(40, y), truth.toPicture(50, y), 1.0);
        EXPECT_GT(distance->sigmaMetres, previous) << "at y = " << y;
        previous = distance->sigmaMetres;
    }
}

// Clicking the same point twice must not claim a certain zero: the figure
// is the distance such clicks scatter over.
TEST(CPitchGeometry, CoincidentEndsReportTheSpreadOfTheClicks)
{
    const testclips::ClipTruth truth = truthOf(kCameras[0]);
    const cv::Point2d centre = truth.toPicture(52.5, 34.0);
    const auto distance = geometryOf(truth)->measure(centre, centre, 1.0);
    EXPECT_EQ(distance->metres, 0.0);
    const double expected = monteCarlo(truth, centre, centre, 1.0).second;
    EXPECT_NEAR(distance->sigmaMetres, expected, 0.1 * expected);
}

TEST(CPitchGeometry, RefusesWhatDefinesNoMeasurement)
{
    const Corners& good = kTrapezoid;
    const std::tuple<const char*, Corners, double, double> calibrations[] = {
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
    for (const auto& [name, corners, width, length] : calibrations)
        EXPECT_FALSE(CPitchGeometry::fromCorners(corners, width, length)) << name;

    const auto geometry = CPitchGeometry::fromCorners(good, 30.0, 100.0);
    ASSERT_TRUE(geometry);
    EXPECT_TRUE(geometry->toPitch({ 150, 51 })) << "just in front of the horizon";
    const std::tuple<const char*, cv::Point2d, double> measurements[] = {
        { "end NaN", { kNaN, 150 }, 1 },
        { "end infinite", { 200, -kInf }, 1 },
        { "end beyond the horizon", { 150, 49 }, 1 },
        { "end in the sky", { 10, -1000 }, 1 },
        { "sigma negative", { 200, 150 }, -0.1 },
        { "sigma above 50", { 200, 150 }, 50.5 },
        { "sigma NaN", { 200, 150 }, kNaN },
        { "sigma infinite", { 200, 150 }, kInf },
    };
    for (const auto& [name, end, sigmaPx] : measurements)
        EXPECT_FALSE(geometry->measure({ 100, 150 }, end, sigmaPx)) << name;
    EXPECT_TRUE(geometry->measure({ 100, 150 }, { 200, 150 }, 50.0)) << "sigma 50";
    EXPECT_FALSE(geometry->toPicture({ 15, -1e6 })) << "behind the camera";
}
