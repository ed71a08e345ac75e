// The analysis stages switched on through VistrelInterface while the engine
// plays generated clips with moving players.

#include "AnalysisTestSupport.h"
#include "FfmpegPipe.h"
#include "PlaybackTestSupport.h"

#include <atomic>

using namespace analysistest;
using namespace playbacktest;

namespace {

const cv::Vec3b kOrange(0, 128, 255);
const cv::Vec3b kRed(0, 0, 255);

// Plays the whole clip as fast as the loop goes and returns the last
// exported picture in B, G, R order.
cv::Mat playToEnd(VistrelInterface& engine, const std::string& path)
{
    EXPECT_EQ(engine.LoadVideo(path), 0);
    engine.setDelayFactor(0.0f);
    EXPECT_EQ(engine.Play(), 0);
    cv::Mat picture;
    cv::cvtColor(exported(engine), picture, cv::COLOR_RGB2BGR);
    engine.StopPlayback();
    return picture;
}

struct StageCase
{
    const char* name;
    int frames;
    std::function<void(VistrelInterface&)> configure;
    // Gets the clip and the last picture shown.
    std::function<void(const testclips::ClipSettings&, const cv::Mat&)> check;
};

void motionOn(VistrelInterface& engine)
{
    engine.setProcessingEnabled(true);
    engine.setMotionAnalysisEnabled(true);
}

void expectWhiteOnlyOnPlayers(const testclips::ClipSettings& clipSettings, const cv::Mat& picture)
{
    const int last = clipSettings.frames - 1;
    const cv::Mat white = pixelsOf(picture, cv::Vec3b(255, 255, 255));
    EXPECT_GT(cv::countNonZero(white), 0);
    EXPECT_EQ(
        cv::countNonZero(white | pixelsOf(picture, cv::Vec3b(0, 0, 0))), clipSettings.width * clipSettings.height);
    EXPECT_EQ(cv::countNonZero(white & ~playerPixels(clipSettings, { last - 1, last })), 0);
}

class AnalysisStage : public ::testing::TestWithParam<StageCase>
{
};

} // namespace

TEST_P(AnalysisStage, ChangesThePlayedPicture)
{
    const StageCase& stage = GetParam();
    const testclips::ClipSettings clipSettings = playerClip(stage.frames);
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    stage.configure(*engine);
    const cv::Mat picture
        = playToEnd(*engine, losslessClip(clipSettings, "players" + std::to_string(stage.frames)));
    stage.check(clipSettings, picture);
}

INSTANTIATE_TEST_SUITE_P(Stages, AnalysisStage,
    ::testing::Values(StageCase { "MotionNeedsThreeAnalysedFrames", 2, motionOn,
                          [](const testclips::ClipSettings& clipSettings, const cv::Mat& picture) {
                              EXPECT_TRUE(samePicture(picture, testclips::renderFrame(clipSettings, 1)));
                          } },
        StageCase { "MotionIsWhereThePlayersMove", 3, motionOn, expectWhiteOnlyOnPlayers },
        StageCase { "BlobsAreMarkedNearThePlayers", 3,
            [](VistrelInterface& engine) {
                motionOn(engine);
                engine.setProbabilityThresholdEnabled(true);
                engine.setBlobDetectionEnabled(true);
                engine.setBlobWindowWidth(3);
                engine.setBlobWindowHeight(3);
                engine.setBlobMaxEmptyPercent(50.f);
                engine.setBlobMinFillPercent(30.f);
            },
            [](const testclips::ClipSettings& clipSettings, const cv::Mat& picture) {
                const cv::Mat orange = pixelsOf(picture, kOrange);
                cv::Mat nearPlayers;
                cv::dilate(
                    playerPixels(clipSettings, { 1, 2 }), nearPlayers, cv::Mat::ones(15, 15, CV_8UC1));
                EXPECT_GT(cv::countNonZero(orange), 0);
                EXPECT_EQ(cv::countNonZero(orange & ~nearPlayers), 0);
                cv::Mat rest = picture.clone();
                testclips::renderFrame(clipSettings, 2).copyTo(rest, orange);
                EXPECT_TRUE(samePicture(rest, testclips::renderFrame(clipSettings, 2)));
            } },
        StageCase { "ClassificationShowsQuantisedColours", 3,
            [](VistrelInterface& engine) {
                engine.setProcessingEnabled(true);
                engine.setColourClassificationEnabled(true);
            },
            [](const testclips::ClipSettings& clipSettings, const cv::Mat& picture) {
                cv::Mat hsv;
                cv::cvtColor(testclips::renderFrame(clipSettings, 2), hsv, cv::COLOR_BGR2HSV);
                hsv &= cv::Scalar(0xF0, 0xF0, 0xF0);
                cv::cvtColor(hsv, hsv, cv::COLOR_HSV2BGR);
                EXPECT_TRUE(samePicture(picture, hsv));
            } },
        StageCase { "UnselectedColoursArePaintedRed", 3,
            [](VistrelInterface& engine) {
                engine.setProcessingEnabled(true);
                engine.setColourClassificationEnabled(true);
                engine.setColourThresholdEnabled(true);
                engine.setColourThreshold(5);
                engine.setShowClassifiedColoursEnabled(true);
            },
            [](const testclips::ClipSettings& clipSettings, const cv::Mat& picture) {
                // The grass is common and painted; the rare players are not.
                const cv::Mat red = pixelsOf(picture, kRed);
                const cv::Mat players = playerPixels(clipSettings, { 2 });
                EXPECT_GT(cv::countNonZero(red), clipSettings.width * clipSettings.height / 2);
                EXPECT_LT(cv::countNonZero(red & players), cv::countNonZero(players) / 10);
            } }),
    [](const auto& info) { return std::string(info.param.name); });

// Clips of one row or column and odd widths, written from raw frames, with
// every stage on: the export keeps the reported size, and AddressSanitizer
// sees no read outside an image.
TEST(AnalysisStages, TinyAndOddClipsPassEveryStage)
{
    cv::RNG rng(9);
    for (const cv::Size& size : { cv::Size(33, 1), cv::Size(1, 17), cv::Size(641, 3) }) {
        SCOPED_TRACE(testing::Message() << size);
        const std::string path = (enginetest::scratchDir()
            / ("tiny" + std::to_string(size.width) + "x" + std::to_string(size.height) + ".mkv"))
                                     .string();
        testclips::FfmpegPipe ffmpeg;
        std::string log;
        ASSERT_TRUE(ffmpeg.start(
            { "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgr24",
                "-video_size", std::to_string(size.width) + "x" + std::to_string(size.height),
                "-framerate", "25", "-i", "-", "-c:v", "ffv1", "-pix_fmt", "bgr0", path },
            &log))
            << log;
        for (int i = 0; i < 5; ++i) {
            cv::Mat frame(size, CV_8UC3);
            rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
            ffmpeg.write(frame.data, frame.total() * frame.elemSize());
        }
        ASSERT_TRUE(ffmpeg.finish(&log)) << log;

        VistrelInterface* engine = newEngine();
        ASSERT_NE(engine, nullptr);
        for (auto set :
            { &VistrelInterface::setProcessingEnabled, &VistrelInterface::setFilterEnabled,
                &VistrelInterface::setColourClassificationEnabled,
                &VistrelInterface::setColourThresholdEnabled,
                &VistrelInterface::setColourSegmentationEnabled,
                &VistrelInterface::setShowClassifiedColoursEnabled,
                &VistrelInterface::setShowColourMaskEnabled,
                &VistrelInterface::setMotionAnalysisEnabled,
                &VistrelInterface::setProbabilityThresholdEnabled,
                &VistrelInterface::setBlobDetectionEnabled })
            (engine->*set)(true);
        engine->setColourThreshold(400);
        engine->setBlobWindowWidth(3);
        engine->setBlobWindowHeight(3);
        engine->setBlobMaxEmptyPercent(100.f);
        const cv::Mat picture = playToEnd(*engine, path);
        EXPECT_EQ(picture.size(), size);
        EXPECT_GT(cv::countNonZero(picture.reshape(1)), 0) << "no frame was shown";
    }
}

// The GUI thread picks and clears colours and changes the stage parameters
// while the loop classifies on its own thread; ThreadSanitizer checks that
// the colour table is only touched under the engine mutex.
TEST(AnalysisStages, ColourTableCallsDuringPlaybackAreSerialised)
{
    testclips::ClipSettings clipSettings = playerClip(30);
    clipSettings.fps = 25.0;
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->pickColour(10, 10, true), -1); // no frame analysed yet
    ASSERT_EQ(engine->LoadVideo(losslessClip(clipSettings, "serialised")), 0);
    engine->setDelayFactor(0.1f);
    engine->setProcessingEnabled(true);
    engine->setColourClassificationEnabled(true);
    engine->setColourThresholdEnabled(true);
    engine->setShowClassifiedColoursEnabled(true);
    engine->setMotionAnalysisEnabled(true);
    engine->setProbabilityThresholdEnabled(true);

    auto play = playAsync(*engine);
    int picks = 0;
    for (int i = 0; !engine->isPlayFinished() || i == 0; ++i) {
        const int result = engine->pickColour(i % 170 - 5, i % 130 - 5, i % 2 == 0);
        EXPECT_TRUE(result == 0 || result == -1);
        picks += result == 0;
        if (i % 7 == 0)
            engine->clearColourTable();
        engine->setColourThreshold(i % 1200 - 100);
        engine->setBlobDetectionEnabled(i % 3 == 0);
        engine->setBlobWindowWidth(i % 9 - 2);
        engine->setBlobWindowHeight(i % 5);
        engine->setBlobMaxEmptyPercent(static_cast<float>(i % 120));
        engine->setBlobMinFillPercent(static_cast<float>(i % 110));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(finishes(play));
    EXPECT_EQ(play.get(), 0);
    EXPECT_GT(picks, 0);
}
