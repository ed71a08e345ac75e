#pragma once

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

// The pitch's size implied by a penalty area (16.5 m deep, 40.32 m wide) and
// the goal area inside it (5.5 m deep, 18.32 m wide), from painted pixels in
// the unit square of the pitch (u along the bottom edge, v from the bottom
// edge to the top edge). The goal lines are either the bottom and top edges
// or the left and right ones, depending on which way the pitch was clicked;
// all four edges are tried.
//
// Stateless; no lock of its own.
class CPenaltyAreaGauge
{
public:
    struct Sizes
    {
        double lengthM = 0.0; // along v
        double widthM = 0.0; // along u
    };

    CPenaltyAreaGauge();
    virtual ~CPenaltyAreaGauge();

    // One estimate per edge where both boxes are found; paint holds unit-square
    // points, pictureToUnit the perspective they came through (for the size
    // of a pixel near each edge).
    std::vector<Sizes> Measure(
        const std::vector<cv::Point2d>& paint, const cv::Matx33d& pictureToUnit) const;

private:
    // Paint in the frame of one edge: depth from the goal line, position
    // along it.
    struct EdgeFrame
    {
        bool goalLinesAlongU; // the goal line is the bottom or top edge
        bool far; // the top or right edge rather than the bottom or left
    };

    std::optional<Sizes> measureAt(
        const std::vector<cv::Point2d>& paint, EdgeFrame edge, double unitsPerPixel) const;
};
