#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <string>

// Synthetic fixed-camera pitch clips with known ground truth: a striped green
// pitch with a white outline, a line across the middle, a centre circle, a
// darker surround and a few moving coloured players, seen through a known
// perspective.
namespace testclips {

struct ClipSpec
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
    // A simulated match drawn standing (PlayerSimulation, PlayerSprite): 22
    // players, a referee and people beside the pitch, with ground truth.
    bool match = false;
};

struct ClipTruth
{
    ClipSpec clipSettings;
    // Picture corners in click order: top left, top right, bottom left, bottom right.
    std::array<cv::Point, 4> corners;
    // Maps real pitch coordinates (x across from the bottom-left corner,
    // 0..fieldWidth; y from the bottom edge 0 to the top edge fieldLength)
    // to picture pixels.
    cv::Matx33d homography;

    cv::Point2d toPicture(double realX, double realY) const;
    cv::Point centre() const; // the pitch centre in the picture, rounded
};

// Empty when the clipSettings can be rendered, otherwise what is wrong with it.
std::string specError(const ClipSpec& clipSettings);

// For an invalid clipSettings: zero corners and an identity homography.
ClipTruth truthFor(const ClipSpec& clipSettings);

// Exact BGR frame `index` (what a lossless clip decodes to); empty for an
// invalid clipSettings.
cv::Mat renderFrame(const ClipSpec& clipSettings, int index);

// Writes the clip through the ffmpeg program; codec by extension: .mkv FFV1
// (lossless: decodes to exactly renderFrame), .avi MJPEG, .mp4 H.264 (when
// the encoder is available). Creates missing parent folders and writes
// `<path minus extension>.json` beside the clip unless writeJson is false.
// Returns false and sets *error on failure; a partly written clip is removed.
bool writeClip(const ClipSpec& clipSettings, const std::string& path, std::string* error = nullptr,
    bool writeJson = true);

bool h264Available();

// The index a frame drawn with frameCode carries (the picture's width and
// height must be those of the clip), -1 when the row of blocks is not clean.
int readFrameCode(const cv::Mat& bgr);

// Size, fps, frame count, length/width/radius, corners in click order,
// centre and homography, as JSON with numbers in the C locale.
std::string truthJson(const ClipTruth& truth);

} // namespace testclips
