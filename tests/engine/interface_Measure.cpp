// The measuring functions of VistrelMeasure.h, looked up with dlsym in
// libVistrel.so and used beside the 85 slots, as a host or a script does.

#include "ForeignEngine.h"
#include "PlaybackTestSupport.h"
#include "VistrelMeasure.h"

#include <opencv2/videoio.hpp>

#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

using namespace playbacktest;

namespace {

// The functions as a host finds them by name.
struct MeasureApi
{
    decltype(&VistrelPictureToPitch) pictureToPitch = nullptr;
    decltype(&VistrelPitchToPicture) pitchToPicture = nullptr;
    decltype(&VistrelSetClickSigma) setClickSigma = nullptr;
    decltype(&VistrelGetClickSigma) getClickSigma = nullptr;
    decltype(&VistrelMeasureDistance) measureDistance = nullptr;
};

const MeasureApi& api()
{
    static const MeasureApi found = [] {
        MeasureApi functions;
        void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return functions;
        const auto find = [library](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                dlsym(library, name));
        };
        find(functions.pictureToPitch, "VistrelPictureToPitch");
        find(functions.pitchToPicture, "VistrelPitchToPicture");
        find(functions.setClickSigma, "VistrelSetClickSigma");
        find(functions.getClickSigma, "VistrelGetClickSigma");
        find(functions.measureDistance, "VistrelMeasureDistance");
        return functions;
    }();
    return found;
}

// Corners in click order: top left, top right, bottom left, bottom right.
using Corners = std::array<cv::Point, 4>;

// Calibrates as the program does: dimensions first, then the four clicks.
void calibrate(VistrelInterface& engine, const Corners& corners, float width, float length)
{
    engine.clearFieldPoints();
    engine.setFieldWidth(width);
    engine.setFieldLength(length);
    const int edges[4] = { 0, 0, 1, 1 };
    for (std::size_t i = 0; i < corners.size(); ++i)
        engine.addFieldPoint(edges[i], corners[i].x, corners[i].y);
}

testclips::ClipTruth hdCamera(double tilt)
{
    testclips::ClipSpec clipSettings;
    clipSettings.width = 1280;
    clipSettings.height = 720;
    clipSettings.tilt = tilt;
    return testclips::truthFor(clipSettings);
}

// Calibrated on a generated camera with its pitch of 105 m x 68 m.
class MeasureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(api().pictureToPitch && api().pitchToPicture && api().setClickSigma
            && api().getClickSigma && api().measureDistance)
            << "libVistrel.so exports all five measuring functions";
        engine = newEngine();
        ASSERT_NE(engine, nullptr);
        calibrate(*engine, truth.corners, 105.0f, 68.0f);
    }

    double measure(cv::Point2d from, cv::Point2d to, double* sigmaMetres = nullptr)
    {
        double metres = -1.0, sigma = -1.0;
        EXPECT_EQ(api().measureDistance(engine, from.x, from.y, to.x, to.y, &metres, &sigma), 0);
        if (sigmaMetres)
            *sigmaMetres = sigma;
        return metres;
    }

    const testclips::ClipTruth truth = hdCamera(0.5);
    VistrelInterface* engine = nullptr;
};

} // namespace

TEST_F(MeasureTest, MapsAndMeasuresWithTheCornersOfTheSlots)
{
    const cv::Point2d pitchPoints[]
        = { { 0, 0 }, { 105, 0 }, { 0, 68 }, { 105, 68 }, { 52.5, 34 }, { 20, 60 }, { -10, 80 } };
    for (const cv::Point2d& pitch : pitchPoints) {
        const cv::Point2d picture = truth.toPicture(pitch.x, pitch.y);
        double px = 0, py = 0, x = 0, y = 0;
        ASSERT_EQ(api().pitchToPicture(engine, pitch.x, pitch.y, &px, &py), 0);
        EXPECT_LT(cv::norm(cv::Point2d(px, py) - picture), 1e-6) << pitch;
        ASSERT_EQ(api().pictureToPitch(engine, px, py, &x, &y), 0);
        EXPECT_LT(cv::norm(cv::Point2d(x, y) - pitch), 1e-9) << pitch;
    }

    EXPECT_EQ(api().getClickSigma(engine), 1.0) << "the default";
    double sigma1 = 0, sigma2 = 0, sigma0 = -1;
    const cv::Point2d top = truth.toPicture(52.5, 68), bottom = truth.toPicture(52.5, 0);
    EXPECT_NEAR(measure(top, bottom, &sigma1), 68.0, 1e-9);
    ASSERT_EQ(api().setClickSigma(engine, 2.0), 0);
    EXPECT_EQ(api().getClickSigma(engine), 2.0);
    measure(top, bottom, &sigma2);
    EXPECT_GT(sigma1, 0.0);
    EXPECT_NEAR(sigma2, 2.0 * sigma1, 1e-6 * sigma1) << "first order: proportional to sigma";
    ASSERT_EQ(api().setClickSigma(engine, 0.0), 0);
    measure(top, bottom, &sigma0);
    EXPECT_EQ(sigma0, 0.0);

    // A new width counts at once, without clicking the corners again.
    engine->setFieldWidth(210.0f);
    double x = 0, y = 0;
    ASSERT_EQ(api().pictureToPitch(engine, truth.corners[3].x, truth.corners[3].y, &x, &y), 0);
    EXPECT_NEAR(x, 210.0, 1e-9);
    EXPECT_NEAR(y, 0.0, 1e-9);
}

TEST_F(MeasureTest, RefusesWhatItCannotAnswerAndWritesNothing)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kUntouched = 12345.0;
    VistrelInterface* const uncalibrated = newEngine();
    VistrelInterface* const threeCorners = newEngine();
    VistrelInterface* const onOneLine = newEngine();
    VistrelInterface* const noWidth = newEngine();
    ASSERT_TRUE(uncalibrated && threeCorners && onOneLine && noWidth);
    calibrate(*threeCorners, truth.corners, 105.0f, 68.0f);
    threeCorners->clearFieldPoints();
    for (int i = 0; i < 3; ++i)
        threeCorners->addFieldPoint(i < 2 ? 0 : 1, truth.corners[i].x, truth.corners[i].y);
    calibrate(*onOneLine,
        { cv::Point(0, 0), cv::Point(100, 0), cv::Point(200, 0), cv::Point(50, 90) }, 105.0f,
        68.0f);
    calibrate(*noWidth, truth.corners, 0.0f, 68.0f);
    ForeignEngine foreign;

    double a = kUntouched, b = kUntouched;
    const auto toPitch = [&](VistrelInterface* e, double px, double py) {
        return api().pictureToPitch(e, px, py, &a, &b);
    };
    const auto distance = [&](VistrelInterface* e, double px, double py) {
        return api().measureDistance(e, 640, 400, px, py, &a, &b);
    };
    const auto sigma
        = [&](VistrelInterface* e, double value) { return api().setClickSigma(e, value); };
    const std::pair<const char*, std::function<int()>> calls[] = {
        { "null engine", [&] { return toPitch(nullptr, 640, 400); } },
        { "foreign engine", [&] { return distance(&foreign, 600, 300); } },
        { "null output", [&] { return api().pitchToPicture(engine, 1, 1, &a, nullptr); } },
        { "null metres", [&] { return api().measureDistance(engine, 1, 1, 2, 2, nullptr, &b); } },
        { "no corners", [&] { return toPitch(uncalibrated, 640, 400); } },
        { "three corners", [&] { return distance(threeCorners, 600, 300); } },
        { "corners on one line", [&] { return toPitch(onOneLine, 50, 50); } },
        { "width 0", [&] { return distance(noWidth, 600, 300); } },
        { "NaN coordinate", [&] { return toPitch(engine, kNaN, 400); } },
        { "infinite coordinate", [&] { return api().pitchToPicture(engine, kInf, 0, &a, &b); } },
        { "beyond the horizon", [&] { return toPitch(engine, 640, -100000); } },
        { "end beyond the horizon", [&] { return distance(engine, 640, -100000); } },
        { "sigma negative", [&] { return sigma(engine, -0.5); } },
        { "sigma above 50", [&] { return sigma(engine, 50.001); } },
        { "sigma NaN", [&] { return sigma(engine, kNaN); } },
        { "sigma infinite", [&] { return sigma(engine, kInf); } },
        { "sigma of a foreign engine", [&] { return sigma(&foreign, 1.0); } },
    };
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(), -1) << name;
        EXPECT_EQ(a, kUntouched) << name;
        EXPECT_EQ(b, kUntouched) << name;
    }
    EXPECT_EQ(api().getClickSigma(engine), 1.0) << "refused values keep the old one";
    EXPECT_EQ(api().getClickSigma(nullptr), -1.0);
    EXPECT_EQ(api().getClickSigma(&foreign), -1.0);
}

// While the loop plays and draws with the corners, a host clicks one set of
// corners after another and a script measures: every answer belongs to one
// complete set of corners, never to a mixture.
TEST_F(MeasureTest, MeasuresWholeCalibrationsWhileCornersChangeDuringPlayback)
{
    const testclips::ClipTruth other = hdCamera(1.0);
    const cv::Point2d from(600, 300), to(700, 500);
    const double first = measure(from, to);
    calibrate(*engine, other.corners, 105.0f, 68.0f);
    const double second = measure(from, to);
    ASSERT_NE(first, second);

    testclips::ClipSpec clipSettings;
    clipSettings.width = 64;
    clipSettings.height = 48;
    clipSettings.frames = 250;
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "measure-race")), 0);
    auto play = playAsync(*engine);
    std::atomic<bool> clicking { true };
    std::thread host([&] {
        for (int round = 0; round < 200; ++round) {
            calibrate(*engine, round % 2 ? truth.corners : other.corners, 105.0f, 68.0f);
            engine->setGameCentre(640, 360);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        clicking = false;
    });
    int answers = 0;
    while (clicking) {
        double metres = 0, sigma = 0, x = 0, y = 0;
        if (api().measureDistance(engine, from.x, from.y, to.x, to.y, &metres, &sigma) == 0) {
            ++answers;
            EXPECT_TRUE(metres == first || metres == second) << metres;
        }
        api().pictureToPitch(engine, from.x, from.y, &x, &y);
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
        const cv::Vec3b pixel = frame.at<cv::Vec3b>(cvRound(p.y), cvRound(p.x));
        EXPECT_GT(std::min({ pixel[0], pixel[1], pixel[2] }), 150) << p << " is on a white line";
    }

    calibrate(*engine,
        { cv::Point(152, 40), cv::Point(1125, 37), cv::Point(154, 660), cv::Point(1118, 672) },
        105.0f, 68.0f);
    EXPECT_NEAR(measure(halfwayTop, halfwayBottom), 68.0, 0.015 * 68.0);
    EXPECT_NEAR(measure(circleLeft, circleRight), 18.3, 0.03 * 18.3);
    EXPECT_NEAR(measure(circleTop, circleBottom), 18.3, 0.03 * 18.3);
}
