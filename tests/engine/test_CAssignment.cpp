#include "tracking/CAssignment.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* name;
    cv::Mat_<double> cost;
    std::vector<int> expected;
};

class CAssignmentCases : public ::testing::TestWithParam<Case>
{ };

TEST_P(CAssignmentCases, FindsTheCheapestOneToOnePairing)
{
    EXPECT_EQ(CAssignment::solve(GetParam().cost, 100.0), GetParam().expected);
}

// Greedy matching takes row 0's cheapest column and loses in the first case.
INSTANTIATE_TEST_SUITE_P(Tables, CAssignmentCases,
    ::testing::Values(Case { "GreedyWouldLose", (cv::Mat_<double>(2, 2) << 1, 2, 1.5, 10), { 1, 0 } },
        Case { "MoreColumns", (cv::Mat_<double>(2, 3) << 5, 1, 7, 1, 9, 9), { 1, 0 } },
        Case { "MoreRows", (cv::Mat_<double>(3, 2) << 5, 1, 1, 9, 0.5, 0.4), { -1, 0, 1 } },
        Case { "ForbiddenLeftAlone", (cv::Mat_<double>(2, 2) << 1, 100, 100, 100), { 0, -1 } },
        Case { "Empty", cv::Mat_<double>(0, 0), {} },
        Case { "ThreeByThree", (cv::Mat_<double>(3, 3) << 4, 1, 3, 2, 0, 5, 3, 2, 2), { 1, 0, 2 } }),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
