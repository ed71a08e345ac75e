#pragma once

#include <opencv2/core.hpp>

// A running weighted average of the single-channel evidence images of one
// frame (colour mask, motion images), read as the per-pixel likelihood that
// something of interest is there.
class CProbabilityMatrix
{
public:
    CProbabilityMatrix();
    virtual ~CProbabilityMatrix();

    // Mode 1 drops the average; every mode restarts the weights, but only
    // while an average exists.
    void Reset(int mode);
    // 0 added; -1 no image, or one whose size or depth differs from the
    // average's; -2 more than one channel. Every call advances the weights.
    int Accumulate(const cv::Mat& image);

    const cv::Mat& getAverage() const { return average; }
    int getCount() const { return count; }

private:
    int count = 1;
    cv::Mat average;
    cv::Mat storage; // the released average's memory, reused by the next one
};
