#include "tracking/CFrameReader.h"

CFrameReader::CFrameReader(cv::VideoCapture& capture, Prepare prepare)
    : capture(capture)
    , prepare(std::move(prepare))
    , thread([this] { run(); })
{ }

CFrameReader::~CFrameReader()
{
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void CFrameReader::run()
{
    cv::Mat decoded;
    for (;;) {
        cv::Mat frame;
        bool read = false;
        try {
            if (!prepare)
                decoded = cv::Mat();
            read = capture.read(decoded) && !decoded.empty();
            frame = read && prepare ? prepare(decoded) : decoded;
            read = read && !frame.empty();
        } catch (...) {
            read = false;
        }
        std::unique_lock lock(mutex);
        if (!read) {
            ended = true;
            changed.notify_all();
            return;
        }
        changed.wait(lock, [this] { return stopping || queue.size() < kQueued; });
        if (stopping)
            return;
        queue.push_back(std::move(frame));
        changed.notify_all();
    }
}

bool CFrameReader::next(cv::Mat& frame)
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !queue.empty() || ended; });
    if (queue.empty())
        return false;
    frame = std::move(queue.front());
    queue.pop_front();
    changed.notify_all();
    return true;
}
