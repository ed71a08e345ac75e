#pragma once

#include "ClipSettings.h"

#include <opencv2/core.hpp>

#include <string>

// Synthetic fixed-camera pitch clips with known ground truth: a striped green
// pitch with a white outline, a line across the middle, a centre circle, a
// darker surround and a few moving coloured players, seen through a known
// perspective.
namespace testclips {

// Empty when the clipSettings can be rendered, otherwise what is wrong with it.
std::string specError(const ClipSettings& clipSettings);

// For an invalid clipSettings: zero corners and an identity homography.
ClipTruth truthFor(const ClipSettings& clipSettings);

// Exact BGR frame `index` (what a lossless clip decodes to); empty for an
// invalid clipSettings.
cv::Mat renderFrame(const ClipSettings& clipSettings, int index);

// Writes the clip through the ffmpeg program; codec by extension: .mkv FFV1
// (lossless: decodes to exactly renderFrame), .avi MJPEG, .mp4 H.264 (when
// the encoder is available). Creates missing parent folders and writes
// `<path minus extension>.json` beside the clip unless writeJson is false.
// Returns false and sets *error on failure; a partly written clip is removed.
bool writeClip(const ClipSettings& clipSettings, const std::string& path, std::string* error = nullptr,
    bool writeJson = true);

bool h264Available();

// The index a frame drawn with frameCode carries (the picture's width and
// height must be those of the clip), -1 when the row of blocks is not clean.
int readFrameCode(const cv::Mat& bgr);

// Size, fps, frame count, length/width/radius, corners in click order,
// centre and homography, as JSON with numbers in the C locale.
std::string truthJson(const ClipTruth& truth);

} // namespace testclips
