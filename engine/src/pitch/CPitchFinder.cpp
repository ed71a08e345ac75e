#include "pitch/CPitchFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Lines are looked for on a picture of at most this many pixels (540p).
constexpr double kDetectionAreaPx = 960.0 * 540.0;
// A pitch seen whole covers a good part of the picture with grass that
// survives an opening (a tenth from a low camera, which sees it flat):
// noise, streets and black frames do not.
constexpr double kMinGrassShare = 0.08;
constexpr int kGrassOpeningPx = 5;
// Inside the boundary, the pitch is mostly grass (players and paint aside).
constexpr double kMinGrassInsideShare = 0.6;
// Boundary sides hold straight runs of paint at least this share of the
// picture's shorter side; shorter ones (crowds, lettering) are not looked at.
constexpr double kMinSegmentShare = 0.06;
// Only the longest lines can be boundary sides; this many bound the search.
constexpr std::size_t kMaxLines = 32;
// Sides at least this share of the picture's shorter side; the pitch at
// least this share of the picture.
constexpr double kMinSideShare = 0.1;
constexpr double kMinAreaShare = 0.05;
// A low camera sees the far corners with the lines meeting at 15 degrees.
const double kMinCornerAngleRad = 12.0 * CV_PI / 180.0;
// Corners stay this far inside the picture: a boundary cut by the frame
// edge is not the whole boundary.
constexpr double kEdgeMarginPx = 3.0;
// A side is painted along this share of its length at least (players and
// shadows cover the rest).
constexpr double kMinPaintedShare = 0.6;
// Beyond a corner of the outer boundary neither line goes on: paint on at
// most this share of a stretch past the other line's width.
constexpr double kMaxPaintBeyondShare = 0.25;
constexpr double kBeyondGapPx = 6.0;
constexpr double kBeyondGapShare = 0.006; // of the picture's shorter side
constexpr double kMinBeyondPx = 15.0;
constexpr double kBeyondSideShare = 0.1;
// The halfway line joins the midpoints of two opposite sides; it is
// compared away from the sides, within this search and tolerance.
constexpr int kHalfwaySamples = 60;
constexpr double kHalfwayEndMargin = 0.08;
constexpr double kHalfwaySearchPx = 6.0;
constexpr double kHalfwayTolerancePx = 3.0;
constexpr double kMinHalfwayShare = 0.6;
constexpr double kTangentStep = 1e-4;
// Corners are refitted on the stretch of each side nearest them, so that a
// side bent by the lens still meets its neighbour where the paint does.
constexpr double kNearCornerShare = 0.3;
constexpr double kRidgeSearchPx = 3.0;
// Pixels round a stretch that its ridge image needs (the top-hat window).
constexpr int kRidgeContextPx = 16;
constexpr std::size_t kMinRefitPoints = 12;

using Line = CLineFinder::Line;

double along(const Line& line, cv::Point2d p) { return (p - line.point).dot(line.direction); }

cv::Point2d normalOf(const Line& line) { return { -line.direction.y, line.direction.x }; }

// How many paint positions of line lie in [from, to].
double paintBetween(const Line& line, double from, double to)
{
    const auto first = std::lower_bound(line.support.begin(), line.support.end(), from);
    const auto last = std::upper_bound(line.support.begin(), line.support.end(), to);
    return static_cast<double>(std::max<std::ptrdiff_t>(0, last - first));
}

double shorterSide(cv::Size picture) { return std::min(picture.width, picture.height); }

// The side of the boundary on line between the positions from < to is
// painted, and the line does not go on past either end.
bool isBoundarySide(const Line& line, double from, double to, cv::Size picture)
{
    const double length = to - from;
    if (length < kMinSideShare * shorterSide(picture))
        return false;
    if (paintBetween(line, from, to) < kMinPaintedShare * length)
        return false;
    const double gap = std::max(kBeyondGapPx, kBeyondGapShare * shorterSide(picture));
    const double stretch = std::max(kMinBeyondPx, kBeyondSideShare * length);
    return paintBetween(line, from - gap - stretch, from - gap) <= kMaxPaintBeyondShare * stretch
        && paintBetween(line, to + gap, to + gap + stretch) <= kMaxPaintBeyondShare * stretch;
}

cv::Mat grassOpened(const cv::Mat& bgr)
{
    cv::Mat grass = CLineFinder::GrassMask(bgr);
    cv::morphologyEx(grass, grass, cv::MORPH_OPEN,
        cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kGrassOpeningPx, kGrassOpeningPx)));
    return grass;
}

double grassShareInside(const cv::Mat& grass, const std::array<cv::Point2d, 4>& round)
{
    std::vector<cv::Point> polygon;
    for (const cv::Point2d& p : round)
        polygon.emplace_back(cvRound(p.x), cvRound(p.y));
    cv::Mat inside = cv::Mat::zeros(grass.size(), CV_8UC1);
    cv::fillConvexPoly(inside, polygon, 255);
    const int area = cv::countNonZero(inside);
    return area > 0 ? cv::countNonZero(grass & inside) / static_cast<double>(area) : 0.0;
}

// The perspective from the unit square (u along the bottom edge, v from the
// bottom edge to the top edge) to the picture.
cv::Matx33d unitToPicture(const CPitchFinder::Corners& corners)
{
    const cv::Point2f unit[4] = { { 0, 1 }, { 1, 1 }, { 0, 0 }, { 1, 0 } };
    const cv::Point2f picture[4] = { corners[0], corners[1], corners[2], corners[3] };
    return cv::Matx33d(cv::getPerspectiveTransform(unit, picture));
}

cv::Point2d apply(const cv::Matx33d& h, cv::Point2d p)
{
    const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1.0);
    return { q[0] / q[2], q[1] / q[2] };
}

// Share of the samples of the unit-square segment from a to b that have a
// painted line centre within the tolerance.
double paintedShare(const cv::Mat& ridge, const cv::Matx33d& h, cv::Point2d a, cv::Point2d b)
{
    int found = 0;
    for (int i = 0; i < kHalfwaySamples; ++i) {
        const cv::Point2d unit = a + (b - a) * (i / (kHalfwaySamples - 1.0));
        const cv::Point2d at = apply(h, unit);
        const cv::Point2d d = apply(h, unit + (b - a) * kTangentStep) - at;
        const double n = cv::norm(d);
        if (!(n > 0))
            continue;
        const auto offset
            = CLineFinder::RidgeOffset(ridge, at, cv::Point2d(-d.y / n, d.x / n), kHalfwaySearchPx);
        if (offset && std::abs(*offset) <= kHalfwayTolerancePx)
            ++found;
    }
    return found / static_cast<double>(kHalfwaySamples);
}

// The line through the ridge centres within searchPx of line between
// positions from and to; the line itself when too few are found there. The
// ridge image begins at origin of the frame.
Line refitBetween(const cv::Mat& ridge, cv::Point2d origin, const Line& line, double from,
    double to, double searchPx)
{
    std::vector<cv::Point2f> centres;
    const cv::Point2d normal = normalOf(line);
    for (double t = from; t <= to; t += 1.0) {
        const cv::Point2d at = line.point - origin + line.direction * t;
        if (const auto offset = CLineFinder::RidgeOffset(ridge, at, normal, searchPx))
            centres.emplace_back(at + normal * *offset + origin);
    }
    if (centres.size() < kMinRefitPoints)
        return line;
    cv::Vec4f fit;
    cv::fitLine(centres, fit, cv::DIST_HUBER, 0, 0.01, 0.01);
    return { cv::Point2d(fit[2], fit[3]), cv::Point2d(fit[0], fit[1]), {} };
}

} // namespace

CPitchFinder::CPitchFinder() = default;

CPitchFinder::~CPitchFinder() = default;

std::optional<CPitchFinder::Corners> CPitchFinder::Find(const cv::Mat& bgr) const
{
    if (bgr.empty() || bgr.type() != CV_8UC3)
        return std::nullopt;
    // The boundary is found on a picture of bounded size: a larger frame
    // shows no more lines, only more pixels and more of the crowd; the
    // corners are then refined on the frame itself.
    const double scale
        = std::min(1.0, std::sqrt(kDetectionAreaPx / static_cast<double>(bgr.total())));
    cv::Mat small = bgr;
    if (scale < 1.0)
        cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
    std::optional<Boundary> boundary = detect(small);
    if (!boundary)
        return std::nullopt;
    const cv::Point2d factor(
        static_cast<double>(bgr.cols) / small.cols, static_cast<double>(bgr.rows) / small.rows);
    // Pixel centres: x in the frame is (x + 0.5) * factor - 0.5 of the small picture.
    const auto toFrame = [&](cv::Point2d p) {
        return cv::Point2d((p.x + 0.5) * factor.x - 0.5, (p.y + 0.5) * factor.y - 0.5);
    };
    for (Line& line : boundary->sides) {
        const cv::Point2d a = toFrame(line.point), b = toFrame(line.point + line.direction);
        line.point = a;
        line.direction = (b - a) * (1.0 / cv::norm(b - a));
    }
    for (cv::Point2d& corner : boundary->corners)
        corner = toFrame(corner);
    // The lines found on the small picture are as far off in the frame as
    // a small pixel is large.
    const double searchPx = kRidgeSearchPx * std::max(factor.x, factor.y);
    return inClickOrder(refined(bgr, *boundary, searchPx));
}

std::optional<CPitchFinder::Boundary> CPitchFinder::detect(const cv::Mat& bgr) const
{
    const cv::Mat grass = grassOpened(bgr);
    if (cv::countNonZero(grass) < kMinGrassShare * grass.total())
        return std::nullopt;
    std::vector<Line> lines
        = CLineFinder(kMinSegmentShare * shorterSide(bgr.size())).FindLines(bgr);
    const auto extent = [](const Line& l) { return l.support.back() - l.support.front(); };
    std::sort(lines.begin(), lines.end(),
        [&](const Line& a, const Line& b) { return extent(a) > extent(b); });
    if (lines.size() > kMaxLines)
        lines.resize(kMaxLines);

    const cv::Mat ridge = CLineFinder::RidgeImage(bgr);
    for (const Candidate& quad : candidates(lines, bgr.size())) {
        if (grassShareInside(grass, quad.corners) < kMinGrassInsideShare
            || !halfwayLinePainted(ridge, quad))
            continue;
        Boundary boundary;
        for (int k = 0; k < 4; ++k)
            boundary.sides[k] = lines[quad.sides[k]];
        boundary.corners = quad.corners;
        return boundary;
    }
    return std::nullopt;
}

// Every way of closing a quadrilateral from four of the lines, largest first.
std::vector<CPitchFinder::Candidate> CPitchFinder::candidates(
    const std::vector<Line>& lines, cv::Size picture) const
{
    std::vector<Candidate> found;
    const int n = static_cast<int>(lines.size());
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
            for (int c = b + 1; c < n; ++c)
                for (int d = c + 1; d < n; ++d) {
                    // The three ways to pair four lines into opposite sides.
                    for (const std::array<int, 4>& sides : { std::array { a, c, b, d },
                             std::array { a, b, c, d }, std::array { a, b, d, c } }) {
                        if (auto quad = closed(lines, sides, picture))
                            found.push_back(*quad);
                    }
                }
    std::sort(found.begin(), found.end(),
        [](const Candidate& x, const Candidate& y) { return x.area > y.area; });
    return found;
}

std::optional<CPitchFinder::Candidate> CPitchFinder::closed(
    const std::vector<Line>& lines, const std::array<int, 4>& sides, cv::Size picture) const
{
    Candidate quad { sides, {}, 0.0 };
    const cv::Rect2d inner(kEdgeMarginPx, kEdgeMarginPx, picture.width - 1 - 2 * kEdgeMarginPx,
        picture.height - 1 - 2 * kEdgeMarginPx);
    for (int k = 0; k < 4; ++k) {
        const Line& a = lines[sides[k]];
        const Line& b = lines[sides[(k + 1) % 4]];
        if (std::abs(a.direction.dot(b.direction)) > std::cos(kMinCornerAngleRad))
            return std::nullopt;
        const auto corner = CLineFinder::Crossing(a, b);
        if (!corner || !inner.contains(*corner))
            return std::nullopt;
        quad.corners[k] = *corner;
    }
    const std::vector<cv::Point2f> polygon(quad.corners.begin(), quad.corners.end());
    if (!cv::isContourConvex(polygon))
        return std::nullopt;
    quad.area = cv::contourArea(polygon);
    if (quad.area < kMinAreaShare * picture.area())
        return std::nullopt;
    // Side k runs from corner k - 1 to corner k.
    for (int k = 0; k < 4; ++k) {
        const Line& line = lines[sides[k]];
        double from = along(line, quad.corners[(k + 3) % 4]);
        double to = along(line, quad.corners[k]);
        if (from > to)
            std::swap(from, to);
        if (!isBoundarySide(line, from, to, picture))
            return std::nullopt;
    }
    return quad;
}

// The pitch model puts the halfway line through the middle of one of the
// two pairs of opposite sides; whichever it is, it must be painted there.
bool CPitchFinder::halfwayLinePainted(const cv::Mat& ridge, const Candidate& quad) const
{
    const cv::Matx33d h = unitToPicture(inClickOrder(quad.corners));
    const double lo = kHalfwayEndMargin, hi = 1.0 - kHalfwayEndMargin;
    return paintedShare(ridge, h, { lo, 0.5 }, { hi, 0.5 }) >= kMinHalfwayShare
        || paintedShare(ridge, h, { 0.5, lo }, { 0.5, hi }) >= kMinHalfwayShare;
}

std::array<cv::Point2d, 4> CPitchFinder::refined(
    const cv::Mat& bgr, const Boundary& boundary, double searchPx) const
{
    const double gap = std::max(kBeyondGapPx, kBeyondGapShare * shorterSide(bgr.size()));
    // The stretch of side k near its end at corner `end`, past the paint of
    // the crossing line.
    const auto nearEnd = [&](int k, int end) {
        const Line& line = boundary.sides[k];
        const double at = along(line, boundary.corners[end]);
        const double other = along(line, boundary.corners[end == k ? (k + 3) % 4 : k]);
        const double sign = other > at ? 1.0 : -1.0;
        const double a = at + sign * gap;
        const double b = at + sign * kNearCornerShare * std::abs(other - at);
        return std::pair(std::min(a, b), std::max(a, b));
    };
    const int margin = static_cast<int>(std::ceil(searchPx)) + kRidgeContextPx;
    std::array<cv::Point2d, 4> corners = boundary.corners;
    for (int k = 0; k < 4; ++k) {
        const Line& a = boundary.sides[k];
        const Line& b = boundary.sides[(k + 1) % 4];
        const auto [fromA, toA] = nearEnd(k, k);
        const auto [fromB, toB] = nearEnd((k + 1) % 4, k);
        const auto [ridge, origin] = CLineFinder::RidgeAround(bgr,
            { a.point + a.direction * fromA, a.point + a.direction * toA,
                b.point + b.direction * fromB, b.point + b.direction * toB },
            margin);
        if (ridge.empty())
            continue;
        const auto crossing
            = CLineFinder::Crossing(refitBetween(ridge, origin, a, fromA, toA, searchPx),
                refitBetween(ridge, origin, b, fromB, toB, searchPx));
        if (crossing && cv::norm(*crossing - boundary.corners[k]) < gap)
            corners[k] = *crossing;
    }
    return corners;
}

CPitchFinder::Corners CPitchFinder::inClickOrder(const std::array<cv::Point2d, 4>& round)
{
    // The top edge is the one whose middle is highest in the picture.
    int top = 0;
    for (int k = 1; k < 4; ++k) {
        if (round[k].y + round[(k + 1) % 4].y < round[top].y + round[(top + 1) % 4].y)
            top = k;
    }
    int left = top, right = (top + 1) % 4;
    if (round[left].x > round[right].x)
        std::swap(left, right);
    // Going round, the bottom-left corner neighbours the top-left one.
    const int step = right == (left + 1) % 4 ? 3 : 1;
    const int bottomLeft = (left + step) % 4;
    const int bottomRight = (right + 4 - step) % 4;
    return { round[left], round[right], round[bottomLeft], round[bottomRight] };
}
