#include "analysis/CMotionAnalysis.h"

#include <gtest/gtest.h>

namespace {

cv::Mat grey(int value) { return cv::Mat(3, 4, CV_8UC1, cv::Scalar(value)); }

} // namespace

TEST(CMotionAnalysis, MarksMotionAndNewMotionOfPixelSequences)
{
    struct Case
    {
        int beforePrevious, previous, current;
        int recent, earlier, change;
    };
    for (const Case& c : { Case { 10, 10, 10, 0, 0, 0 }, Case { 10, 10, 20, 255, 0, 255 },
             Case { 10, 20, 30, 255, 255, 0 }, Case { 10, 20, 20, 0, 255, 0 },
             Case { 10, 10, 15, 0, 0, 0 }, Case { 10, 10, 16, 255, 0, 255 },
             Case { 16, 10, 10, 0, 255, 0 }, Case { 0, 255, 0, 255, 255, 0 } }) {
        SCOPED_TRACE(
            testing::Message() << c.beforePrevious << " -> " << c.previous << " -> " << c.current);
        CMotionAnalysis motion;
        ASSERT_EQ(motion.Analyse(grey(c.current), grey(c.previous), grey(c.beforePrevious)), 0);
        EXPECT_EQ(cv::norm(motion.getRecentMotion(), grey(c.recent), cv::NORM_INF), 0);
        EXPECT_EQ(cv::norm(motion.getEarlierMotion(), grey(c.earlier), cv::NORM_INF), 0);
        EXPECT_EQ(cv::norm(motion.getMotionChange(), grey(c.change), cv::NORM_INF), 0);
    }
}

TEST(CMotionAnalysis, RejectedInputLeavesNoResults)
{
    struct Case
    {
        cv::Mat current, previous, beforePrevious;
        int expected;
    };
    for (const Case& c : { Case { grey(1), cv::Mat(), grey(1), -1 },
             Case { grey(1), grey(1), cv::Mat(2, 2, CV_8UC1, cv::Scalar(1)), -1 },
             Case { cv::Mat(3, 4, CV_8UC3), grey(1), grey(1), -2 } }) {
        CMotionAnalysis motion;
        motion.Analyse(grey(1), grey(2), grey(30));
        EXPECT_EQ(motion.Analyse(c.current, c.previous, c.beforePrevious), c.expected);
        EXPECT_TRUE(motion.getRecentMotion().empty());
        EXPECT_TRUE(motion.getMotionChange().empty());
    }
}
