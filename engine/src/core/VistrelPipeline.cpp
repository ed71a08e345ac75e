#include "core/Vistrel.h"

#include <opencv2/imgproc.hpp>

#include <exception>

namespace {

constexpr int kSmoothingKernelPx = 3;
// Probability values up to this are treated as no evidence.
constexpr double kProbabilityThreshold = 86.0;
constexpr double kProbabilityMax = 255.0;

} // namespace

void Vistrel::ProcessImage()
{
    trace("ProcessImage", "entered");
    frameProcessed = true;
    if (!processingEnabled || frame.empty()) {
        trace("ProcessImage", "left");
        return;
    }
    try {
        // Some stages write into the frame, whose pixels the frame cache
        // shares: they work on a copy of their own.
        frame = frame.clone();
        // The stages write into the display image; it must not share the
        // frame's pixels, which later stages still read.
        if (outputImage.data == frame.data)
            outputImage = frame.clone();
        probabilityMatrix.Reset(1);
        if (filterEnabled) {
            Filter();
            frame.copyTo(outputImage);
        }
        if (colourClassificationEnabled) {
            ColourClassification();
            if (lookupTable.getColourMask().size() == frame.size())
                probabilityMatrix.Accumulate(lookupTable.getColourMask());
        }
        if (colourSegmentationEnabled)
            SegmentColourMask();
        if (showClassifiedColoursEnabled) {
            lookupTable.PaintClassified();
            if (lookupTable.getClassifiedImage().size() == frame.size())
                lookupTable.getClassifiedImage().copyTo(outputImage);
        }
        if (showColourMaskEnabled && lookupTable.getColourMask().size() == frame.size())
            cv::cvtColor(lookupTable.getColourMask(), outputImage, cv::COLOR_GRAY2BGR);
        if (motionAnalysisEnabled)
            AnalyseMotion();
    } catch (const std::exception& e) {
        // A failing stage costs this frame its analysis, not the playback.
        logger->logError("Vistrel::ProcessImage", e.what());
    }
    trace("ProcessImage", "left");
}

void Vistrel::Filter()
{
    trace("Filter", "entered");
    cv::GaussianBlur(frame, frame, cv::Size(kSmoothingKernelPx, kSmoothingKernelPx), 0.0, 0.0,
        cv::BORDER_REPLICATE);
    trace("Filter", "left");
}

void Vistrel::ColourClassification()
{
    trace("ColourClassification", "entered");
    if (lookupTable.Classify(frame) == 0) {
        cv::cvtColor(lookupTable.getHsvImage(), outputImage, cv::COLOR_HSV2BGR);
        // The mask uses the marks of the previous frame's threshold; this
        // frame's threshold shows from the next analysed frame on.
        lookupTable.BuildMask();
        if (colourThresholdEnabled)
            lookupTable.ApplyThreshold(colourThreshold);
    }
    trace("ColourClassification", "left");
}

// Fills the gaps of the colour mask with the two binary windows and shows
// the result. A mask left from a frame of another size is not used.
void Vistrel::SegmentColourMask()
{
    if (lookupTable.getColourMask().size() != frame.size())
        return;
    colourSegmentation.SetImage(lookupTable.getColourMask());
    colourSegmentation.ApplyWindows();
    lookupTable.ReplaceColourMask(colourSegmentation.getInput());
    cv::cvtColor(colourSegmentation.getResult(), outputImage, cv::COLOR_GRAY2BGR);
}

// Motion from the grey frame and the two before it, once two exist. The
// history advances once per analysed frame; a frame of another size than
// the history starts it afresh.
void Vistrel::AnalyseMotion()
{
    cv::Mat gray;
    cv::cvtColor(frame, gray, cv::COLOR_BGR2GRAY);
    if (!grayPrevious.empty() && grayPrevious.size() != gray.size()) {
        grayPrevious.release();
        grayBeforePrevious.release();
    }
    if (!grayBeforePrevious.empty()
        && motionAnalysis.Analyse(gray, grayPrevious, grayBeforePrevious) == 0) {
        cv::Mat shown = motionDifferenceSelected ? motionAnalysis.getMotionChange()
                                                 : motionAnalysis.getRecentMotion();
        probabilityMatrix.Accumulate(motionAnalysis.getRecentMotion());
        probabilityMatrix.Accumulate(motionAnalysis.getMotionChange());
        const bool blobs = blobDetectionEnabled;
        if (probabilityThresholdEnabled && !probabilityMatrix.getAverage().empty()) {
            cv::Mat probable; // a new image: shown still shares a motion image's pixels
            cv::threshold(probabilityMatrix.getAverage(), probable, kProbabilityThreshold,
                kProbabilityMax, cv::THRESH_TOZERO);
            shown = probable;
            cv::cvtColor(shown, outputImage, cv::COLOR_GRAY2BGR);
            if (blobs)
                MarkBlobs(shown);
        }
        if (!blobs)
            cv::cvtColor(shown, outputImage, cv::COLOR_GRAY2BGR);
    }
    grayBeforePrevious = std::move(grayPrevious);
    grayPrevious = std::move(gray);
}

void Vistrel::MarkBlobs(const cv::Mat& probability)
{
    blobSegmentation.SetImage(probability);
    blobSegmentation.DetectBlobs(
        blobWindowWidth, blobWindowHeight, blobMaxEmptyPercent, blobMinFillPercent);
    blobSegmentation.DrawBlobs(frame);
    blobSegmentation.getDrawn().copyTo(outputImage);
}

// The table is used by the loop on the worker thread; picks and clears from
// the GUI thread wait for the loop's pass to end.
int Vistrel::pickColour(int x, int y, bool apply)
{
    MutexHold hold(*this);
    notePictureChange();
    return lookupTable.PickColour(x, y, apply);
}

void Vistrel::clearColourTable()
{
    MutexHold hold(*this);
    notePictureChange();
    lookupTable.ClearTable();
}
