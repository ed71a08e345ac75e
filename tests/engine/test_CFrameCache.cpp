#include "video/CFrameCache.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const cv::Size kFrameSize(64, 48);
constexpr std::size_t kFrameBytes = 64 * 48 * 3;

cv::Mat frameOf(int value) { return cv::Mat(kFrameSize, CV_8UC3, cv::Scalar::all(value)); }

int valueOf(const cv::Mat& frame) { return frame.at<cv::Vec3b>(0, 0)[0]; }

} // namespace

// The budget is counted in frames of the video's size: a budget of 3.5
// frames holds three, the oldest goes first, and a smaller budget drops the
// oldest at once.
TEST(CFrameCache, HoldsWhatTheBudgetAllowsAndDropsTheOldestFirst)
{
    CFrameCache cache(kFrameBytes * 7 / 2);
    cache.setFrameSize(kFrameSize);
    ASSERT_EQ(cache.capacityFrames(), 3U);
    for (int i = 0; i < 10; ++i) {
        cache.put(i, frameOf(i));
        EXPECT_LE(cache.frames(), 3U);
        EXPECT_LE(cache.bytes(), cache.budget());
    }
    cv::Mat out;
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(cache.get(i, out)) << i;
    for (int i = 7; i < 10; ++i) {
        ASSERT_TRUE(cache.get(i, out)) << i;
        EXPECT_EQ(valueOf(out), i);
    }
    cache.setBudget(kFrameBytes);
    EXPECT_EQ(cache.frames(), 1U);
    EXPECT_TRUE(cache.contains(9));
    cache.setBudget(0);
    cache.put(11, frameOf(11));
    EXPECT_EQ(cache.frames(), 0U);
}

// Frames of another size than the video's are not kept (they would break
// the bound), and a new frame size empties the cache.
TEST(CFrameCache, KeepsOnlyFramesOfTheVideosSize)
{
    CFrameCache cache(kFrameBytes * 4);
    cache.setFrameSize(kFrameSize);
    cache.put(0, cv::Mat(cv::Size(128, 96), CV_8UC3, cv::Scalar::all(1)));
    cache.put(-1, frameOf(1));
    EXPECT_EQ(cache.frames(), 0U);
    cache.put(1, frameOf(1));
    EXPECT_EQ(cache.frames(), 1U);
    cache.setFrameSize(cv::Size(32, 24));
    EXPECT_EQ(cache.frames(), 0U);
    EXPECT_EQ(cache.capacityFrames(), 16U);
}

// Once full, the oldest frame's buffer is handed back to decode into, but
// never while anyone else still holds it (the frame on screen).
TEST(CFrameCache, RecyclesOnlyBuffersNobodyElseHolds)
{
    CFrameCache cache(kFrameBytes * 2);
    cache.setFrameSize(kFrameSize);
    EXPECT_TRUE(cache.recycle().empty()) << "not full yet";
    cv::Mat shown = frameOf(0);
    cache.put(0, shown);
    cache.put(1, frameOf(1));
    EXPECT_TRUE(cache.recycle().empty()) << "frame 0 is on screen";
    EXPECT_FALSE(cache.contains(0));
    cache.put(2, frameOf(2));
    const unsigned char* pixels = nullptr;
    {
        cv::Mat held;
        ASSERT_TRUE(cache.get(1, held));
        pixels = held.data;
    }
    const cv::Mat reused = cache.recycle();
    EXPECT_EQ(reused.data, pixels);
    EXPECT_FALSE(cache.contains(1));
    EXPECT_EQ(valueOf(shown), 0);
}

// The playback thread fills the cache while another thread reads from it
// (run under ThreadSanitizer): every frame read is whole and the bound holds.
TEST(CFrameCache, FillsOnOneThreadWhileAnotherReads)
{
    CFrameCache cache(kFrameBytes * 8);
    cache.setFrameSize(kFrameSize);
    constexpr int kFrames = 2000;
    std::thread writer([&cache] {
        for (int i = 0; i < kFrames; ++i) {
            cv::Mat buffer = cache.recycle();
            if (buffer.empty())
                buffer.create(kFrameSize, CV_8UC3);
            buffer.setTo(cv::Scalar::all(i % 256));
            cache.put(i, buffer);
        }
    });
    for (int i = 0; i < kFrames; ++i) {
        cv::Mat out;
        if (cache.get(i, out)) {
            EXPECT_EQ(valueOf(out), i % 256);
        }
        EXPECT_LE(cache.frames(), 8U);
    }
    writer.join();
    EXPECT_EQ(cache.frames(), 8U);
}
