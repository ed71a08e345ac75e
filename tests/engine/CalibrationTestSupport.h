#pragma once

#include "ClipGenerator.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <array>
#include <filesystem>
#include <string>

// Pitches with all their markings and the real drone clip, for the tests of
// snapping, dimension estimates and the calibration fit.
namespace calibrationtest {

// A still pitch with realistic paint (0.12 m wide lines, penalty and goal
// areas), its length running from the bottom edge to the top edge.
inline testclips::ClipSettings markedPitch(
    int width, int height, double tilt, float lengthM = 105.f, float widthM = 68.f, int players = 0)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = width;
    clipSettings.height = height;
    clipSettings.tilt = tilt;
    clipSettings.fieldLength = lengthM;
    clipSettings.fieldWidth = widthM;
    clipSettings.players = players;
    clipSettings.lineWidth = 0.12f;
    clipSettings.penaltyAreas = true;
    return clipSettings;
}

// Corners in click order: top left, top right, bottom left, bottom right.
inline std::array<cv::Point2d, 4> cornersOf(const testclips::ClipTruth& truth)
{
    return { cv::Point2d(truth.corners[0]), cv::Point2d(truth.corners[1]),
        cv::Point2d(truth.corners[2]), cv::Point2d(truth.corners[3]) };
}

// The drone clip: 105 m along the bottom edge, 68 m from bottom to top, and
// its corners as measured by hand on the first frame (good to 1-2 px).
constexpr const char* kDroneClip = "soccer_drone_topdown_1260x708_60fps.mp4";
constexpr double kDroneWidthM = 105.0;
constexpr double kDroneLengthM = 68.0;
inline const std::array<cv::Point2d, 4> kDroneCorners { cv::Point2d(152, 40), cv::Point2d(1125, 37),
    cv::Point2d(154, 660), cv::Point2d(1118, 672) };

// The first frame of a clip of the real test media; empty when the media
// folder is absent (the caller skips).
inline cv::Mat firstMediaFrame(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(TARVOLA_MEDIA_DIR) / name;
    cv::Mat frame;
    if (std::filesystem::exists(path))
        cv::VideoCapture(path.string(), cv::CAP_FFMPEG).read(frame);
    return frame;
}

} // namespace calibrationtest
