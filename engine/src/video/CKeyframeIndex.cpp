#include "video/CKeyframeIndex.h"

#include <opencv2/videoio.hpp>

#include <algorithm>
#include <exception>
#include <iterator>

namespace {

// FFmpeg takes a name with a colon for a protocol; the prefix makes it read
// every name as a local file.
constexpr const char* kLocalFilePrefix = "file:";
// How many packets are read between two updates of the scanned range.
constexpr long long kPublishEvery = 64;

// The indices whose scan may still run. A host may end without destroying
// its engines; their scans are stopped when the library is unloaded, before
// the libraries the scans read with are.
class RunningScans
{
public:
    void add(CKeyframeIndex* index)
    {
        const std::lock_guard lock(mutex);
        indices.insert(index);
    }
    void remove(CKeyframeIndex* index)
    {
        const std::lock_guard lock(mutex);
        indices.erase(index);
    }
    ~RunningScans()
    {
        const std::lock_guard lock(mutex);
        for (CKeyframeIndex* index : indices)
            index->stopScan();
    }

private:
    std::mutex mutex;
    std::set<CKeyframeIndex*> indices;
};

RunningScans& runningScans()
{
    static RunningScans scans;
    return scans;
}

} // namespace

CKeyframeIndex::~CKeyframeIndex()
{
    stopScan();
    runningScans().remove(this);
}

void CKeyframeIndex::scan(const std::string& path)
{
    stopScan();
    clear();
    if (path.empty())
        return;
    cancel = false;
    runningScans().add(this);
    scanner = std::thread([this, path] { readKeyframes(path); });
}

void CKeyframeIndex::waitForScan()
{
    if (scanner.joinable())
        scanner.join();
}

void CKeyframeIndex::stopScan()
{
    cancel = true;
    if (scanner.joinable())
        scanner.join();
}

// Reads the packets without decoding them (OpenCV's raw mode) and notes the
// ones that hold a keyframe. A file that cannot be read this way leaves the
// index empty, and seeks go by OpenCV's own rule.
void CKeyframeIndex::readKeyframes(const std::string& path)
{
    try {
        cv::VideoCapture packets;
        if (!packets.open(kLocalFilePrefix + path, cv::CAP_FFMPEG, { cv::CAP_PROP_FORMAT, -1 }))
            return;
        long long index = 0;
        while (!cancel && packets.grab()) {
            if (packets.get(cv::CAP_PROP_LRF_HAS_KEY_FRAME) != 0.0)
                add(index);
            if (index % kPublishEvery == 0)
                markScannedTo(index);
            ++index;
        }
        if (!cancel)
            markScannedTo(index - 1);
    } catch (const std::exception&) {
        // What was read stays known.
    }
}

void CKeyframeIndex::add(long long index)
{
    const std::lock_guard lock(mutex);
    keyframes.insert(index);
}

void CKeyframeIndex::markScannedTo(long long index)
{
    const std::lock_guard lock(mutex);
    scanned = std::max(scanned, index);
}

void CKeyframeIndex::clear()
{
    const std::lock_guard lock(mutex);
    keyframes.clear();
    scanned = -1;
}

long long CKeyframeIndex::atOrBefore(long long index) const
{
    const std::lock_guard lock(mutex);
    auto after = keyframes.upper_bound(index);
    if (after == keyframes.begin())
        return -1;
    return *std::prev(after);
}

bool CKeyframeIndex::decodeOnReaches(long long from, long long to) const
{
    const std::lock_guard lock(mutex);
    if (from > to || scanned < to)
        return false;
    const auto next = keyframes.upper_bound(from);
    return next == keyframes.end() || *next > to;
}

std::size_t CKeyframeIndex::size() const
{
    const std::lock_guard lock(mutex);
    return keyframes.size();
}

long long CKeyframeIndex::scannedTo() const
{
    const std::lock_guard lock(mutex);
    return scanned;
}
