#pragma once

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

// Puts a capture exactly on a frame index and reads that frame. A target a
// little ahead of the capture is reached by decoding forward: on a long-GOP
// file a seek restarts the decoder at the keyframe before the target, which
// costs far more than the few frames in between. Anything else is a seek,
// which OpenCV serves by going to the keyframe before the target and
// decoding forward to it.
class CFrameSeeker
{
public:
    // readAheadFrames: the longest distance served by decoding forward.
    explicit CFrameSeeker(long long readAheadFrames);

    // Reads frame `index` (0 is the first) into `out`; afterwards the next
    // read gives frame index + 1. False when that frame cannot be read.
    bool readAt(cv::VideoCapture& capture, long long index, cv::Mat& out) const;

    // After frame `index` could not be read: reads the last frame before it
    // that can be, into `out`, and returns its index; -1 when none can.
    // Containers may claim more frames than they hold.
    long long readLastBefore(cv::VideoCapture& capture, long long index, cv::Mat& out) const;

    // The longest forward distance readAt serves without seeking: about
    // two seconds of video (`fps` <= 0: an assumed 25 frames a second).
    static long long readAheadFor(double fps);

private:
    long long readAheadFrames;
};
