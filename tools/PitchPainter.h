#pragma once

#include "ClipSettings.h"

#include <opencv2/core.hpp>

#include <vector>

namespace testclips {

// Draws the still part of a clip: the surround, the striped grass and the
// painted markings (outline, halfway line, centre circle, penalty and goal
// areas), each line centred on its true position.
class PitchPainter
{
public:
    explicit PitchPainter(const ClipTruth& truth);

    cv::Mat render() const;

    // The colour beyond the pitch (also what a shifted picture uncovers).
    static cv::Scalar surround(const ClipSettings& clipSettings);

private:
    void fillRealQuad(
        cv::Mat& frame, double x0, double y0, double x1, double y1, const cv::Scalar& colour) const;
    void fillRealStrip(cv::Mat& frame, cv::Point2d a, cv::Point2d b) const;
    void fillPictureStrip(cv::Mat& frame, cv::Point2d a, cv::Point2d b) const;
    void fillSupersampled(
        cv::Mat& frame, const std::vector<std::vector<cv::Point>>& polygons) const;
    void drawRealSegment(cv::Mat& frame, cv::Point2d a, cv::Point2d b) const;
    void drawAreaBox(
        cv::Mat& frame, double edgeY, double inward, double boxWidth, double depth) const;
    void drawPenaltyAreas(cv::Mat& frame) const;
    std::vector<cv::Point> centreRing(double radius, double offsetPx = 0.0) const;
    void drawCentreCircle(cv::Mat& frame) const;
    int lineThicknessPx() const;

    const ClipTruth& truth;
    const ClipSettings& plan;
};

} // namespace testclips
