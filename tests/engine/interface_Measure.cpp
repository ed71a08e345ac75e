// The measuring functions of VistrelMeasure.h, looked up with dlsym in
// libVistrel.so and used beside the 85 slots, as a host or a script does.

#include "ForeignEngine.h"
#include "PlaybackTestSupport.h"
#include "VistrelMeasure.h"

#include <opencv2/videoio.hpp>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

using namespace playbacktest;

namespace {

void* library() { return dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL); }

// The function of this name as a host finds it.
#define LOOK_UP(name) reinterpret_cast<decltype(&name)>(dlsym(library(), #name))
const auto pictureToPitch = LOOK_UP(VistrelPictureToPitch);
const auto pitchToPicture = LOOK_UP(VistrelPitchToPicture);
const auto setClickSigma = LOOK_UP(VistrelSetClickSigma);
const auto getClickSigma = LOOK_UP(VistrelGetClickSigma);
const auto measureDistance = LOOK_UP(VistrelMeasureDistance);
#undef LOOK_UP

// Corners in click order: top left, top right, bottom left, bottom right.
using Corners = std::array<cv::Point, 4>;

// Calibrates as the program does: dimensions first, then the four clicks.
void calibrate(VistrelInterface& engine, const Corners& corners, float width = 105.0f,
    float length = 68.0f, int clicks = 4)
{
    engine.clearFieldPoints();
    engine.setFieldWidth(width);
    engine.setFieldLength(length);
    for (int i = 0; i < clicks; ++i)
        engine.addFieldPoint(i < 2 ? 0 : 1, corners[i].x, corners[i].y);
}

testclips::ClipTruth hdCamera(double tilt)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 1280;
    clipSettings.height = 720;
    clipSettings.tilt = tilt;
    return testclips::truthFor(clipSettings);
}

// An engine calibrated on a generated camera of a 105 m x 68 m pitch.
class MeasureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            pictureToPitch && pitchToPicture && setClickSigma && getClickSigma && measureDistance)
            << "libVistrel.so exports the five measuring functions";
        ASSERT_NE(engine, nullptr);
        calibrate(*engine, truth.corners);
    }

    // Metres, and the standard deviation in `sigma`.
    double measure(cv::Point2d from, cv::Point2d to, double& sigma)
    {
        double metres = -1.0;
        EXPECT_EQ(measureDistance(engine, from.x, from.y, to.x, to.y, &metres, &sigma), 0);
        return metres;
    }

    const testclips::ClipTruth truth = hdCamera(0.5);
    VistrelInterface* const engine = newEngine();
    double sigma = -1.0;
};

} // namespace

TEST_F(MeasureTest, MapsAndMeasuresWithTheCornersOfTheSlots)
{
    for (const cv::Point2d pitch :
        { cv::Point2d(0, 0), cv::Point2d(105, 68), cv::Point2d(20, 60), cv::Point2d(-10, 80) }) {
        double px = 0, py = 0, x = 0, y = 0;
        ASSERT_EQ(pitchToPicture(engine, pitch.x, pitch.y, &px, &py), 0);
        EXPECT_LT(cv::norm(cv::Point2d(px, py) - truth.toPicture(pitch.x, pitch.y)), 1e-6);
        ASSERT_EQ(pictureToPitch(engine, px, py, &x, &y), 0);
        EXPECT_LT(cv::norm(cv::Point2d(x, y) - pitch), 1e-9) << pitch;
    }

    const cv::Point2d top = truth.toPicture(52.5, 68), bottom = truth.toPicture(52.5, 0);
    EXPECT_EQ(getClickSigma(engine), 1.0) << "the default";
    EXPECT_NEAR(measure(top, bottom, sigma), 68.0, 1e-9);
    const double sigmaAt1Px = sigma;
    ASSERT_EQ(setClickSigma(engine, 2.0), 0);
    EXPECT_EQ(getClickSigma(engine), 2.0);
    measure(top, bottom, sigma);
    EXPECT_NEAR(sigma, 2.0 * sigmaAt1Px, 1e-6 * sigmaAt1Px) << "first order: in proportion";
    ASSERT_EQ(setClickSigma(engine, 0.0), 0);
    measure(top, bottom, sigma);
    EXPECT_EQ(sigma, 0.0);

    // A new width counts at once, without clicking the corners again.
    engine->setFieldWidth(210.0f);
    double x = 0, y = -1;
    ASSERT_EQ(pictureToPitch(engine, truth.corners[3].x, truth.corners[3].y, &x, &y), 0);
    EXPECT_NEAR(x, 210.0, 1e-9);
    EXPECT_NEAR(y, 0.0, 1e-9);
}

TEST_F(MeasureTest, RefusesWhatItCannotAnswerAndWritesNothing)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kUntouched = 12345.0;
    VistrelInterface* const uncalibrated = newEngine();
    VistrelInterface* const threeCorners = newEngine();
    VistrelInterface* const noWidth = newEngine();
    ASSERT_TRUE(uncalibrated && threeCorners && noWidth);
    calibrate(*threeCorners, truth.corners, 105.0f, 68.0f, 3);
    calibrate(*noWidth, truth.corners, 0.0f);
    ForeignEngine foreign;

    double a = kUntouched, b = kUntouched;
    const auto toPitch = [&](VistrelInterface* e, double px, double py) {
        return pictureToPitch(e, px, py, &a, &b);
    };
    const auto distanceTo = [&](VistrelInterface* e, double px, double py) {
        return measureDistance(e, 640, 400, px, py, &a, &b);
    };
    const std::pair<const char*, std::function<int()>> calls[] = {
        { "null engine", [&] { return toPitch(nullptr, 640, 400); } },
        { "foreign engine", [&] { return distanceTo(&foreign, 600, 300); } },
        { "null output", [&] { return pitchToPicture(engine, 1, 1, &a, nullptr); } },
        { "null metres", [&] { return measureDistance(engine, 1, 1, 2, 2, nullptr, &b); } },
        { "no corners", [&] { return toPitch(uncalibrated, 640, 400); } },
        { "three corners", [&] { return distanceTo(threeCorners, 600, 300); } },
        { "width 0", [&] { return distanceTo(noWidth, 600, 300); } },
        { "NaN coordinate", [&] { return toPitch(engine, kNaN, 400); } },
        { "beyond the horizon", [&] { return distanceTo(engine, 640, -100000); } },
        { "sigma above 50", [&] { return setClickSigma(engine, 50.001); } },
        { "sigma NaN", [&] { return setClickSigma(engine, kNaN); } },
        { "sigma of a foreign engine", [&] { return setClickSigma(&foreign, 1.0); } },
    };
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(), -1) << name;
        EXPECT_TRUE(a == kUntouched && b == kUntouched) << name;
    }
    EXPECT_EQ(getClickSigma(engine), 1.0) << "refused values keep the old one";
    EXPECT_EQ(getClickSigma(nullptr), -1.0);
    EXPECT_EQ(getClickSigma(&foreign), -1.0);
}

// While the loop plays and draws with the corners, a host clicks one set of
// corners after another and a script measures: every answer belongs to one
// whole set of corners, never to a mixture.
TEST_F(MeasureTest, MeasuresWholeCalibrationsWhileCornersChangeDuringPlayback)
{
    const testclips::ClipTruth other = hdCamera(1.0);
    const cv::Point2d from(600, 300), to(700, 500);
    const double first = measure(from, to, sigma);
    calibrate(*engine, other.corners);
    const double second = measure(from, to, sigma);
    ASSERT_NE(first, second);

    testclips::ClipSettings clipSettings;
    clipSettings.width = 64;
    clipSettings.height = 48;
    clipSettings.frames = 250;
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "measure-race")), 0);
    auto play = playAsync(*engine);
    std::atomic<bool> clicking { true };
    std::thread host([&] {
        for (int round = 0; round < 200; ++round) {
            calibrate(*engine, round % 2 ? truth.corners : other.corners);
            engine->setGameCentre(640, 360);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        clicking = false;
    });
    int answers = 0;
    for (double metres = 0, x = 0, y = 0; clicking;) {
        if (measureDistance(engine, from.x, from.y, to.x, to.y, &metres, &sigma) == 0) {
            ++answers;
            EXPECT_TRUE(metres == first || metres == second) << metres;
        }
        pictureToPitch(engine, from.x, from.y, &x, &y);
    }
    host.join();
    engine->StopPlayback();
    EXPECT_TRUE(finishes(play));
    EXPECT_GT(answers, 0);
}

// Landmarks on the first frame of the drone clip (105 m x 68 m), located to
// a fraction of a pixel: the centre of each painted line was taken as the
// brightness-weighted centroid of its cross-section (brightness = the
// smallest of B, G, R), straight lines were fitted through those centres
// and intersected, and the circle was crossed with the row through its
// fitted centre and with the halfway line.
TEST_F(MeasureTest, MeasuresTheMarkingsOfTheDroneClip)
{
    const std::string clip
        = std::string(TARVOLA_MEDIA_DIR) + "/soccer_drone_topdown_1260x708_60fps.mp4";
    if (!std::filesystem::exists(clip))
        GTEST_SKIP() << "no real footage at " << clip;
    const cv::Point2d halfwayTop(632.39, 39.61), halfwayBottom(629.78, 665.15);
    const cv::Point2d circleLeft(547.37, 353.94), circleRight(714.99, 353.94);
    const cv::Point2d circleTop(631.43, 270.27), circleBottom(630.73, 437.60);

    // The landmarks lie on the painted lines of the frame the engine reads.
    cv::VideoCapture capture(clip);
    cv::Mat frame;
    ASSERT_TRUE(capture.read(frame));
    ASSERT_EQ(frame.size(), cv::Size(1260, 708));
    for (const cv::Point2d& p :
        { halfwayTop, halfwayBottom, circleLeft, circleRight, circleTop, circleBottom }) {
        const cv::Vec3b pixel = frame.at<cv::Vec3b>(cv::Point(p));
        EXPECT_GT(std::min({ pixel[0], pixel[1], pixel[2] }), 150) << p << " is on a white line";
    }

    calibrate(*engine,
        { cv::Point(152, 40), cv::Point(1125, 37), cv::Point(154, 660), cv::Point(1118, 672) });
    EXPECT_NEAR(measure(halfwayTop, halfwayBottom, sigma), 68.0, 0.015 * 68.0);
    EXPECT_NEAR(measure(circleLeft, circleRight, sigma), 18.3, 0.03 * 18.3);
    EXPECT_NEAR(measure(circleTop, circleBottom, sigma), 18.3, 0.03 * 18.3);
}
