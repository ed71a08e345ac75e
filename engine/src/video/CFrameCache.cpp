#include "video/CFrameCache.h"

#include <algorithm>

namespace {

constexpr std::size_t kChannels = 3;

std::size_t pixelBytes(const cv::Mat& frame) { return frame.total() * frame.elemSize(); }

// Nobody but the cache holds this matrix's pixels.
bool unshared(const cv::Mat& frame) { return frame.u != nullptr && frame.u->refcount == 1; }

} // namespace

CFrameCache::CFrameCache(std::size_t budgetBytes)
    : budgetBytes(budgetBytes)
{ }

void CFrameCache::setBudget(std::size_t bytes)
{
    const std::lock_guard lock(mutex);
    budgetBytes = bytes;
    trimTo(capacityLocked());
}

std::size_t CFrameCache::budget() const
{
    const std::lock_guard lock(mutex);
    return budgetBytes;
}

void CFrameCache::setFrameSize(cv::Size size)
{
    const std::lock_guard lock(mutex);
    if (size == frameSize)
        return;
    frameSize = size;
    trimTo(0);
}

std::size_t CFrameCache::capacityFrames() const
{
    const std::lock_guard lock(mutex);
    return capacityLocked();
}

std::size_t CFrameCache::capacityLocked() const
{
    const std::size_t frameBytes = std::size_t(std::max(frameSize.area(), 0)) * kChannels;
    return frameBytes == 0 ? 0 : budgetBytes / frameBytes;
}

// A frame of another size than the video's (none is delivered, but a
// caller may be wrong) would break the bound: it is not kept.
void CFrameCache::put(long long index, const cv::Mat& frame)
{
    const std::lock_guard lock(mutex);
    const std::size_t capacity = capacityLocked();
    if (capacity == 0 || frame.empty() || frame.size() != frameSize || index < 0)
        return;
    if (const auto found = byIndex.find(index); found != byIndex.end()) {
        found->second = frame;
        return;
    }
    trimTo(capacity - 1);
    byIndex.emplace(index, frame);
    order.push_back(index);
}

bool CFrameCache::get(long long index, cv::Mat& out) const
{
    const std::lock_guard lock(mutex);
    const auto found = byIndex.find(index);
    if (found == byIndex.end())
        return false;
    out = found->second;
    return true;
}

bool CFrameCache::contains(long long index) const
{
    const std::lock_guard lock(mutex);
    return byIndex.count(index) != 0;
}

cv::Mat CFrameCache::recycle()
{
    const std::lock_guard lock(mutex);
    const std::size_t capacity = capacityLocked();
    if (capacity < 2 || byIndex.size() < capacity || order.empty())
        return {};
    cv::Mat oldest = std::move(byIndex[order.front()]);
    byIndex.erase(order.front());
    order.pop_front();
    if (!unshared(oldest))
        return {};
    return oldest;
}

void CFrameCache::clear()
{
    const std::lock_guard lock(mutex);
    trimTo(0);
}

std::size_t CFrameCache::frames() const
{
    const std::lock_guard lock(mutex);
    return byIndex.size();
}

std::size_t CFrameCache::bytes() const
{
    const std::lock_guard lock(mutex);
    std::size_t total = 0;
    for (const auto& entry : byIndex)
        total += pixelBytes(entry.second);
    return total;
}

void CFrameCache::trimTo(std::size_t count)
{
    while (byIndex.size() > count && !order.empty()) {
        byIndex.erase(order.front());
        order.pop_front();
    }
}
