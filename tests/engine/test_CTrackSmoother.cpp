#include "tracking/CTrackSmoother.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kFps = 25.0;

std::vector<cv::Point2d> withJitter(std::vector<cv::Point2d> path, double sigmaM, unsigned seed)
{
    cv::RNG rng(seed);
    for (cv::Point2d& p : path)
        p += cv::Point2d(rng.gaussian(sigmaM), rng.gaussian(sigmaM));
    return path;
}

double rawDistance(const std::vector<cv::Point2d>& path)
{
    double sum = 0;
    for (std::size_t i = 1; i < path.size(); ++i)
        sum += cv::norm(path[i] - path[i - 1]);
    return sum;
}

// A minute standing with the jitter of per-frame foot points: summed raw,
// it would be a long run.
TEST(CTrackSmoother, StandingPlayerCoversUnderOneMetrePerMinute)
{
    const std::vector<cv::Point2d> raw
        = withJitter(std::vector<cv::Point2d>(int(60 * kFps), { 30, 40 }), 0.1, 7);
    const CTrackSmoother smoother(kFps);
    const CTrackSmoother::Result r = smoother.smooth(raw);
    EXPECT_GT(rawDistance(raw), 100.0);
    EXPECT_LT(smoother.distance(r.speedsMps), 1.0);
    for (const cv::Point2d& p : r.positions)
        EXPECT_LT(cv::norm(p - cv::Point2d(30, 40)), 0.2);
}

// Runs with starts, stops and a turn keep their length and speeds.
TEST(CTrackSmoother, KeepsDistanceAndSpeedOfRuns)
{
    std::vector<cv::Point2d> path;
    cv::Point2d at(10, 10);
    const double speeds[] = { 0, 2, 5, 7, 7, 5, 0, 0, 4, 4 }; // m/s, one second each
    for (int second = 0; second < 10; ++second)
        for (int i = 0; i < kFps; ++i) {
            const cv::Point2d heading = second < 6 ? cv::Point2d(1, 0) : cv::Point2d(0, 1);
            at += heading * (speeds[second] / kFps);
            path.push_back(at);
        }
    const double truth = rawDistance(path);
    const CTrackSmoother smoother(kFps);
    const CTrackSmoother::Result r = smoother.smooth(withJitter(path, 0.1, 11));
    EXPECT_NEAR(smoother.distance(r.speedsMps), truth, 0.03 * truth);
    EXPECT_NEAR(r.speedsMps[int(3.5 * kFps)], 7.0, 0.3);
    EXPECT_NEAR(r.speedsMps[int(8.5 * kFps)], 4.0, 0.3);
}

TEST(CTrackSmoother, ShortTracksPassThrough)
{
    const CTrackSmoother smoother(kFps);
    EXPECT_TRUE(smoother.smooth({}).positions.empty());
    const CTrackSmoother::Result one = smoother.smooth({ { 1, 2 } });
    ASSERT_EQ(one.positions.size(), 1u);
    EXPECT_EQ(one.positions[0], cv::Point2d(1, 2));
    EXPECT_EQ(one.speedsMps[0], 0.0);
}

} // namespace
