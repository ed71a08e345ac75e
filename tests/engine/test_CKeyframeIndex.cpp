#include "video/CKeyframeIndex.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

// Answers from the keyframes known: the last at or before a frame, and
// whether decoding on between two frames passes none (only as far as the
// scan has read).
TEST(CKeyframeIndex, FindsTheNearestKeyframeBeforeAndTellsWhenDecodingOnIsCheaper)
{
    CKeyframeIndex index;
    EXPECT_EQ(index.atOrBefore(10), -1);
    for (const long long keyframe : { 0, 50, 100 })
        index.add(keyframe);
    index.markScannedTo(120);
    struct Case
    {
        long long frame, keyframe;
    };
    for (const Case c : { Case { 0, 0 }, { 49, 0 }, { 50, 50 }, { 99, 50 }, { 500, 100 } })
        EXPECT_EQ(index.atOrBefore(c.frame), c.keyframe) << c.frame;
    EXPECT_TRUE(index.decodeOnReaches(10, 49));
    EXPECT_FALSE(index.decodeOnReaches(10, 50)) << "a keyframe at the target";
    EXPECT_TRUE(index.decodeOnReaches(50, 99));
    EXPECT_FALSE(index.decodeOnReaches(60, 40)) << "backwards";
    EXPECT_FALSE(index.decodeOnReaches(101, 130)) << "not scanned that far";
    index.clear();
    EXPECT_EQ(index.size(), 0U);
    EXPECT_EQ(index.scannedTo(), -1);
}

// The scan of an H.264 clip with a keyframe every 25 frames finds exactly
// those frames.
TEST(CKeyframeIndex, ScanFindsTheKeyframesOfAClip)
{
    if (!testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    testclips::ClipSettings clipSettings;
    clipSettings.frames = 80;
    clipSettings.keyframeInterval = 25;
    const std::string path = enginetest::clipPath(clipSettings, "keyframes_25.mp4");
    CKeyframeIndex index;
    index.scan(path);
    index.waitForScan();
    EXPECT_EQ(index.scannedTo(), 79);
    EXPECT_EQ(index.size(), 4U);
    for (const long long keyframe : { 0, 25, 50, 75 })
        EXPECT_EQ(index.atOrBefore(keyframe), keyframe);
    EXPECT_EQ(index.atOrBefore(74), 50);
    index.scan(std::string());
    EXPECT_EQ(index.size(), 0U);
}
