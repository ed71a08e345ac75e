#pragma once

#include <opencv2/core.hpp>

#include <cmath>
#include <optional>
#include <vector>

// Painted pitch lines in a BGR frame: bright, unsaturated ridges 1 to about
// 12 px wide with grass beside them (on both sides, or on the inner side of
// an outer line, whatever lies beyond it). Builds the masks (grass, line pixels), groups line
// segments into straight lines refined to the ridge centre with sub-pixel precision, and finds
// where two of them cross.
//
// Stateless apart from its settings; no lock of its own.
class CLineFinder
{
public:
    // A straight painted line: a point on its centre, its unit direction, and
    // the positions along it (distances from point, sorted) where paint was
    // seen.
    struct Line
    {
        cv::Point2d point;
        cv::Point2d direction;
        std::vector<double> support;
        double width = 0.0; // of the paint across the line, pixels
    };

    // A ridge met across a line: the sub-pixel offset of its centre from
    // where the search began, and its width at half its height.
    struct Ridge
    {
        double offset = 0.0;
        double width = 0.0;
    };

    CLineFinder();
    // Finds only lines with a straight run of paint at least this long: a
    // caller after long lines is spared the short ones of a busy picture.
    explicit CLineFinder(double minSegmentPx);
    virtual ~CLineFinder();

    // 255 where the picture shows grass: green, saturated enough, not dark.
    static cv::Mat GrassMask(const cv::Mat& bgr);
    // How much paler a pixel is than its surroundings within a line width
    // (white top-hat of the darkest channel): high on thin white lines, low
    // on grass, on wide bright areas and on coloured objects.
    static cv::Mat RidgeImage(const cv::Mat& bgr);
    // The ridge image of the part of the frame round the points, with
    // marginPx to spare, and where that part begins in the frame; an empty
    // image where none of it lies in the frame.
    struct RidgeWindow
    {
        cv::Mat ridge;
        cv::Point2d origin;
    };
    static RidgeWindow RidgeAround(
        const cv::Mat& bgr, const std::vector<cv::Point2f>& points, int marginPx);
    // 255 on painted-line pixels: a strong ridge with grass next to it.
    static cv::Mat LineMask(const cv::Mat& ridge, const cv::Mat& grass);

    // Straight lines in the picture, in its coordinates.
    std::vector<Line> FindLines(const cv::Mat& bgr) const;
    // The crossing of two lines nearest to point, within radiusPx of it;
    // nothing when fewer than two lines cross there.
    std::optional<cv::Point2d> SnapToLines(
        const cv::Mat& bgr, cv::Point2d point, double radiusPx) const;

    // The sub-pixel offset along unit normal from at to the nearest ridge
    // centre within searchPx; nothing when no ridge is that close.
    static std::optional<double> RidgeOffset(
        const cv::Mat& ridge, cv::Point2d at, cv::Point2d normal, double searchPx);
    // Half the width of the widest painted line.
    static constexpr double kMaxHalfWidthPx = 7.0;
    // As RidgeOffset, for a centre within searchPx of at; where its paint
    // runs off the profile (a thick line a few pixels off), seen again on a
    // profile long enough to hold the widest line whole. The short profile
    // comes first: on a longer one, thin lines close together (a circle
    // seen flat, crossing the halfway line) blur into each other.
    static std::optional<double> PaintOffset(
        const cv::Mat& ridge, cv::Point2d at, cv::Point2d normal, double searchPx)
    {
        if (const std::optional<double> offset = RidgeOffset(ridge, at, normal, searchPx))
            return offset;
        const std::optional<double> offset
            = RidgeOffset(ridge, at, normal, searchPx + kMaxHalfWidthPx);
        return offset && std::abs(*offset) <= searchPx ? offset : std::nullopt;
    }
    // As RidgeOffset, with the ridge's width.
    static std::optional<Ridge> RidgeAt(
        const cv::Mat& ridge, cv::Point2d at, cv::Point2d normal, double searchPx);

    // Where two painted lines meet: they cross at 13 degrees or more, and
    // each is painted up to the crossing (or up to where the other's paint
    // hides it); nothing otherwise.
    static std::optional<cv::Point2d> Meeting(const Line& a, const Line& b);
    // Where two lines cross; nothing when they are nearly parallel.
    static std::optional<cv::Point2d> Crossing(const Line& a, const Line& b);
    // Distance along line from the crossing position t to the nearest paint.
    static double GapTo(const Line& line, double t);

    // The grass mask, the darkest channel and the line mask of a picture.
    struct Surroundings
    {
        cv::Mat grass;
        cv::Mat pale;
        cv::Mat paint;
    };

private:
    std::optional<cv::Point2d> snapIn(
        const cv::Mat& bgr, cv::Point2d point, double radiusPx, int reach) const;
    static cv::Mat paleOf(const cv::Mat& bgr);
    static cv::Mat ridgeOf(const cv::Mat& pale);
    std::vector<cv::Vec4i> segments(const cv::Mat& mask) const;
    std::vector<Line> groupSegments(const std::vector<cv::Vec4i>& found) const;
    std::optional<Line> refine(
        const cv::Mat& ridge, const Surroundings& around, const Line& rough) const;

    // Beyond a line's half width, how far across it its ridge is searched
    // once fitted; also the slack of its paint's end where lines meet.
    static constexpr double kNarrowMarginPx = 2.5;

    double minSegmentPx;
};
