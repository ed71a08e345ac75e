#pragma once

#include "ClipGenerator.h"
#include "PlayerSimulation.h"

#include <opencv2/core.hpp>

// Draws the people of a PlayerSimulation standing on the pitch, as the
// clip's camera sees them: feet on the ground point, the body's height
// projected by the camera. The camera is read from the homography alone: a
// small disc on the ground becomes an ellipse whose short axis points away
// from the camera and is shortened by sin(elevation); a standing body shows
// along that axis, cos(elevation) of its height. Seen from straight above a
// player is a disc centred on the feet; from an oblique camera a capsule
// rising from them.
namespace testclips {

struct PersonShape
{
    cv::Point2d foot; // picture point of the ground contact
    cv::Point2d up; // from the feet to the top of the head, pixels
    double radiusPx = 0; // half the body's width
};

constexpr double kBodyHeightM = 1.8;
constexpr double kBodyWidthM = 0.5;

PersonShape personShape(const ClipTruth& truth, cv::Point2d ground);

void drawPerson(cv::Mat& frame, const ClipTruth& truth, const SimPerson& person,
    cv::Point2d ground);

// Everyone of the clip's simulation at frame `index` (ClipSettings::match).
void drawMatch(cv::Mat& frame, const ClipTruth& truth, int index);

// The simulation a match clip is drawn from.
PlayerSimulation simulationFor(const ClipSettings& clipSettings);

} // namespace testclips
