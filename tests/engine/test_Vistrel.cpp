#include "EngineTestSupport.h"
#include "core/Vistrel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

using namespace enginetest;

// The unit tests run in their own working directory, where each engine
// writes its debug.log.

TEST(Vistrel, TracesOnlyWhenTracingIsSwitchedOn)
{
    PrivateWorkDir workDir("tracing");
    Vistrel engine;
    engine.Pause();
    engine.Stop();
    engine.LoadVideo("no-such-video.mkv");
    engine.addFieldPoint(0, 10, 10);
    engine.Lock();
    engine.UnLock();
    EXPECT_EQ(fs::file_size("debug.log"), 0u);

    engine.enableTracing(true);
    engine.Pause();
    const auto lines = readLines("debug.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with("  - INFO -  Vistrel::Pause - entered")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with("  - INFO -  Vistrel::Pause - left")) << lines[1];
}

TEST(Vistrel, SeekTargetBecomesFrameIndexByTwoTruncations)
{
    const struct
    {
        int targetMs;
        float fps;
        int expected;
    } rows[] = {
        { 0, 25.0f, 0 },
        { 39, 25.0f, 0 },
        { 40, 25.0f, 1 },
        { 1000, 29.97f, 29 },
        { -100, 25.0f, -2 },
        { -39, 25.0f, 0 },
        { INT_MAX, 60.0f, 128849018 },
        { 100, 0.0f, 0 },
        { 100, std::numeric_limits<float>::quiet_NaN(), 0 },
        { 100, std::numeric_limits<float>::infinity(), INT_MAX },
        { INT_MIN, 1.0e30f, INT_MIN },
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Vistrel::frameIndexForTime(row.targetMs, row.fps), row.expected)
            << row.targetMs << " ms at " << row.fps << " fps";
    }
}
