#pragma once

#include <opencv2/videoio.hpp>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Decodes a capture's frames on a thread of its own into a short queue, so
// that decoding the next frames and analysing the current one use two
// cores. With a `prepare` step, the thread also turns each decoded frame
// into what the analysis reads (a reduced copy) and queues that instead:
// the full-size frame is then decoded into one buffer, used over again.
// The thread ends at the video's end, or when the reader is destroyed
// (which joins it).
class CFrameReader
{
public:
    using Prepare = std::function<cv::Mat(const cv::Mat& decoded)>;
    explicit CFrameReader(cv::VideoCapture& capture, Prepare prepare = {});
    ~CFrameReader();
    CFrameReader(const CFrameReader&) = delete;
    CFrameReader& operator=(const CFrameReader&) = delete;

    // The next frame; false at the end of the video.
    bool next(cv::Mat& frame);

    static constexpr std::size_t kQueued = 4;

private:
    void run();

    cv::VideoCapture& capture;
    Prepare prepare;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<cv::Mat> queue;
    bool ended = false;
    bool stopping = false;
    std::thread thread;
};
