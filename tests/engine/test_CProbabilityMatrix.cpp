#include "analysis/CProbabilityMatrix.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

cv::Mat grey(int value) { return cv::Mat(2, 3, CV_8UC1, cv::Scalar(value)); }

int averageValue(const CProbabilityMatrix& matrix) { return matrix.getAverage().at<uchar>(1, 2); }

} // namespace

// Sequences of added images after Reset(1) and the resulting average; a
// negative entry is a rejected image (it still advances the weights).
TEST(CProbabilityMatrix, AveragesWithGrowingWeights)
{
    struct Case
    {
        const char* name;
        std::vector<int> images;
        int average;
    };
    const std::vector<Case> cases {
        { "one image is itself", { 200 }, 200 },
        { "255 then 0", { 255, 0 }, 170 },
        { "mask, recent, change", { 255, 255, 0 }, 191 },
        { "rejected image shifts the weights", { 255, -1, 0 }, 191 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProbabilityMatrix matrix;
        matrix.Accumulate(grey(9));
        matrix.Reset(1);
        EXPECT_TRUE(matrix.getAverage().empty());
        for (int value : c.images)
            matrix.Accumulate(value < 0 ? cv::Mat() : grey(value));
        EXPECT_EQ(averageValue(matrix), c.average);
    }
}

TEST(CProbabilityMatrix, ResetAndRejectedImages)
{
    CProbabilityMatrix matrix;
    matrix.Reset(1);
    EXPECT_EQ(matrix.Accumulate(grey(100)), 0);
    EXPECT_EQ(matrix.Accumulate(cv::Mat(2, 3, CV_8UC3, cv::Scalar::all(0))), -2);
    EXPECT_EQ(matrix.Accumulate(cv::Mat(3, 3, CV_8UC1, cv::Scalar(0))), -1);
    EXPECT_EQ(matrix.Accumulate(cv::Mat()), -1);
    EXPECT_EQ(averageValue(matrix), 100);
    EXPECT_EQ(matrix.getCount(), 5);

    // Reset(0) keeps the average and restarts the weights: the next image
    // counts one half.
    matrix.Reset(0);
    EXPECT_EQ(averageValue(matrix), 100);
    matrix.Accumulate(grey(0));
    EXPECT_EQ(averageValue(matrix), 50);
}
