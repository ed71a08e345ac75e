#pragma once

#include "pitch/CPitchGeometry.h"
#include "tracking/CPlayerShape.h"

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include <optional>
#include <vector>

// One player seen in one frame.
struct CPlayerDetection
{
    cv::Point2d picture; // the foot point, video pixels
    cv::Point2d pitch; // the same on the pitch, metres
    cv::Vec3f colour; // the shirt's mean colour, CIE L*a*b* (8-bit scale)
    bool weak = false; // a blob smaller than a player: matched only to known tracks
    int pixels = 0; // of the work picture the sighting covers
    int blob = 0; // which foreground blob it came from, within one frame
};

// Finds the players in the frames of a fixed camera: background subtraction
// (MOG2, primed with an empty-pitch picture) on a reduced copy of the area
// round the pitch, cleaned blobs, blobs as large as several players split
// by the size one player has at that place, and a foot point per player
// taken from the blob and the camera's view of a standing body
// (CPlayerShape). Only people whose feet are on the pitch or within
// kOutsideM of its lines are reported.
class CPlayerDetector
{
public:
    // Beyond the lines by this much a person still plays (a throw-in); a
    // little more than the 1.5 m a thrower stands out, for the foot point's
    // own error.
    static constexpr double kOutsideM = 2.0;
    // Sightings of different blobs closer than this are parts of one player
    // (the background model often cuts a small player into pieces).
    static constexpr double kFragmentM = 0.8;

    // Empty when the geometry gives no usable scale at the pitch's centre.
    static std::optional<CPlayerDetector> create(const CPitchGeometry& geometry, double width,
        double length, cv::Size frameSize, double fps = 25.0);

    // The background model starts from the per-pixel median of frames
    // sampled across the video (full frame size): a picture of the pitch
    // without its players as long as each of them moves at some time,
    // instead of learning it over many frames while missing players.
    void addBackgroundSample(const cv::Mat& bgr);
    void primeBackground();
    // Feeds one full-size BGR frame and returns the players in it.
    // `expected` holds where the known players should be now (pitch
    // metres): a blob that several of them fall into is split into that many
    // players; a blob no more than one falls into is split only when it is
    // far larger than one player, since real players with their shadows and
    // spread limbs often show larger than the model's.
    std::vector<CPlayerDetection> detect(
        const cv::Mat& bgr, const std::vector<cv::Point2d>& expected = {});
    // The same in two steps: the reduced copy of the area round the pitch
    // (cheap, and all that is read of the frame), then the detection on it.
    cv::Mat reduce(const cv::Mat& bgr) const;
    std::vector<CPlayerDetection> detectReduced(
        const cv::Mat& small, const std::vector<cv::Point2d>& expected = {});

    // Until this frame the background model may still report what differs
    // between the primed background and the video's first frames (painted
    // lines the camera's drift or the coding moved, the light): the frames
    // it takes a steady change to count as background.
    int settledFrames() const;

    double workScale() const { return scale; }
    cv::Rect workArea() const { return area; }

private:
    CPlayerDetector(const CPitchGeometry& geometry, double width, double length, cv::Size frameSize,
        double scale, cv::Rect area, double learningRate);

    cv::Size workSize() const;
    static cv::Mat alignmentPicture(const cv::Mat& small);
    cv::Mat steady(const cv::Mat& small);
    cv::Mat foreground(const cv::Mat& small);
    std::vector<CPlayerDetection> playersInMask(const std::vector<cv::Point2d>& expected);
    void readBlob(const cv::Mat& labels, int label, const cv::Rect& box, int known,
        std::vector<CPlayerDetection>& out) const;
    std::vector<int> knownPerBlob(
        const cv::Mat& labels, int count, const std::vector<cv::Point2d>& expected) const;
    void addPart(const std::vector<cv::Point2f>& points, int blob,
        std::vector<CPlayerDetection>& out) const;
    static void mergeFragments(std::vector<CPlayerDetection>& found);
    cv::Point2d toFrame(cv::Point2d work) const;
    bool playing(cv::Point2d pitch) const;

    CPitchGeometry geometry;
    double width, length;
    cv::Size frameSize;
    double scale; // work pixels per frame pixel
    cv::Rect area; // of the frame, in frame pixels
    cv::Ptr<cv::BackgroundSubtractorMOG2> background;
    cv::Mat workFrame; // the reduced frame the blobs' colours are read from
    cv::Mat workMask; // its foreground
    cv::Mat groupKernel;
    std::vector<cv::Mat> backgroundSamples; // reduced
    cv::Mat backgroundGrey; // the primed background, for measuring drift
    cv::Mat alignWindow;
    cv::Point2d drift; // of the frames against the background, work pixels
    long long framesSeen = 0;
    double learningRate;
};
