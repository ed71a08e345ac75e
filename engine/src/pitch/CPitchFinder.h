#pragma once

#include "pitch/CLineFinder.h"

#include <opencv2/core.hpp>

#include <array>
#include <optional>
#include <vector>

// The four corners of a pitch's outer boundary in a picture from a fixed
// camera that sees the whole pitch. Painted lines are found on the grass;
// every four of them that close a convex quadrilateral, painted along its
// sides and ending at its corners, is a candidate boundary; the largest
// whose halfway line is painted where the pitch model puts it wins. Its
// corners are the crossings of the line centres, each refitted near the
// corner so that slight lens bending does not move it.
//
// Never a guess: a picture without such a boundary gives nothing.
// Stateless; no lock of its own.
class CPitchFinder
{
public:
    // Click order: top left, top right, bottom left, bottom right, where
    // "top" is the edge nearer the top of the picture.
    using Corners = std::array<cv::Point2d, 4>;

    CPitchFinder();
    virtual ~CPitchFinder();

    std::optional<Corners> Find(const cv::Mat& bgr) const;

private:
    using Line = CLineFinder::Line;
    // Four lines in order round a quadrilateral and its corners: corner k
    // joins side k and side k + 1.
    struct Candidate
    {
        std::array<int, 4> sides;
        std::array<cv::Point2d, 4> corners;
        double area = 0.0;
    };

    // The boundary's four lines in order round it and its corners.
    struct Boundary
    {
        std::array<Line, 4> sides;
        std::array<cv::Point2d, 4> corners;
    };

    std::optional<Boundary> detect(const cv::Mat& bgr) const;
    std::vector<Candidate> candidates(const std::vector<Line>& lines, cv::Size picture) const;
    std::optional<Candidate> closed(
        const std::vector<Line>& lines, const std::array<int, 4>& sides, cv::Size picture) const;
    bool halfwayLinePainted(const cv::Mat& ridge, const Candidate& quad) const;
    std::array<cv::Point2d, 4> refined(
        const cv::Mat& bgr, const Boundary& boundary, double searchPx) const;
    static Corners inClickOrder(const std::array<cv::Point2d, 4>& round);
};
