#include "analysis/CProbabilityMatrix.h"

CProbabilityMatrix::CProbabilityMatrix() = default;

CProbabilityMatrix::~CProbabilityMatrix() = default;

void CProbabilityMatrix::Reset(int mode)
{
    if (average.empty())
        return;
    if (mode == 1) {
        // Keep the pixels' memory for the next frame's first image.
        storage = average;
        average.release();
    }
    count = 1;
}

int CProbabilityMatrix::Accumulate(const cv::Mat& image)
{
    ++count;
    if (image.empty())
        return -1;
    if (image.channels() > 1)
        return -2;
    if (average.empty()) {
        image.copyTo(storage);
        average = storage;
    } else if (image.size() != average.size() || image.depth() != average.depth())
        return -1;

    // The weights are computed in single precision, as the average has
    // always been; the 8-bit result is rounded and saturated at every step.
    const float n = static_cast<float>(count);
    const float newWeight = 1.0f / n;
    const float oldWeight = (n - 1.0f) / n;
    cv::addWeighted(image, newWeight, average, oldWeight, 0.0, average);
    return 0;
}
