#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

// Colour classification: the frame in HSV with every channel reduced to 16
// levels, a histogram over the 16^3 reduced colours, and one mark per colour
// (255 marked, 0 not). The marks give a binary mask of the frame; they are set
// one by one by picking pixels, or all at once by a frequency threshold that
// marks the colours rarer than a share of the frame.
class CLookupTable
{
public:
    struct TableEntry
    {
        std::int32_t value = 0; // 255 marked, 0 not; the mask takes its low byte
        std::int32_t count = 0; // pixels of this colour in the last classified frame
    };

    static constexpr int kLevels = 16;
    static constexpr int kStep = 256 / kLevels;
    static constexpr int kEntryCount = kLevels * kLevels * kLevels;

    CLookupTable();
    virtual ~CLookupTable();

    // 0, -1 for an empty frame, -2 for a frame that is not 8-bit BGR.
    int Classify(const cv::Mat& frame);
    void BuildMask();
    void ApplyThreshold(int thresholdPerMille);
    void PaintClassified();
    int PickColour(int x, int y, bool apply);
    void ClearTable();

    // Puts an edited mask (same size and type) back in place of the colour mask.
    void ReplaceColourMask(const cv::Mat& mask);

    const cv::Mat& getHsvImage() const { return hsvImage; }
    const cv::Mat& getColourMask() const { return colourMask; }
    const cv::Mat& getClassifiedImage() const { return classifiedImage; }
    const std::vector<TableEntry>& getEntries() const { return entries; }

    // Table index of a colour of quantised channel levels k0, k1, k2.
    static int indexOfLevels(int k0, int k1, int k2) { return (k0 * kLevels + k1) * kLevels + k2; }

private:
    cv::Mat hsvImage;
    cv::Mat colourMask;
    cv::Mat classifiedImage;
    cv::Scalar paintColour { 0, 255, 255 };
    std::vector<TableEntry> entries;
    int levels = kLevels;
};
