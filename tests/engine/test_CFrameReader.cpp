#include "tracking/CFrameReader.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A lossless clip whose frames carry their index as a code.
std::string codedClip(int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.frames = frames;
    clipSettings.frameCode = true;
    return enginetest::clipPath(clipSettings, "reader_coded.mkv");
}

} // namespace

// With one frame read before it, the reader hands on exactly the frames
// whose index is a multiple of the stride, each with its own picture and
// index, and at the end counts every frame, the ones only decoded too.
TEST(CFrameReader, HandsOnEveryStrideThFrameAndCountsThemAll)
{
    constexpr int kFrames = 11;
    const std::string path = codedClip(kFrames);
    for (const int stride : { 1, 3, 4 }) {
        SCOPED_TRACE(stride);
        cv::VideoCapture capture(path, cv::CAP_FFMPEG);
        cv::Mat first;
        ASSERT_TRUE(capture.read(first));
        CFrameReader<int> reader(
            capture, [](const cv::Mat& decoded) { return testclips::readFrameCode(decoded); },
            [](int code) { return code < 0; }, 1, stride);
        std::vector<long long> handed;
        int code = -1;
        long long frame = -1;
        while (reader.next(code, frame)) {
            EXPECT_EQ(code, frame);
            handed.push_back(frame);
        }
        std::vector<long long> expected;
        for (long long f = stride; f < kFrames; f += stride)
            expected.push_back(f);
        EXPECT_EQ(handed, expected);
        EXPECT_EQ(reader.frames(), kFrames);
    }
}
