#pragma once

#include <opencv2/videoio.hpp>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Decodes a capture's frames on a thread of its own into a short queue, so
// that decoding the next frames and analysing the current one use two
// cores. The thread also turns each decoded frame into what the analysis
// reads (`prepare`: the reduced frame and its foreground), so that this
// part of the work overlaps with the analysis of the frames before; the
// full-size frame is decoded into one buffer, used over again. The thread
// ends at the video's end, at an empty item, or when the reader is
// destroyed (which joins it).
template <typename Item> class CFrameReader
{
public:
    using Prepare = std::function<Item(const cv::Mat& decoded)>;
    using IsEmpty = std::function<bool(const Item&)>;

    CFrameReader(cv::VideoCapture& capture, Prepare prepare, IsEmpty isEmpty)
        : capture(capture)
        , prepare(std::move(prepare))
        , isEmpty(std::move(isEmpty))
        , thread([this] { run(); })
    { }

    ~CFrameReader()
    {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        thread.join();
    }

    CFrameReader(const CFrameReader&) = delete;
    CFrameReader& operator=(const CFrameReader&) = delete;

    // The next item; false at the end of the video.
    bool next(Item& item)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !queue.empty() || ended; });
        if (queue.empty())
            return false;
        item = std::move(queue.front());
        queue.pop_front();
        changed.notify_all();
        return true;
    }

    static constexpr std::size_t kQueued = 4;

private:
    void run()
    {
        cv::Mat decoded;
        for (;;) {
            Item item;
            bool read = false;
            try {
                read = capture.read(decoded) && !decoded.empty();
                if (read)
                    item = prepare(decoded);
                read = read && !isEmpty(item);
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
            queue.push_back(std::move(item));
            changed.notify_all();
        }
    }

    cv::VideoCapture& capture;
    Prepare prepare;
    IsEmpty isEmpty;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;
    bool ended = false;
    bool stopping = false;
    std::thread thread; // last: started once the members above exist
};
