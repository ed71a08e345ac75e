#pragma once

// Plain implementations of the analysis algorithms, written for clarity and
// following their definitions step by step. The tests and benchmarks check
// the engine's fast paths against them.

#include "analysis/CBinaryWindow.h"
#include "analysis/CBlob.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <vector>

namespace reference {

// Every window in turn: for each interior pixel, a patch of the window's size
// is filled from the input and the window's Match decides the new value.
inline cv::Mat applyWindows(cv::Mat input, const std::vector<CBinaryWindow>& windows)
{
    cv::Mat result = input.clone();
    for (const CBinaryWindow& window : windows) {
        const int size = window.getSize();
        const int half = size / 2;
        for (int y = half; size > 0 && y < input.rows - half; ++y) {
            for (int x = half; x < input.cols - half; ++x) {
                CBinaryWindow patch(size);
                for (int row = 0; row < size; ++row)
                    for (int column = 0; column < size; ++column)
                        patch.cell(row, column)
                            = input.at<uchar>(y - half + row, x - half + column);
                result.at<uchar>(y, x) = static_cast<uchar>(window.Match(patch) & 0xFF);
            }
        }
        result.copyTo(input);
    }
    return result;
}

// The whole W x H window summed at every position.
inline std::vector<CBlob> detectBlobs(
    const cv::Mat& image, int w, int h, double maxEmptyPercent, double minFillPercent)
{
    std::vector<CBlob> blobs;
    const int halfW = w / 2;
    const int halfH = h / 2;
    const int area = w * h;
    if (w <= 0 || h <= 0 || halfH >= image.rows - halfH)
        return blobs;
    for (int y = halfH; y < image.rows - halfH; ++y) {
        for (int x = halfW; x < image.cols - halfW; ++x) {
            int sum = 0;
            int empty = 0;
            for (int row = y - halfH; row < y - halfH + h; ++row) {
                for (int column = x - halfW; column < x - halfW + w; ++column) {
                    const int value = image.at<uchar>(row, column);
                    sum += value;
                    empty += value == 0;
                }
            }
            const float emptyShare = static_cast<float>(empty) / static_cast<float>(area);
            if (100 * emptyShare < maxEmptyPercent && area * 255 * minFillPercent / 100 < sum)
                blobs.emplace_back(area, w, h, area - empty, empty, sum, x, y);
        }
    }
    return blobs;
}

inline cv::Mat drawBlobs(const cv::Mat& frame, const std::vector<CBlob>& blobs)
{
    cv::Mat drawn = frame.clone();
    for (const CBlob& blob : blobs)
        cv::rectangle(drawn, cv::Point(blob.x - blob.width, blob.y - blob.height),
            cv::Point(blob.x + blob.width, blob.y + blob.height), cv::Scalar(0, 128, 255, 255), 1,
            cv::LINE_8, 0);
    return drawn;
}

} // namespace reference
