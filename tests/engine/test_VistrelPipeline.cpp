#include "ClipGenerator.h"
#include "Vistrel.h"
#include "VistrelTestAccess.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <functional>
#include <vector>

namespace {

using Frames = std::vector<cv::Mat>;

const cv::Vec3b kOrange(0, 128, 255);
const cv::Vec3b kRed(0, 0, 255);

// Players move a few pixels per frame at this rate and size.
testclips::ClipSpec playerSpec()
{
    testclips::ClipSpec spec;
    spec.width = 160;
    spec.height = 120;
    spec.fps = 2.0;
    spec.players = 4;
    return spec;
}

Frames renderFrames(const testclips::ClipSpec& spec, int count)
{
    Frames frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(testclips::renderFrame(spec, i));
    return frames;
}

// 255 where a player covers the pixel in any of the given frames.
cv::Mat playerPixels(const testclips::ClipSpec& spec, std::initializer_list<int> indices)
{
    testclips::ClipSpec empty = spec;
    empty.players = 0;
    cv::Mat any = cv::Mat::zeros(spec.height, spec.width, CV_8UC1);
    for (int index : indices) {
        cv::Mat difference;
        cv::absdiff(
            testclips::renderFrame(spec, index), testclips::renderFrame(empty, index), difference);
        cv::cvtColor(difference, difference, cv::COLOR_BGR2GRAY);
        any |= difference > 0;
    }
    return any;
}

int countPixelsOf(const cv::Mat& image, cv::Vec3b colour)
{
    int n = 0;
    image.forEach<cv::Vec3b>([&](const cv::Vec3b& p, const int*) { n += p == colour; });
    return n;
}

// The grey values of a grey picture shown as BGR; fails when it is not grey.
std::vector<int> greyLevels(const cv::Mat& picture)
{
    std::vector<cv::Mat> channels;
    cv::split(picture, channels);
    EXPECT_EQ(cv::norm(channels[0], channels[1], cv::NORM_INF), 0);
    EXPECT_EQ(cv::norm(channels[0], channels[2], cv::NORM_INF), 0);
    std::vector<int> levels;
    for (int v = 0; v < 256; ++v)
        if (cv::countNonZero(channels[0] == v) > 0)
            levels.push_back(v);
    return levels;
}

bool identical(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

Frames process(Vistrel& engine, const Frames& frames)
{
    Frames shown;
    for (const cv::Mat& frame : frames)
        shown.push_back(VistrelTestAccess::processFrame(engine, frame).clone());
    return shown;
}

} // namespace

// Three frames of moving players through the stages: the last stage switched
// on decides the picture. `check` gets the frames and the pictures shown.
TEST(VistrelPipeline, LastActiveStageDecidesThePicture)
{
    const testclips::ClipSpec spec = playerSpec();
    const Frames frames = renderFrames(spec, 3);
    const cv::Mat players = playerPixels(spec, { 1, 2 });
    cv::Mat nearPlayers;
    cv::dilate(players, nearPlayers, cv::Mat::ones(15, 15, CV_8UC1));

    struct Case
    {
        const char* name;
        std::function<void(Vistrel&)> configure;
        std::function<void(const Frames&, const Frames&)> check;
    };
    const auto unchanged = [](const Frames& in, const Frames& out) {
        for (std::size_t i = 0; i < in.size(); ++i)
            EXPECT_TRUE(identical(out[i], in[i])) << "frame " << i;
    };
    // The first two frames only fill the grey history.
    const auto motionOnPlayersOnly = [&](const Frames& in, const Frames& out) {
        EXPECT_TRUE(identical(out[0], in[0]));
        EXPECT_TRUE(identical(out[1], in[1]));
        cv::Mat moving;
        cv::cvtColor(out[2], moving, cv::COLOR_BGR2GRAY);
        EXPECT_GT(cv::countNonZero(moving), 0);
        EXPECT_EQ(cv::countNonZero(moving & ~players), 0);
    };
    const std::vector<Case> cases {
        { "master switch off",
            [](Vistrel& e) {
                e.setFilterEnabled(true);
                e.setMotionAnalysisEnabled(true);
                e.setShowColourMaskEnabled(true);
            },
            unchanged },
        { "every stage off", [](Vistrel& e) { e.setProcessingEnabled(true); }, unchanged },
        { "filter",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setFilterEnabled(true);
            },
            [](const Frames& in, const Frames& out) {
                cv::Mat smoothed;
                cv::GaussianBlur(in[2], smoothed, cv::Size(3, 3), 0, 0, cv::BORDER_REPLICATE);
                EXPECT_TRUE(identical(out[2], smoothed));
            } },
        { "colour classification",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setColourClassificationEnabled(true);
            },
            [](const Frames& in, const Frames& out) {
                cv::Mat hsv;
                cv::cvtColor(in[2], hsv, cv::COLOR_BGR2HSV);
                hsv &= cv::Scalar(0xF0, 0xF0, 0xF0);
                cv::cvtColor(hsv, hsv, cv::COLOR_HSV2BGR);
                EXPECT_TRUE(identical(out[2], hsv));
            } },
        { "classified colours, threshold 5 per mille",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setColourClassificationEnabled(true);
                e.setColourThresholdEnabled(true);
                e.setColourThreshold(5);
                e.setShowClassifiedColoursEnabled(true);
            },
            [&](const Frames&, const Frames& out) {
                // Nothing is marked before the first threshold; then the
                // rare colours (players, lines) show and the grass is red.
                EXPECT_EQ(countPixelsOf(out[0], kRed), spec.width * spec.height);
                EXPECT_GT(countPixelsOf(out[2], kRed), spec.width * spec.height / 2);
                cv::Mat redOnPlayers = playerPixels(spec, { 2 });
                const int playerCount = cv::countNonZero(redOnPlayers);
                out[2].forEach<cv::Vec3b>([&](const cv::Vec3b& p, const int* at) {
                    if (p != kRed)
                        redOnPlayers.at<uchar>(at[0], at[1]) = 0;
                });
                EXPECT_LT(cv::countNonZero(redOnPlayers), playerCount / 10);
            } },
        { "colour mask, threshold 999 per mille",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setColourClassificationEnabled(true);
                e.setColourThresholdEnabled(true);
                e.setColourThreshold(999);
                e.setShowColourMaskEnabled(true);
            },
            [](const Frames&, const Frames& out) {
                EXPECT_EQ(greyLevels(out[0]), std::vector<int> { 0 });
                EXPECT_EQ(greyLevels(out[1]), std::vector<int> { 255 });
            } },
        { "motion",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setMotionAnalysisEnabled(true);
            },
            [&](const Frames& in, const Frames& out) {
                motionOnPlayersOnly(in, out);
                EXPECT_EQ(greyLevels(out[2]), (std::vector<int> { 0, 255 }));
            } },
        { "probability of motion",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setMotionAnalysisEnabled(true);
                e.setProbabilityThresholdEnabled(true);
            },
            [&](const Frames& in, const Frames& out) {
                // recent 2/3 + new 1/3: 170 for continuing motion, 255 for new.
                motionOnPlayersOnly(in, out);
                EXPECT_EQ(greyLevels(out[2]), (std::vector<int> { 0, 170, 255 }));
            } },
        { "probability of colour and motion",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setColourClassificationEnabled(true);
                e.setMotionAnalysisEnabled(true);
                e.setProbabilityThresholdEnabled(true);
            },
            [&](const Frames&, const Frames& out) {
                // An empty mask halves everything: motion alone averages 64
                // and falls below the threshold, new motion averages 128.
                EXPECT_EQ(greyLevels(out[2]), (std::vector<int> { 0, 128 }));
            } },
        { "blobs on the probability",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setMotionAnalysisEnabled(true);
                e.setProbabilityThresholdEnabled(true);
                e.setBlobDetectionEnabled(true);
                e.setBlobWindowWidth(3);
                e.setBlobWindowHeight(3);
                e.setBlobMaxEmptyPercent(50.f);
                e.setBlobMinFillPercent(30.f);
            },
            [&](const Frames& in, const Frames& out) {
                cv::Mat orange(out[2].size(), CV_8UC1, cv::Scalar(0));
                out[2].forEach<cv::Vec3b>([&](const cv::Vec3b& p, const int* at) {
                    if (p == kOrange)
                        orange.at<uchar>(at[0], at[1]) = 255;
                });
                EXPECT_GT(cv::countNonZero(orange), 0);
                EXPECT_EQ(cv::countNonZero(orange & ~nearPlayers), 0);
                cv::Mat rest = out[2].clone();
                in[2].copyTo(rest, orange);
                EXPECT_TRUE(identical(rest, in[2]));
            } },
        { "blobs without the probability threshold",
            [](Vistrel& e) {
                e.setProcessingEnabled(true);
                e.setMotionAnalysisEnabled(true);
                e.setBlobDetectionEnabled(true);
                e.setBlobWindowWidth(3);
                e.setBlobWindowHeight(3);
            },
            unchanged },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Vistrel engine;
        c.configure(engine);
        c.check(frames, process(engine, frames));
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
        engine.setProcessingEnabled(true);
        engine.setColourClassificationEnabled(true);
        engine.setColourThresholdEnabled(true);
        engine.setColourThreshold(100); // the square's share is 60 per mille
        engine.setColourSegmentationEnabled(segmentation);
        engine.setShowColourMaskEnabled(true);
        process(engine, { frame });
        const cv::Mat shown = VistrelTestAccess::processFrame(engine, frame);
        EXPECT_EQ(shown.at<cv::Vec3b>(6, 6), cv::Vec3b(255, 255, 255));
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
    engine.setProcessingEnabled(true);
    engine.setColourClassificationEnabled(true);
    engine.setShowColourMaskEnabled(true);
    process(engine, { frame });
    for (auto [x, y] : { std::pair { 16, 4 }, { 6, 12 }, { -1, -1 }, { 1 << 30, 1 << 30 } })
        EXPECT_EQ(engine.pickColour(x, y, false), 0);
    EXPECT_EQ(engine.pickColour(6, 4, true), 0);
    cv::Mat shown = VistrelTestAccess::processFrame(engine, frame);
    EXPECT_EQ(countPixelsOf(shown, cv::Vec3b(255, 255, 255)), 1);
    EXPECT_EQ(shown.at<cv::Vec3b>(4, 6), cv::Vec3b(255, 255, 255));
    engine.clearColourTable();
    shown = VistrelTestAccess::processFrame(engine, frame);
    EXPECT_EQ(countPixelsOf(shown, cv::Vec3b(0, 0, 0)), frame.rows * frame.cols);
}

// Every stage on, with frames of one row or column, odd widths and a change
// of size in the middle: the picture always keeps the frame's size.
TEST(VistrelPipeline, TinyOddAndChangingFrameSizesPassEveryStage)
{
    Vistrel engine;
    engine.setProcessingEnabled(true);
    engine.setFilterEnabled(true);
    engine.setColourClassificationEnabled(true);
    engine.setColourThresholdEnabled(true);
    engine.setColourThreshold(300);
    engine.setColourSegmentationEnabled(true);
    engine.setShowClassifiedColoursEnabled(true);
    engine.setShowColourMaskEnabled(true);
    engine.setMotionAnalysisEnabled(true);
    engine.setProbabilityThresholdEnabled(true);
    engine.setBlobDetectionEnabled(true);
    engine.setBlobWindowWidth(3);
    engine.setBlobWindowHeight(2);
    engine.setBlobMaxEmptyPercent(100.f);
    engine.setBlobMinFillPercent(0.f);
    cv::RNG rng(5);
    for (const cv::Size& size : { cv::Size(1, 1), cv::Size(1, 7), cv::Size(7, 1), cv::Size(2, 2),
             cv::Size(641, 3), cv::Size(33, 1), cv::Size(5, 4) }) {
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << size << " frame " << i);
            cv::Mat frame(size, CV_8UC3);
            rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
            const cv::Mat& shown = VistrelTestAccess::processFrame(engine, frame);
            EXPECT_EQ(shown.size(), size);
            EXPECT_EQ(shown.type(), CV_8UC3);
        }
    }
}
