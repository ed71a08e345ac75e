#include "AnalysisReference.h"
#include "analysis/CSegmentation.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <initializer_list>
#include <tuple>

namespace {

bool identical(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type()
        && (a.empty() || cv::norm(a, b, cv::NORM_INF) == 0);
}

CBinaryWindow window3(std::initializer_list<int> cells)
{
    CBinaryWindow window(3);
    int i = 0;
    for (int value : cells) {
        window.cell(i / 3, i % 3) = value;
        ++i;
    }
    return window;
}

CBinaryWindow crossWindow() { return window3({ 0, 255, 0, 255, 255, 255, 0, 255, 0 }); }
CBinaryWindow diagonalWindow() { return window3({ 255, 0, 255, 0, 255, 0, 255, 0, 255 }); }

CBinaryWindow randomWindow(cv::RNG& rng, int size)
{
    CBinaryWindow window(size);
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column)
            window.cell(row, column) = rng.uniform(0, 2) * 255;
    return window;
}

// Mostly 0 and 255 with a few other values, so every branch of the window
// test occurs.
cv::Mat randomMask(cv::RNG& rng, int rows, int columns, double fillShare)
{
    cv::Mat mask(rows, columns, CV_8UC1);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const double draw = rng.uniform(0.0, 1.0);
            mask.at<uchar>(y, x) = draw < 0.05 ? static_cast<uchar>(rng.uniform(1, 255))
                : draw < fillShare             ? 255
                                               : 0;
        }
    return mask;
}

const std::vector<cv::Size> kImageSizes { { 1, 1 }, { 1, 17 }, { 23, 1 }, { 2, 2 }, { 7, 5 },
    { 16, 9 }, { 33, 31 }, { 64, 48 } };

} // namespace

// 5 x 5 black images with one interesting pixel pattern around (2, 2), run
// through the engine's two windows (cross, then diagonal cross).
TEST(CSegmentation, CrossAndDiagonalWindowsFillEnclosedPixels)
{
    struct Case
    {
        const char* name;
        std::vector<cv::Point> set; // pixels set to 255
        cv::Point probe;
        int afterCross;
        int afterBoth;
    };
    const std::vector<cv::Point> ring { { 1, 1 }, { 2, 1 }, { 3, 1 }, { 1, 2 }, { 3, 2 }, { 1, 3 },
        { 2, 3 }, { 3, 3 } };
    const std::vector<cv::Point> diagonals { { 1, 1 }, { 3, 1 }, { 1, 3 }, { 3, 3 } };
    const std::vector<cv::Point> leftEdge { { 0, 1 }, { 1, 1 }, { 1, 2 }, { 1, 3 }, { 0, 3 } };
    const std::vector<Case> cases {
        { "eight neighbours", ring, { 2, 2 }, 255, 255 },
        { "diagonal neighbours only", diagonals, { 2, 2 }, 0, 255 },
        { "border pixel", leftEdge, { 0, 2 }, 0, 0 },
        { "lone set pixel", { { 2, 2 } }, { 2, 2 }, 255, 255 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cv::Mat image = cv::Mat::zeros(5, 5, CV_8UC1);
        for (const cv::Point& p : c.set)
            image.at<uchar>(p) = 255;

        CSegmentation crossOnly;
        crossOnly.AddWindow(crossWindow());
        crossOnly.SetImage(image);
        EXPECT_EQ(crossOnly.ApplyWindows(), 0);
        EXPECT_EQ(crossOnly.getResult().at<uchar>(c.probe), c.afterCross);

        CSegmentation both;
        both.AddWindow(crossWindow());
        both.AddWindow(diagonalWindow());
        both.SetImage(image);
        both.ApplyWindows();
        EXPECT_EQ(both.getResult().at<uchar>(c.probe), c.afterBoth);
        EXPECT_TRUE(identical(both.getInput(), both.getResult()));
    }
}

TEST(CBinaryWindow, MatchRejectsMismatchedOrEmptyWindows)
{
    EXPECT_EQ(crossWindow().Match(CBinaryWindow(5)), -1);
    EXPECT_EQ(CBinaryWindow(0).Match(CBinaryWindow(0)), -1);
    EXPECT_EQ(CBinaryWindow(-3).Match(CBinaryWindow(-3)), -1);
    CBinaryWindow copy = crossWindow();
    copy.cell(0, 0) = 7; // a copy owns its cells
    EXPECT_EQ(crossWindow().cell(0, 0), 0);
}

TEST(CSegmentation, WindowPassesMatchPlainPatchMatching)
{
    cv::RNG rng(4);
    for (const cv::Size& size : kImageSizes) {
        for (int windowSize : { 1, 2, 3, 4, 5, 9 }) {
            SCOPED_TRACE(testing::Message() << size << " window " << windowSize);
            const std::vector<CBinaryWindow> windows { randomWindow(rng, windowSize),
                randomWindow(rng, windowSize), crossWindow() };
            const cv::Mat image = randomMask(rng, size.height, size.width, 0.7);
            CSegmentation segmentation;
            for (const CBinaryWindow& window : windows)
                segmentation.AddWindow(window);
            segmentation.SetImage(image);
            segmentation.ApplyWindows();
            EXPECT_TRUE(
                identical(segmentation.getResult(), reference::applyWindows(image, windows)));
        }
    }
}

TEST(CSegmentation, BlobDetectionMatchesPlainWindowSums)
{
    cv::RNG rng(7);
    const std::vector<std::pair<int, int>> windows { { 1, 1 }, { 2, 2 }, { 3, 1 }, { 1, 4 },
        { 5, 5 }, { 4, 7 }, { 31, 3 }, { 70, 70 } };
    for (const cv::Size& size : kImageSizes) {
        for (auto [w, h] : windows) {
            SCOPED_TRACE(testing::Message() << size << " window " << w << "x" << h);
            const cv::Mat image = randomMask(rng, size.height, size.width, 0.6);
            const double maxEmpty = rng.uniform(0.0, 100.0);
            const double minFill = rng.uniform(0.0, 100.0);
            CSegmentation segmentation;
            segmentation.SetImage(image);
            EXPECT_EQ(segmentation.DetectBlobs(w, h, maxEmpty, minFill), 0);
            const std::vector<CBlob> expected
                = reference::detectBlobs(image, w, h, maxEmpty, minFill);
            const std::vector<CBlob>& found = segmentation.getBlobs();
            ASSERT_EQ(found.size(), expected.size());
            for (std::size_t i = 0; i < found.size(); ++i) {
                const CBlob& a = found[i];
                const CBlob& b = expected[i];
                EXPECT_EQ(std::tie(a.area, a.width, a.height, a.filled, a.empty, a.sum, a.x, a.y),
                    std::tie(b.area, b.width, b.height, b.filled, b.empty, b.sum, b.x, b.y));
            }
        }
    }
}

TEST(CSegmentation, BlobCountsAndEmptyShareBoundary)
{
    struct Case
    {
        const char* name;
        cv::Mat image;
        int w, h;
        double maxEmpty, minFill;
        std::size_t blobs;
    };
    cv::Mat quarterEmpty(3, 3, CV_8UC1, cv::Scalar(255));
    quarterEmpty.at<uchar>(0, 0) = 0; // one of the four pixels of the window at (1, 1)
    const cv::Mat full(10, 10, CV_8UC1, cv::Scalar(255));
    const std::vector<Case> cases {
        { "all 255, 5 x 5 in 10 x 10", full, 5, 5, 50, 50, 36 },
        { "all 0", cv::Mat::zeros(10, 10, CV_8UC1), 5, 5, 50, 50, 0 },
        { "25 % empty, limit 25", quarterEmpty, 2, 2, 25, 50, 0 },
        { "25 % empty, limit 26", quarterEmpty, 2, 2, 26, 50, 1 },
        { "zero width", full, 0, 5, 100, 0, 0 },
        { "negative height", full, 3, -3, 100, 0, 0 },
        { "wider than the image", full, 11, 3, 100, 0, 0 },
        { "even window as wide as the image", full, 10, 3, 100, 0, 0 },
        { "taller than the image", full, 3, 40, 100, 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSegmentation segmentation;
        segmentation.SetImage(c.image);
        segmentation.DetectBlobs(c.w, c.h, c.maxEmpty, c.minFill);
        EXPECT_EQ(segmentation.getBlobs().size(), c.blobs);
        const cv::Mat frame(c.image.size(), CV_8UC3, cv::Scalar(10, 20, 30));
        segmentation.DrawBlobs(frame);
        if (c.blobs == 0) {
            EXPECT_TRUE(identical(segmentation.getDrawn(), frame));
        }
    }
}

TEST(CSegmentation, RejectsMissingOrMultiChannelInput)
{
    CSegmentation segmentation;
    EXPECT_EQ(segmentation.ApplyWindows(), -1);
    EXPECT_EQ(segmentation.DetectBlobs(3, 3, 50, 50), -1);
    segmentation.SetImage(cv::Mat(8, 8, CV_8UC3, cv::Scalar::all(255)));
    EXPECT_EQ(segmentation.DetectBlobs(3, 3, 50, 50), -2);
    EXPECT_TRUE(segmentation.getBlobs().empty());
}

// Few blobs are drawn one by one, many through the outline mask; both must
// give exactly what one cv::rectangle per blob gives, clipped at the border.
TEST(CSegmentation, DrawnRectanglesMatchOneRectanglePerBlob)
{
    cv::RNG rng(11);
    for (const cv::Size& size :
        { cv::Size(1, 9), cv::Size(9, 1), cv::Size(40, 30), cv::Size(97, 61) }) {
        for (double fill : { 0.02, 0.5, 1.0 }) {
            for (auto [w, h] : { std::pair { 1, 1 }, { 2, 3 }, { 7, 5 } }) {
                SCOPED_TRACE(
                    testing::Message() << size << " fill " << fill << " " << w << "x" << h);
                const cv::Mat image = randomMask(rng, size.height, size.width, fill);
                cv::Mat frame(size, CV_8UC3);
                rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
                CSegmentation segmentation;
                segmentation.SetImage(image);
                segmentation.DetectBlobs(w, h, 60, 30);
                segmentation.DrawBlobs(frame);
                EXPECT_TRUE(identical(
                    segmentation.getDrawn(), reference::drawBlobs(frame, segmentation.getBlobs())));
            }
        }
    }
}
