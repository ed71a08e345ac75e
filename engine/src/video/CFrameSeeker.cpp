#include "video/CFrameSeeker.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kReadAheadSeconds = 2.0;
constexpr double kAssumedFps = 25.0;

// The index of the frame the next read gives.
long long nextIndex(cv::VideoCapture& capture)
{
    return std::llround(capture.get(cv::CAP_PROP_POS_FRAMES));
}

bool seekTo(cv::VideoCapture& capture, long long index)
{
    return capture.set(cv::CAP_PROP_POS_FRAMES, static_cast<double>(index));
}

} // namespace

CFrameSeeker::CFrameSeeker(long long readAheadFrames)
    : readAheadFrames(std::max(0LL, readAheadFrames))
{ }

long long CFrameSeeker::readAheadFor(double fps)
{
    const double rate = fps > 0.0 && std::isfinite(fps) ? fps : kAssumedFps;
    return std::llround(std::min(rate, 1000.0) * kReadAheadSeconds);
}

bool CFrameSeeker::readAt(cv::VideoCapture& capture, long long index, cv::Mat& out) const
{
    if (index < 0)
        return false;
    const long long skip = index - nextIndex(capture);
    if (skip >= 0 && skip <= readAheadFrames) {
        // Skipped frames are decoded but never converted to BGR.
        for (long long i = 0; i < skip; ++i) {
            if (!capture.grab())
                return false;
        }
    } else if (!seekTo(capture, index)) {
        return false;
    }
    return capture.read(out) && !out.empty();
}

// Steps back twice as far each time until a frame can be read, then reads
// forward to the last one: the cost grows with the distance past the real
// end, not with the length of the video.
long long CFrameSeeker::readLastBefore(
    cv::VideoCapture& capture, long long index, cv::Mat& out) const
{
    long long failed = index;
    for (long long back = 1; failed > 0; back *= 2) {
        const long long start = std::max(0LL, index - back);
        if (!seekTo(capture, start) || !capture.read(out) || out.empty()) {
            failed = start;
            continue;
        }
        long long last = start;
        cv::Mat next;
        while (last + 1 < failed && capture.read(next) && !next.empty()) {
            std::swap(out, next);
            ++last;
        }
        // Leaves the capture right after the frame handed out, wherever the
        // reading forward ended.
        if (nextIndex(capture) != last + 1 && (!seekTo(capture, last) || !capture.read(out)))
            return -1;
        return last;
    }
    out.release();
    return -1;
}
