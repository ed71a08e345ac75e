#include "core/Vistrel.h"

#include "video/CFrameSeeker.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// FFmpeg takes a name with a colon for a protocol ("http:", "pipe:"); the
// prefix makes it read every name as a local file.
constexpr const char* kLocalFilePrefix = "file:";
constexpr double kMsPerSecond = 1000.0;

// Opens path with the FFmpeg backend; null when that fails. Only regular
// files are handed to FFmpeg: a directory, a FIFO or a device would make it
// fail slowly, block, or read without end.
std::unique_ptr<cv::VideoCapture> openCapture(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error))
        return nullptr;
    auto capture = std::make_unique<cv::VideoCapture>();
    if (!capture->open(kLocalFilePrefix + path, cv::CAP_FFMPEG) || !capture->isOpened())
        return nullptr;
    return capture;
}

// The first frame the capture delivers; empty when it delivers none. Its
// size can differ from the size the container reports: OpenCV turns the
// frames of rotated phone videos upright.
cv::Mat firstFrame(cv::VideoCapture& capture)
{
    cv::Mat first;
    if (!capture.read(first) || first.empty() || first.type() != CV_8UC3)
        return {};
    return first;
}

// Opens path and reads its first frame; null when it delivers none.
std::unique_ptr<cv::VideoCapture> openVideo(const std::string& path, cv::Mat& first)
{
    auto probe = openCapture(path);
    if (!probe)
        return nullptr;
    first = firstFrame(*probe);
    probe.reset();
    // Reopened rather than rewound, so playback starts exactly at the first
    // frame whatever the container's seeking is like.
    return first.empty() ? nullptr : openCapture(path);
}

// Milliseconds of the frame with the given index, truncated.
int positionForIndex(double index, float fps)
{
    if (!(index > 0.0) || !(fps > 0.0f))
        return 0;
    const double positionMs = index * kMsPerSecond / static_cast<double>(fps);
    return static_cast<int>(std::min(positionMs, static_cast<double>(INT_MAX)));
}

} // namespace

int Vistrel::LoadVideo(const std::string& path)
{
    trace("LoadVideo", "entered");
    int result = -1;
    try {
        cv::Mat first;
        std::unique_ptr<cv::VideoCapture> opened = openVideo(path, first);
        // The loop reads from the capture and, at its end, reopens videoPath
        // under the mutex; replace both there.
        MutexHold hold(*this);
        videoPath = path;
        // The players of another video are no one's here.
        liveTracker.reset();
        captureOpen = false;
        capture = std::move(opened);
        frame.release();
        frameIndex = -1;
        frameTotal = -1;
        deliveredSize = capture ? first.size() : cv::Size();
        adoptLensFor(deliveredSize);
        if (capture) {
            captureFps = static_cast<float>(capture->get(cv::CAP_PROP_FPS));
            exportImage = cv::Mat(first.size(), CV_8UC3, cv::Scalar::all(0));
            exportSource.release();
            exportPending = false;
            ++exportSerial;
            // The first frame is the current one (what measuring looks at);
            // the export picture stays black until a host asks to see it,
            // and the capture stays at the start for Play.
            frame = std::move(first);
            frameIndex = 0;
            frameCache.setFrameSize(deliveredSize);
            frameCache.clear();
            frameCache.put(0, frame);
            keyframeIndex.scan(path);
            frameProcessed = false;
            captureOpen = true;
            stopped = true;
            positionMs = 0;
            result = 0;
        }
        if (!capture) {
            frameCache.clear();
            keyframeIndex.scan(std::string());
        }
        cacheServedFrame = false;
        publishCaptureInfo();
        noteHostRequest();
    } catch (const std::exception&) {
        capture.reset();
        captureOpen = false;
        publishCaptureInfo();
        result = -1;
    }
    trace("LoadVideo", "left");
    return result;
}

int Vistrel::Stop()
{
    trace("Stop", "entered");
    // A host may call it while the loop reads from the capture. The loop's
    // own call at its end already holds the mutex and must keep it: a hold
    // here would release it completely.
    std::optional<MutexHold> hold;
    if (!ownsMutex())
        hold.emplace(*this);
    noteHostRequest();
    if (captureOpen) {
        captureOpen = false;
        paused = false;
        reopenCapture();
        captureOpen = true;
        positionMs = 0;
    }
    trace("Stop", "left");
    return 0;
}

int Vistrel::Pause()
{
    trace("Pause", "entered");
    if (captureOpen)
        paused = !paused;
    noteHostRequest();
    trace("Pause", "left");
    return 0;
}

int Vistrel::getFrameWidth() { return frameWidth; }

int Vistrel::getFrameHeight() { return frameHeight; }

double Vistrel::getFrameCount() { return frameCount; }

double Vistrel::getFps() { return reportedFps; }

double Vistrel::getFramePosition() { return framePosition; }

int Vistrel::frameIndexForTime(int targetMs, float fps)
{
    const float product = static_cast<float>(targetMs) * fps;
    if (std::isnan(product))
        return 0;
    // Clamped first: converting a float beyond the integer range is undefined.
    constexpr float kLimit = 9.0e18f;
    const auto whole = static_cast<long long>(std::clamp(product, -kLimit, kLimit));
    return static_cast<int>(
        std::clamp(whole / 1000, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
}

bool Vistrel::seekToTime(int targetMs)
{
    if (!capture)
        return false;
    try {
        // A target before the start goes to the first frame.
        const int index = std::max(0, frameIndexForTime(targetMs, captureFps));
        const bool done = capture->set(cv::CAP_PROP_POS_FRAMES, index);
        framePosition = capture->get(cv::CAP_PROP_POS_FRAMES);
        return done;
    } catch (const std::exception&) {
        return false;
    }
}

// Each frame is read into a buffer of its own, as the cache keeps the frames
// read before; once the cache is full the oldest one's buffer is reused.
// Without a cache, playback reuses the frame's buffer from frame to frame.
bool Vistrel::readFrame()
{
    if (!capture)
        return false;
    try {
        if (cacheServedFrame && frameIndex >= 0)
            return readAfterCachedFrame();
        const long long expected = std::llround(capture->get(cv::CAP_PROP_POS_FRAMES));
        cv::Mat decoded = frameCache.recycle();
        if (decoded.empty() && frameCache.capacityFrames() == 0)
            decoded = frame;
        if (!capture->read(decoded) || decoded.empty() || decoded.type() != CV_8UC3) {
            frame.release();
            // Reading on from the current frame met the end: the video has
            // no more frames than that, whatever its container claims.
            if (expected == frameIndex + 1 && expected > 0)
                frameTotal = expected;
            frameIndex = -1;
            return false;
        }
        adoptFrame(decoded, std::llround(capture->get(cv::CAP_PROP_POS_FRAMES)) - 1);
        return true;
    } catch (const std::exception&) {
        frame.release();
        return false;
    }
}

// Makes a decoded frame the current one. Every frame has the reported size,
// so the export picture always matches what the host was told.
void Vistrel::adoptFrame(cv::Mat& decoded, long long index)
{
    if (decoded.size() != deliveredSize)
        cv::resize(decoded, decoded, deliveredSize);
    if (decoded.data != frame.data)
        frame = std::move(decoded);
    frameIndex = index;
    if (frameTotal >= 0 && index >= frameTotal)
        frameTotal = index + 1;
    framePosition = static_cast<double>(index + 1);
    // CAP_PROP_POS_MSEC is wrong on common files (late on XVID, 0 at the
    // end of mp4); the index is exact and agrees with seeking.
    positionMs = positionForIndex(static_cast<double>(index), captureFps);
    frameProcessed = false;
    frameCache.put(index, frame);
}

// Makes frame `index` the current one: from the frame cache when it holds
// it, else decoded (a step back past the cache refills it); the current
// frame stays when it cannot be read. With toLastFrame an index past the end
// gives the last frame the video really has (and corrects the known total).
bool Vistrel::moveToFrame(long long index, bool toLastFrame)
{
    if (!capture || index < 0)
        return false;
    try {
        const long long total = frameTotal;
        const long long target = toLastFrame && total > 0 ? std::min(index, total - 1) : index;
        cv::Mat cached;
        if (frameCache.get(target, cached)) {
            adoptFrame(cached, target);
            cacheServedFrame = true;
            return true;
        }
        if (target < frameIndex && fillBackTo(target))
            return true;
        return decodeTo(target, toLastFrame);
    } catch (const std::exception&) {
        return false;
    }
}

// Positions the capture exactly on frame `target` and reads it.
bool Vistrel::decodeTo(long long target, bool toLastFrame)
{
    const CFrameSeeker seeker(readAheadTo(target));
    cv::Mat decoded;
    if (!seeker.readAt(*capture, target, decoded) || decoded.type() != CV_8UC3) {
        if (!toLastFrame)
            return false;
        target = seeker.readLastBefore(*capture, target, decoded);
        if (target < 0 || decoded.type() != CV_8UC3)
            return false;
        frameTotal = target + 1;
    }
    adoptFrame(decoded, target);
    cacheServedFrame = false;
    return true;
}

// The current frame stays: it is what the export picture shows.
void Vistrel::reopenCapture()
{
    capture.reset();
    cacheServedFrame = false;
    try {
        capture = openCapture(videoPath);
        if (capture)
            captureFps = static_cast<float>(capture->get(cv::CAP_PROP_FPS));
    } catch (const std::exception&) {
        capture.reset();
    }
    publishCaptureInfo();
}

void Vistrel::publishCaptureInfo()
{
    try {
        if (capture) {
            frameWidth = deliveredSize.width;
            frameHeight = deliveredSize.height;
            frameCount = capture->get(cv::CAP_PROP_FRAME_COUNT);
            if (frameTotal < 0 && frameCount > 0.0)
                frameTotal = std::llround(frameCount.load());
            reportedFps = capture->get(cv::CAP_PROP_FPS);
            framePosition = capture->get(cv::CAP_PROP_POS_FRAMES);
            return;
        }
    } catch (const std::exception&) { }
    frameWidth = 0;
    frameHeight = 0;
    frameCount = 0.0;
    frameTotal = -1;
    reportedFps = 0.0;
    framePosition = 0.0;
}
