#include "Vistrel.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>

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

// The size of the frames the capture actually delivers, from its first frame;
// empty when it delivers none. It can differ from the size the container
// reports: OpenCV turns the frames of rotated phone videos upright.
cv::Size deliveredFrameSize(cv::VideoCapture& capture)
{
    cv::Mat first;
    if (!capture.read(first) || first.empty() || first.type() != CV_8UC3)
        return {};
    return first.size();
}

// Opens path and learns the size of its frames; null when it delivers none.
std::unique_ptr<cv::VideoCapture> openVideo(const std::string& path, cv::Size& size)
{
    auto probe = openCapture(path);
    if (!probe)
        return nullptr;
    size = deliveredFrameSize(*probe);
    probe.reset();
    // Reopened rather than rewound, so playback starts exactly at the first
    // frame whatever the container's seeking is like.
    return size.empty() ? nullptr : openCapture(path);
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
        videoPath = path;
        cv::Size size;
        std::unique_ptr<cv::VideoCapture> opened = openVideo(videoPath, size);
        // The loop reads from the capture under the mutex; replace it there.
        MutexHold hold(*this);
        captureOpen = false;
        capture = std::move(opened);
        frame.release();
        deliveredSize = capture ? size : cv::Size();
        if (capture) {
            captureFps = static_cast<float>(capture->get(cv::CAP_PROP_FPS));
            exportImage = cv::Mat(size, CV_8UC3, cv::Scalar::all(0));
            captureOpen = true;
            stopped = true;
            positionMs = 0;
            result = 0;
        }
        publishCaptureInfo();
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

bool Vistrel::readFrame()
{
    if (!capture)
        return false;
    try {
        if (!capture->read(frame) || frame.empty() || frame.type() != CV_8UC3) {
            frame.release();
            return false;
        }
        // Every frame has the reported size, so the export picture always
        // matches what the host was told.
        if (frame.size() != deliveredSize)
            cv::resize(frame, frame, deliveredSize);
        const double next = capture->get(cv::CAP_PROP_POS_FRAMES);
        framePosition = next;
        // CAP_PROP_POS_MSEC is wrong on common files (late on XVID, 0 at
        // the end of mp4); the index is exact and agrees with seeking.
        positionMs = positionForIndex(next - 1.0, captureFps);
        return true;
    } catch (const std::exception&) {
        frame.release();
        return false;
    }
}

void Vistrel::reopenCapture()
{
    capture.reset();
    frame.release();
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
            reportedFps = capture->get(cv::CAP_PROP_FPS);
            framePosition = capture->get(cv::CAP_PROP_POS_FRAMES);
            return;
        }
    } catch (const std::exception&) { }
    frameWidth = 0;
    frameHeight = 0;
    frameCount = 0.0;
    reportedFps = 0.0;
    framePosition = 0.0;
}
