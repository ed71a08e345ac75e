#include "analysis/CLookupTable.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>

namespace {

constexpr int kMarkedValue = 255;
constexpr int kMaxThresholdPerMille = 999;
constexpr int kPerMille = 1000;

} // namespace

CLookupTable::CLookupTable()
    : entries(kEntryCount)
{ }

CLookupTable::~CLookupTable() = default;

int CLookupTable::Classify(const cv::Mat& frame)
{
    if (frame.empty())
        return -1;
    if (frame.type() != CV_8UC3)
        return -2;
    for (TableEntry& entry : entries)
        entry.count = 0;
    cv::cvtColor(frame, hsvImage, cv::COLOR_BGR2HSV);

    // Quantise each channel to step * (c div step) in place and count the
    // pixel's colour. kStep is a power of two, so c div step is c >> 4.
    static_assert(kStep == 16 && kLevels == 16);
    for (int y = 0; y < hsvImage.rows; ++y) {
        std::uint8_t* pixel = hsvImage.ptr<std::uint8_t>(y);
        std::uint8_t* const rowEnd = pixel + 3 * hsvImage.cols;
        for (; pixel != rowEnd; pixel += 3) {
            const int k0 = pixel[0] >> 4;
            const int k1 = pixel[1] >> 4;
            const int k2 = pixel[2] >> 4;
            pixel[0] = static_cast<std::uint8_t>(k0 * kStep);
            pixel[1] = static_cast<std::uint8_t>(k1 * kStep);
            pixel[2] = static_cast<std::uint8_t>(k2 * kStep);
            ++entries[static_cast<std::size_t>(indexOfLevels(k0, k1, k2))].count;
        }
    }
    return 0;
}

void CLookupTable::BuildMask()
{
    if (hsvImage.empty())
        return;
    std::array<std::uint8_t, kEntryCount> maskValue {};
    for (std::size_t i = 0; i < entries.size(); ++i)
        maskValue[i] = static_cast<std::uint8_t>(entries[i].value & 0xFF);

    colourMask.create(hsvImage.size(), CV_8UC1);
    for (int y = 0; y < hsvImage.rows; ++y) {
        const std::uint8_t* pixel = hsvImage.ptr<std::uint8_t>(y);
        std::uint8_t* mask = colourMask.ptr<std::uint8_t>(y);
        for (int x = 0; x < hsvImage.cols; ++x, pixel += 3)
            mask[x] = maskValue[static_cast<std::size_t>(
                indexOfLevels(pixel[0] >> 4, pixel[1] >> 4, pixel[2] >> 4))];
    }
}

void CLookupTable::ApplyThreshold(int thresholdPerMille)
{
    // The share is relative to the classified frame; without one there is
    // nothing to divide by.
    if (hsvImage.empty())
        return;
    const int threshold = std::clamp(thresholdPerMille, 0, kMaxThresholdPerMille);
    // 64-bit: count * 1000 exceeds 32 bits from about 4K frames on.
    const std::int64_t pixels = static_cast<std::int64_t>(hsvImage.rows) * hsvImage.cols;
    for (TableEntry& entry : entries) {
        const std::int64_t share = static_cast<std::int64_t>(entry.count) * kPerMille / pixels;
        entry.value = share < threshold ? kMarkedValue : 0;
    }
}

void CLookupTable::PaintClassified()
{
    if (hsvImage.empty() || colourMask.empty() || colourMask.size() != hsvImage.size())
        return;
    hsvImage.copyTo(classifiedImage);
    classifiedImage.setTo(paintColour, colourMask == 0);
    cv::cvtColor(classifiedImage, classifiedImage, cv::COLOR_HSV2BGR);
}

int CLookupTable::PickColour(int x, int y, bool apply)
{
    if (hsvImage.empty())
        return -1;
    // Column 0 and row 0 count as outside, as do positions past the picture:
    // they pick colour (0, 0, 0).
    cv::Vec3b colour(0, 0, 0);
    if (0 < x && x < hsvImage.cols && 0 < y && y < hsvImage.rows)
        colour = hsvImage.at<cv::Vec3b>(y, x);
    if (apply) {
        const float step = static_cast<float>(kStep);
        const float levelCount = static_cast<float>(levels);
        const int index = static_cast<int>(colour[0] / step * levelCount * levelCount)
            + static_cast<int>(levelCount * colour[1] / step) + static_cast<int>(colour[2] / step);
        if (index >= 0 && index < kEntryCount)
            entries[static_cast<std::size_t>(index)].value = kMarkedValue;
    }
    return 0;
}

void CLookupTable::ClearTable() { std::fill(entries.begin(), entries.end(), TableEntry {}); }

void CLookupTable::ReplaceColourMask(const cv::Mat& mask)
{
    if (mask.size() == colourMask.size() && mask.type() == colourMask.type())
        mask.copyTo(colourMask);
}
