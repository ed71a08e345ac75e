#pragma once

#include "ClipGenerator.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <initializer_list>

// Clips with moving players for the tests of the analysis stages.
namespace analysistest {

// Players move a few pixels from one frame to the next at this rate.
inline testclips::ClipSettings playerClip(int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 160;
    clipSettings.height = 120;
    clipSettings.fps = 2.0;
    clipSettings.frames = frames;
    return clipSettings;
}

// 255 where a player covers the pixel in any of the given frames.
inline cv::Mat playerPixels(const testclips::ClipSettings& clipSettings, std::initializer_list<int> indices)
{
    testclips::ClipSettings empty = clipSettings;
    empty.players = 0;
    cv::Mat any = cv::Mat::zeros(clipSettings.height, clipSettings.width, CV_8UC1);
    for (int index : indices) {
        cv::Mat difference;
        cv::absdiff(
            testclips::renderFrame(clipSettings, index), testclips::renderFrame(empty, index), difference);
        cv::cvtColor(difference, difference, cv::COLOR_BGR2GRAY);
        any |= difference > 0;
    }
    return any;
}

// 255 where the BGR picture has exactly this colour.
inline cv::Mat pixelsOf(const cv::Mat& picture, cv::Vec3b colour)
{
    const cv::Scalar value(colour[0], colour[1], colour[2]);
    cv::Mat mask;
    cv::inRange(picture, value, value, mask);
    return mask;
}

} // namespace analysistest
