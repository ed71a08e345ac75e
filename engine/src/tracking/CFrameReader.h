#pragma once

#include <opencv2/videoio.hpp>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Decodes a capture's frames on a thread of its own into a short queue, so
// that decoding the next frames and analysing the current one use two
// cores. Every `stride`-th frame is analysed; the ones between are only
// decoded (grab without the colour conversion) to keep the count. The
// thread also turns each analysed frame into what the analysis reads
// (`prepare`: the reduced frame), so that the full-size frame is decoded
// into one buffer, used over again, and only the small copy is queued.
// The thread ends at the video's end, at an empty item, or when the
// reader is destroyed (which joins it).
template <typename Item> class CFrameReader
{
public:
    using Prepare = std::function<Item(const cv::Mat& decoded)>;
    using IsEmpty = std::function<bool(const Item&)>;

    // `capture` has read `framesBefore` frames already; the frames whose
    // index is a multiple of `stride` are analysed.
    CFrameReader(cv::VideoCapture& capture, Prepare prepare, IsEmpty isEmpty,
        long long framesBefore = 0, int stride = 1)
        : capture(capture)
        , prepare(std::move(prepare))
        , isEmpty(std::move(isEmpty))
        , stride(std::max(1, stride))
        , decodedFrames(framesBefore)
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

    // The next analysed frame's item and index; false at the end of the
    // video.
    bool next(Item& item, long long& frame)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !queue.empty() || ended; });
        if (queue.empty())
            return false;
        item = std::move(queue.front().item);
        frame = queue.front().frame;
        queue.pop_front();
        changed.notify_all();
        return true;
    }

    // Every frame decoded, analysed or not: the video's length once next()
    // has returned false.
    long long frames()
    {
        const std::lock_guard lock(mutex);
        return decodedFrames;
    }

    static constexpr std::size_t kQueued = 4;

private:
    struct Entry
    {
        long long frame;
        Item item;
    };

    void run()
    {
        cv::Mat decoded;
        for (long long frame = decodedFrames;; ++frame) {
            Item item;
            bool read = false;
            const bool analysed = frame % stride == 0;
            try {
                read = analysed ? capture.read(decoded) && !decoded.empty() : capture.grab();
                if (read && analysed)
                    item = prepare(decoded);
                read = read && (!analysed || !isEmpty(item));
            } catch (...) {
                read = false;
            }
            std::unique_lock lock(mutex);
            if (!read) {
                ended = true;
                changed.notify_all();
                return;
            }
            decodedFrames = frame + 1;
            if (stopping)
                return;
            if (!analysed)
                continue;
            changed.wait(lock, [this] { return stopping || queue.size() < kQueued; });
            if (stopping)
                return;
            queue.push_back({ frame, std::move(item) });
            changed.notify_all();
        }
    }

    cv::VideoCapture& capture;
    Prepare prepare;
    IsEmpty isEmpty;
    int stride;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> queue;
    long long decodedFrames; // frames [0, decodedFrames) are decoded
    bool ended = false;
    bool stopping = false;
    std::thread thread; // last: started once the members above exist
};
