#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// The frame indices at which decoding can start (keyframes) of one video,
// so that a seek outside the frame cache decodes from the nearest keyframe
// before its target, and a short way forward is decoded on rather than
// sought when no keyframe lies in between. It is built as the video's
// packets are read: scan() reads them without decoding, on a thread of its
// own, and the index answers from what is known so far. A keyframe's index
// is its count of packets before it, which never lies after the frame it
// starts (leading pictures of an open GOP come after it in the file), so
// the answers err towards earlier keyframes. Thread-safe.
class CKeyframeIndex
{
public:
    CKeyframeIndex() = default;
    ~CKeyframeIndex();
    CKeyframeIndex(const CKeyframeIndex&) = delete;
    CKeyframeIndex& operator=(const CKeyframeIndex&) = delete;

    // Forgets everything and starts reading the keyframes of path; an
    // earlier scan is stopped first. An empty path only forgets.
    void scan(const std::string& path);
    // Waits until the running scan has read the whole file (for tests and
    // benchmarks).
    void waitForScan();

    void add(long long index);
    // Packets up to this index were read: keyframes up to it are all known.
    void markScannedTo(long long index);
    void clear();

    // The last keyframe at or before index; -1 when none is known.
    long long atOrBefore(long long index) const;
    // Whether decoding on from frame `from` to frame `to` (from <= to) is
    // no dearer than a seek: no keyframe in (from, to] is known, and the
    // scan has read that far. False while the scan has not got there.
    bool decodeOnReaches(long long from, long long to) const;
    std::size_t size() const;
    long long scannedTo() const;
    // Stops a running scan and waits for it.
    void stopScan();

private:
    void readKeyframes(const std::string& path);

    mutable std::mutex mutex;
    std::set<long long> keyframes;
    long long scanned = -1;
    std::atomic<bool> cancel { false };
    std::thread scanner;
};
