#pragma once

#include "ClipSettings.h"

#include <opencv2/core.hpp>

#include <vector>

namespace testclips {

// Draws the players of a clip: coloured ellipses that move across the pitch
// and bounce off a band inside its edges, and still ones standing on the
// outline. Where they stand follows from the settings' seed alone.
class PlayerPainter
{
public:
    explicit PlayerPainter(const ClipTruth& truth);

    // Draws every player as it stands in frame `index`.
    void draw(cv::Mat& frame, int index) const;

private:
    struct Player
    {
        cv::Point2d start; // real units
        cv::Point2d velocity; // real units per second
        cv::Scalar colour;
    };

    void drawMoving(cv::Mat& frame, const Player& p, int index) const;
    void drawOnLine(cv::Mat& frame) const;

    const ClipTruth& truth;
    const ClipSettings& plan;
    std::vector<Player> players;
};

} // namespace testclips
