#include "video/CFrameSeeker.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

// An H.264 clip with a keyframe every 50 frames whose frames carry their
// index as a code.
std::string longGopClip(int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.frames = frames;
    clipSettings.keyframeInterval = 50;
    clipSettings.frameCode = true;
    return enginetest::clipPath(clipSettings, "seeker_longgop.mp4");
}

} // namespace

// The same targets by decoding forward as far as allowed and by seeking
// only: each lands on exactly the frame asked for.
TEST(CFrameSeeker, ReadsTheExactFrameForwardAndBackAcrossKeyframes)
{
    if (!testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    const std::string path = longGopClip(130);
    for (const long long readAhead : { 0LL, 1000LL }) {
        SCOPED_TRACE(readAhead);
        cv::VideoCapture capture(path, cv::CAP_FFMPEG);
        ASSERT_TRUE(capture.isOpened());
        const CFrameSeeker seeker(readAhead);
        cv::Mat frame;
        for (const long long index : { 0, 1, 49, 50, 51, 3, 99, 100, 98, 129 }) {
            ASSERT_TRUE(seeker.readAt(capture, index, frame)) << index;
            EXPECT_EQ(testclips::readFrameCode(frame), index);
        }
        EXPECT_FALSE(seeker.readAt(capture, 130, frame)) << "past the end";
    }
}

// A container may claim more frames than it holds: the last one that reads
// is found, and the capture is left right after it.
TEST(CFrameSeeker, FindsTheLastFrameBeforeAnIndexThatCannotBeRead)
{
    if (!testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    cv::VideoCapture capture(longGopClip(130), cv::CAP_FFMPEG);
    ASSERT_TRUE(capture.isOpened());
    const CFrameSeeker seeker(CFrameSeeker::readAheadFor(25.0));
    cv::Mat frame;
    ASSERT_EQ(seeker.readLastBefore(capture, 500, frame), 129);
    EXPECT_EQ(testclips::readFrameCode(frame), 129);
    EXPECT_FALSE(capture.read(frame));
}
