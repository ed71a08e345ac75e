#include "AnalysisTestSupport.h"
#include "core/Vistrel.h"
#include "VistrelTestAccess.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace analysistest;

namespace {

using Frames = std::vector<cv::Mat>;

Frames process(Vistrel& engine, const Frames& frames)
{
    Frames shown;
    for (const cv::Mat& frame : frames)
        shown.push_back(VistrelTestAccess::processFrame(engine, frame).clone());
    return shown;
}

bool identical(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

// The grey levels of a grey picture shown in BGR.
std::vector<int> greyLevels(const cv::Mat& picture)
{
    std::vector<int> levels;
    for (int v = 0; v < 256; ++v)
        if (cv::countNonZero(pixelsOf(picture, cv::Vec3b(v, v, v))) > 0)
            levels.push_back(v);
    return levels;
}

void enable(Vistrel& engine, std::initializer_list<void (Vistrel::*)(bool)> switches)
{
    engine.setProcessingEnabled(true);
    for (auto set : switches)
        (engine.*set)(true);
}

} // namespace

// Three frames of moving players through combinations of stages that the
// tests through the interface leave out: which stage decides the picture,
// when a colour threshold shows, and the levels of the averaged evidence.
TEST(VistrelPipeline, LastActiveStageDecidesThePicture)
{
    const Frames frames { testclips::renderFrame(playerClip(3), 0),
        testclips::renderFrame(playerClip(3), 1), testclips::renderFrame(playerClip(3), 2) };
    struct Case
    {
        const char* name;
        std::function<void(Vistrel&)> configure;
        std::function<void(const Frames&)> check;
    };
    const auto unchanged = [&](const Frames& shown) {
        for (std::size_t i = 0; i < frames.size(); ++i)
            EXPECT_TRUE(identical(shown[i], frames[i])) << "frame " << i;
    };
    const std::vector<Case> cases {
        { "master switch off",
            [](Vistrel& e) {
                enable(e, { &Vistrel::setFilterEnabled, &Vistrel::setMotionAnalysisEnabled });
                e.setProcessingEnabled(false);
            },
            unchanged },
        { "every stage off", [](Vistrel& e) { enable(e, {}); }, unchanged },
        { "filter", [](Vistrel& e) { enable(e, { &Vistrel::setFilterEnabled }); },
            [&](const Frames& shown) {
                cv::Mat smoothed;
                cv::GaussianBlur(frames[2], smoothed, cv::Size(3, 3), 0, 0, cv::BORDER_REPLICATE);
                EXPECT_TRUE(identical(shown[2], smoothed));
            } },
        { "colour mask, threshold 999 per mille from the next frame on",
            [](Vistrel& e) {
                enable(e,
                    { &Vistrel::setColourClassificationEnabled, &Vistrel::setColourThresholdEnabled,
                        &Vistrel::setShowColourMaskEnabled });
                e.setColourThreshold(999);
            },
            [](const Frames& shown) {
                EXPECT_EQ(greyLevels(shown[0]), std::vector<int> { 0 });
                EXPECT_EQ(greyLevels(shown[1]), std::vector<int> { 255 });
            } },
        { "probability of motion: 2/3 recent + 1/3 new",
            [](Vistrel& e) {
                enable(e,
                    { &Vistrel::setMotionAnalysisEnabled,
                        &Vistrel::setProbabilityThresholdEnabled });
            },
            [](const Frames& shown) {
                EXPECT_EQ(greyLevels(shown[2]), (std::vector<int> { 0, 170, 255 }));
            } },
        { "probability of an empty mask and motion: 64 falls below the threshold",
            [](Vistrel& e) {
                enable(e,
                    { &Vistrel::setColourClassificationEnabled, &Vistrel::setMotionAnalysisEnabled,
                        &Vistrel::setProbabilityThresholdEnabled });
            },
            [](const Frames& shown) {
                EXPECT_EQ(greyLevels(shown[2]), (std::vector<int> { 0, 128 }));
            } },
        { "blobs without the probability threshold",
            [](Vistrel& e) {
                enable(
                    e, { &Vistrel::setMotionAnalysisEnabled, &Vistrel::setBlobDetectionEnabled });
                e.setBlobWindowWidth(3);
                e.setBlobWindowHeight(3);
            },
            unchanged },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Vistrel engine;
        c.configure(engine);
        c.check(process(engine, frames));
    }
}

// A rare-coloured square with a one-pixel hole of the dominant colour: the
// cross window fills the hole in the mask, which then shows filled.
TEST(VistrelPipeline, ColourSegmentationFillsHolesOfTheMask)
{
    cv::Mat frame(20, 20, CV_8UC3, cv::Scalar(60, 150, 70));
    frame(cv::Rect(5, 5, 5, 5)).setTo(cv::Scalar(200, 40, 40));
    frame.at<cv::Vec3b>(7, 7) = cv::Vec3b(60, 150, 70);
    for (bool segmentation : { false, true }) {
        SCOPED_TRACE(segmentation);
        Vistrel engine;
        enable(engine,
            { &Vistrel::setColourClassificationEnabled, &Vistrel::setColourThresholdEnabled,
                &Vistrel::setShowColourMaskEnabled });
        engine.setColourThreshold(100); // the square's share is 60 per mille
        engine.setColourSegmentationEnabled(segmentation);
        const cv::Mat shown = process(engine, { frame, frame })[1];
        EXPECT_EQ(shown.at<cv::Vec3b>(6, 6)[0], 255);
        EXPECT_EQ(shown.at<cv::Vec3b>(7, 7)[0], segmentation ? 255 : 0);
        EXPECT_EQ(shown.at<cv::Vec3b>(0, 0)[0], 0);
    }
}

TEST(VistrelPipeline, PickedColoursShowInTheMaskUntilCleared)
{
    cv::Mat frame(12, 16, CV_8UC3, cv::Scalar(60, 150, 70));
    frame.at<cv::Vec3b>(4, 6) = cv::Vec3b(200, 40, 40);
    Vistrel engine;
    EXPECT_EQ(engine.pickColour(6, 4, true), -1); // nothing classified yet
    enable(
        engine, { &Vistrel::setColourClassificationEnabled, &Vistrel::setShowColourMaskEnabled });
    process(engine, { frame });
    for (auto [x, y] : { std::pair { 16, 4 }, { 6, 12 }, { -1, -1 }, { 1 << 30, 1 << 30 } })
        EXPECT_EQ(engine.pickColour(x, y, false), 0);
    EXPECT_EQ(engine.pickColour(6, 4, true), 0);
    const cv::Mat white = pixelsOf(process(engine, { frame })[0], cv::Vec3b(255, 255, 255));
    EXPECT_EQ(cv::countNonZero(white), 1);
    EXPECT_EQ(white.at<uchar>(4, 6), 255);
    engine.clearColourTable();
    EXPECT_EQ(greyLevels(process(engine, { frame })[0]), std::vector<int> { 0 });
}

// Every stage on, with tiny frames and a change of size between frames
// (the grey history starts afresh): the picture keeps the frame's size.
TEST(VistrelPipeline, ChangingFrameSizesPassEveryStage)
{
    Vistrel engine;
    enable(engine,
        { &Vistrel::setFilterEnabled, &Vistrel::setColourClassificationEnabled,
            &Vistrel::setColourThresholdEnabled, &Vistrel::setColourSegmentationEnabled,
            &Vistrel::setShowClassifiedColoursEnabled, &Vistrel::setShowColourMaskEnabled,
            &Vistrel::setMotionAnalysisEnabled, &Vistrel::setProbabilityThresholdEnabled,
            &Vistrel::setBlobDetectionEnabled });
    engine.setColourThreshold(300);
    engine.setBlobWindowWidth(3);
    engine.setBlobWindowHeight(2);
    engine.setBlobMaxEmptyPercent(100.f);
    cv::RNG rng(5);
    for (const cv::Size& size :
        { cv::Size(1, 1), cv::Size(7, 1), cv::Size(2, 2), cv::Size(641, 3), cv::Size(5, 4) }) {
        for (int i = 0; i < 3; ++i) {
            cv::Mat frame(size, CV_8UC3);
            rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
            const cv::Mat& shown = VistrelTestAccess::processFrame(engine, frame);
            EXPECT_EQ(shown.size(), size);
            EXPECT_EQ(shown.type(), CV_8UC3);
        }
    }
}
