#include "analysis/CLookupTable.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

// A BGR frame whose HSV conversion is exactly the given HSV colour.
cv::Vec3b bgrOf(cv::Vec3b hsv)
{
    cv::Mat pixel(1, 1, CV_8UC3, cv::Scalar(hsv[0], hsv[1], hsv[2]));
    cv::cvtColor(pixel, pixel, cv::COLOR_HSV2BGR);
    return pixel.at<cv::Vec3b>(0, 0);
}

int indexOfPixel(const cv::Mat& hsv, int x, int y)
{
    const cv::Vec3b c = hsv.at<cv::Vec3b>(y, x);
    return CLookupTable::indexOfLevels(c[0] / 16, c[1] / 16, c[2] / 16);
}

} // namespace

TEST(CLookupTable, QuantisesHsvChannelsAndCountsEachColour)
{
    cv::RNG rng(3);
    for (const cv::Size& size :
        { cv::Size(1, 1), cv::Size(1, 13), cv::Size(13, 1), cv::Size(31, 17) }) {
        SCOPED_TRACE(testing::Message() << size);
        cv::Mat frame(size, CV_8UC3);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        CLookupTable table;
        ASSERT_EQ(table.Classify(frame), 0);

        cv::Mat hsv;
        cv::cvtColor(frame, hsv, cv::COLOR_BGR2HSV);
        std::vector<int> counts(CLookupTable::kEntryCount, 0);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                const cv::Vec3b c = hsv.at<cv::Vec3b>(y, x);
                const cv::Vec3b q(16 * (c[0] / 16), 16 * (c[1] / 16), 16 * (c[2] / 16));
                EXPECT_EQ(table.getHsvImage().at<cv::Vec3b>(y, x), q);
                ++counts[static_cast<std::size_t>(indexOfPixel(hsv, x, y))];
            }
        for (std::size_t i = 0; i < counts.size(); ++i)
            EXPECT_EQ(table.getEntries()[i].count, counts[i]) << "entry " << i;
    }
    CLookupTable table;
    EXPECT_EQ(table.Classify(cv::Mat()), -1);
    EXPECT_EQ(table.Classify(cv::Mat(4, 4, CV_8UC1)), -2);
}

// 50 x 50 pixels: 10 of a rare colour (share 4 per mille), the rest of a
// common one (share 996). The threshold of one frame shows in the mask of the
// next one.
TEST(CLookupTable, FrequencyThresholdMarksRarerColours)
{
    const cv::Vec3b common = bgrOf({ 60, 200, 200 });
    const cv::Vec3b rare = bgrOf({ 120, 200, 200 });
    cv::Mat frame(50, 50, CV_8UC3, cv::Scalar(common[0], common[1], common[2]));
    frame(cv::Rect(0, 0, 10, 1)).setTo(cv::Scalar(rare[0], rare[1], rare[2]));

    struct Case
    {
        int threshold;
        bool rareMarked, commonMarked;
    };
    for (const Case& c : { Case { 5, true, false }, Case { 4, false, false },
             Case { 0, false, false }, Case { -3, false, false }, Case { 996, true, false },
             Case { 997, true, true }, Case { 999, true, true }, Case { 5000, true, true } }) {
        SCOPED_TRACE(c.threshold);
        CLookupTable table;
        table.Classify(frame);
        table.BuildMask();
        EXPECT_EQ(cv::countNonZero(table.getColourMask()), 0);
        table.ApplyThreshold(c.threshold);
        table.Classify(frame);
        table.BuildMask();
        EXPECT_EQ(table.getColourMask().at<uchar>(0, 0), c.rareMarked ? 255 : 0);
        EXPECT_EQ(table.getColourMask().at<uchar>(49, 49), c.commonMarked ? 255 : 0);
    }
}

TEST(CLookupTable, PickColourMarksPickedColourOrColourZeroOutside)
{
    cv::Mat frame(20, 30, CV_8UC3, cv::Scalar(40, 180, 90));
    frame.at<cv::Vec3b>(10, 5) = bgrOf({ 100, 250, 120 });
    CLookupTable table;
    EXPECT_EQ(table.PickColour(5, 10, true), -1);
    table.ApplyThreshold(500); // nothing classified yet: no effect, no division by zero
    for (const auto& entry : table.getEntries())
        EXPECT_EQ(entry.value, 0);

    table.Classify(frame);
    const int picked = indexOfPixel(table.getHsvImage(), 5, 10);
    struct Case
    {
        int x, y, index;
    };
    for (const Case& c : { Case { 5, 10, picked }, Case { 0, 10, 0 }, Case { 5, 0, 0 },
             Case { 30, 10, 0 }, Case { 5, 20, 0 }, Case { -4, 99999, 0 } }) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        table.ClearTable();
        EXPECT_EQ(table.PickColour(c.x, c.y, false), 0);
        EXPECT_EQ(table.getEntries()[static_cast<std::size_t>(c.index)].value, 0);
        EXPECT_EQ(table.PickColour(c.x, c.y, true), 0);
        int marked = 0;
        for (const auto& entry : table.getEntries())
            marked += entry.value == 255;
        EXPECT_EQ(marked, 1);
        EXPECT_EQ(table.getEntries()[static_cast<std::size_t>(c.index)].value, 255);
    }
}

TEST(CLookupTable, PaintShowsMarkedColoursReducedAndTheRestRed)
{
    cv::Mat frame(6, 8, CV_8UC3, cv::Scalar(40, 180, 90));
    frame.at<cv::Vec3b>(3, 4) = bgrOf({ 100, 250, 120 });
    CLookupTable table;
    table.PaintClassified(); // nothing classified yet
    EXPECT_TRUE(table.getClassifiedImage().empty());

    table.Classify(frame);
    table.PickColour(4, 3, true);
    table.BuildMask();
    table.PaintClassified();
    EXPECT_EQ(cv::countNonZero(table.getColourMask()), 1);
    EXPECT_EQ(table.getClassifiedImage().at<cv::Vec3b>(3, 4), bgrOf({ 96, 240, 112 }));
    EXPECT_EQ(table.getClassifiedImage().at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 255));

    table.ClearTable();
    table.BuildMask();
    table.PaintClassified();
    EXPECT_EQ(cv::countNonZero(table.getColourMask()), 0);
    const cv::Mat red(frame.size(), CV_8UC3, cv::Scalar(0, 0, 255));
    EXPECT_EQ(cv::norm(table.getClassifiedImage(), red, cv::NORM_INF), 0);
}
