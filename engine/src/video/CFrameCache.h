#pragma once

#include <opencv2/core.hpp>

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>

// The frames decoded last, by frame index, so that a step or seek back into
// the recent past is served without decoding. The memory is bounded: the
// budget in bytes is counted in frames of the video's size, and the oldest
// frame goes first. Frames are held by reference, not copied: a frame put
// here must not be written into afterwards (the decoder reads each frame
// into a buffer of its own, taken from recycle()). Thread-safe: the playback
// thread fills it while the host's thread may seek.
class CFrameCache
{
public:
    static constexpr std::size_t kDefaultBudgetBytes = std::size_t(256) << 20;

    explicit CFrameCache(std::size_t budgetBytes = kDefaultBudgetBytes);

    // Drops frames beyond the new bound; 0 keeps no frames at all.
    void setBudget(std::size_t bytes);
    std::size_t budget() const;
    // The size of the video's frames (8-bit, three channels); the cache is
    // emptied when it changes (another video).
    void setFrameSize(cv::Size size);
    // How many frames the budget holds for the current frame size.
    std::size_t capacityFrames() const;

    void put(long long index, const cv::Mat& frame);
    // Shares the cached frame into out; false when it is not cached.
    bool get(long long index, cv::Mat& out) const;
    bool contains(long long index) const;
    // When the cache is full: takes out the oldest frame and returns its
    // buffer to decode the next frame into, if nothing else holds it; an
    // empty matrix otherwise.
    cv::Mat recycle();
    void clear();

    std::size_t frames() const;
    // The bytes of pixel memory the cached frames take.
    std::size_t bytes() const;

private:
    void trimTo(std::size_t count);
    std::size_t capacityLocked() const;

    mutable std::mutex mutex;
    std::map<long long, cv::Mat> byIndex;
    // Indices in the order they were put, oldest first.
    std::deque<long long> order;
    std::size_t budgetBytes;
    cv::Size frameSize;
};
