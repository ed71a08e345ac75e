#pragma once

#include "analysis/CBinaryWindow.h"
#include "analysis/CBlob.h"

#include <opencv2/core.hpp>

#include <vector>

// Two tools on one 8-bit single-channel image at a time: a filter that passes
// binary windows over a mask and fills the pixels a window asks for, and a
// sliding-window detector that reports every mostly filled window position as
// a blob and draws the blobs as rectangles onto a frame.
class CSegmentation
{
public:
    CSegmentation();
    virtual ~CSegmentation();

    // Appends a copy of the window; always 0.
    int AddWindow(CBinaryWindow window);
    // Takes a private copy of the image; returns it.
    const cv::Mat& SetImage(const cv::Mat& image);

    // Each window in turn works on the previous one's output; pixels closer
    // to the border than half a window keep their values. 0, or -1 without an
    // input, -2 for an input that is not 8-bit single-channel.
    int ApplyWindows();

    // Every position of a W x H window whose share of 0 pixels stays below
    // maxEmptyPercent and whose sum exceeds minFillPercent of W * H * 255
    // becomes a blob. Windows of 0 or less, or larger than the image, find
    // none. 0, or -1 / -2 as for ApplyWindows.
    int DetectBlobs(
        int windowWidth, int windowHeight, double maxEmptyPercent, double minFillPercent);

    // Copies the frame and draws a rectangle reaching a full window width
    // and height on each side of every blob's centre.
    void DrawBlobs(const cv::Mat& frame);

    const cv::Mat& getInput() const { return input; }
    const cv::Mat& getResult() const { return result; }
    const cv::Mat& getDrawn() const { return drawn; }
    const std::vector<CBinaryWindow>& getWindows() const { return windows; }
    const std::vector<CBlob>& getBlobs() const { return blobs; }

    static const cv::Scalar kBlobColour;

private:
    // The outline pixels of many rectangles, marked in one pass over the
    // image; its buffers are kept from frame to frame.
    struct OutlineCanvas
    {
        void draw(const std::vector<CBlob>& blobs, cv::Size size);

        cv::Mat1i rowEdges; // per row: +1 where a horizontal edge starts, -1 past its end
        cv::Mat1i columnEdges; // per column, the same for vertical edges
        cv::Mat mask; // 255 on every outline pixel
    };

    cv::Mat input;
    cv::Mat result;
    cv::Mat drawn;
    std::vector<CBinaryWindow> windows;
    std::vector<CBlob> blobs;
    OutlineCanvas outline;
};
