#pragma once

#include "LensWarp.h"

#include <opencv2/core.hpp>

#include <array>

// The settings of a generated clip and the ground truth it is drawn from.
namespace testclips {

struct ClipSettings
{
    int width = 320, height = 240; // 16x16 up to 16384x16384, odd sizes too
    double fps = 25.0;
    int frames = 10;
    float fieldLength = 68.f; // real extent from the bottom edge to the top edge of the picture
    float fieldWidth = 105.f; // real extent between the two corners of an edge
    float radius = 9.15f; // centre circle radius, real units; 0 draws no circle
    int players = 4; // moving coloured ellipses, 0 to 64
    double tilt = 0.5; // perspective strength: 0 = seen from straight above, 1 = strongly oblique
    // A camera off the pitch's middle: the far edge shifted sideways by this
    // share of the near edge's length, -0.5 to 0.5 (positive to the right).
    double pan = 0.0;
    // The camera turned about its axis: the pitch rotated in the picture by
    // this many degrees, -30 to 30 (positive clockwise).
    double rollDeg = 0.0;
    // Players standing still on the outline, covering the paint under them;
    // 0 to 64.
    int linePlayers = 0;
    unsigned seed = 1;
    // Frames from one keyframe to the next in an H.264 clip (long GOPs make
    // seeking decode forward from far back); 0 leaves it to the encoder.
    int keyframeInterval = 0;
    // Draws each frame's index into the top margin as a row of black and
    // white blocks, readable after lossy coding (readFrameCode).
    bool frameCode = false;
    // Penalty areas (16.5 x 40.32 m) and goal areas (5.5 x 18.32 m) on the
    // top and bottom edges, the edges the line across the middle parallels.
    bool penaltyAreas = false;
    // Painted line width in real units, drawn anti-aliased at its width in
    // perspective and centred on the true line; 0 draws every line a fixed
    // number of pixels wide.
    float lineWidth = 0.f;
    // From frame shiftAtFrame on, the whole picture (pitch and players; not
    // the frame code) is drawn shiftXPx to the right and shiftYPx down, as
    // when the camera is knocked; the strip it leaves shows the surround.
    int shiftAtFrame = 0;
    int shiftXPx = 0;
    int shiftYPx = 0;
    // Every finished frame bent through this lens (the truth stays pinhole:
    // its points go through lens.distort).
    Lens lens;
    // A simulated match drawn standing (PlayerSimulation, PlayerSprite): 22
    // players, a referee and people beside the pitch, with ground truth.
    bool match = false;
    // Every painted line this many pixels wide in the picture, near and far
    // alike, as a camera close to the pitch sees its nearest lines; 0 leaves
    // the width to lineWidth. Up to 16.
    float lineWidthPx = 0.f;
    // What lies beyond the outer lines.
    enum class Surround { Grass, RunOff, Track, Wall };
    Surround surround = Surround::Grass;
    // A real camera in place of tilt: this many metres above the ground and
    // behind the middle of the bottom edge, looking at the pitch centre (the
    // picture then shows the pitch as that camera sees it, scaled into the
    // margins, with pan and roll applied). 0 keeps the tilt model.
    double cameraHeightM = 0.0;
    double cameraBackM = 0.0;
};

struct ClipTruth
{
    ClipSettings clipSettings;
    // Picture corners in click order: top left, top right, bottom left, bottom right.
    std::array<cv::Point, 4> corners;
    // Maps real pitch coordinates (x across from the bottom-left corner,
    // 0..fieldWidth; y from the bottom edge 0 to the top edge fieldLength)
    // to picture pixels.
    cv::Matx33d homography;

    cv::Point2d toPicture(double realX, double realY) const;
    cv::Point centre() const; // the pitch centre in the picture, rounded
};

} // namespace testclips
