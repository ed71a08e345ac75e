#include "pitch/CLineFinder.h"

#include <algorithm>
#include <cmath>
#include <vector>

// Where painted lines cross: snapping a click to a crossing, and the tests
// of whether two lines meet.

namespace {

// Snapping: lines are found in a window this much larger than the radius,
// so that even a line that only touches the radius is long enough to fit.
constexpr int kContextPx = 40;
constexpr int kTightContextPx = 20;
const double kMinCrossingAngleRad = 13.0 * CV_PI / 180.0;
// How far beyond the paint two lines may be extended to meet: an L-shaped
// corner ends where the other line begins, and where two lines meet at a
// small angle their paint merges over a stretch as long as the other line's
// width over the sine of the angle, where neither centre is seen.
constexpr double kMaxGapPx = 10.0;

} // namespace

std::optional<cv::Point2d> CLineFinder::SnapToLines(
    const cv::Mat& bgr, cv::Point2d point, double radiusPx) const
{
    // No line in the frame is farther away than its size: a larger radius
    // changes nothing, and a point that far outside finds nothing.
    if (!(radiusPx >= 0.0))
        return std::nullopt;
    const double frameSpanPx = static_cast<double>(bgr.cols) + bgr.rows;
    const int radius = static_cast<int>(std::ceil(std::min(radiusPx, frameSpanPx)));
    // Where markings crowd (the far end seen from a low camera), a line
    // lost among the others in the wider window stands out in the tighter.
    for (const int context : { kContextPx, kTightContextPx }) {
        if (const auto crossing = snapIn(bgr, point, radiusPx, radius + context))
            return crossing;
    }
    return std::nullopt;
}

std::optional<cv::Point2d> CLineFinder::snapIn(
    const cv::Mat& bgr, cv::Point2d point, double radiusPx, int reach) const
{
    if (!(point.x > -reach && point.y > -reach && point.x < bgr.cols + reach
            && point.y < bgr.rows + reach))
        return std::nullopt;
    const cv::Rect window
        = cv::Rect(cvFloor(point.x) - reach, cvFloor(point.y) - reach, 2 * reach + 1, 2 * reach + 1)
        & cv::Rect(0, 0, bgr.cols, bgr.rows);
    if (window.empty())
        return std::nullopt;
    const cv::Point2d origin(window.x, window.y);
    const std::vector<Line> lines = FindLines(bgr(window));
    std::optional<cv::Point2d> best;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            const std::optional<cv::Point2d> crossing = Meeting(lines[i], lines[j]);
            if (!crossing || cv::norm(*crossing + origin - point) > radiusPx)
                continue;
            if (!best || cv::norm(*crossing + origin - point) < cv::norm(*best - point))
                best = *crossing + origin;
        }
    }
    return best;
}

std::optional<cv::Point2d> CLineFinder::Meeting(const Line& a, const Line& b)
{
    const double cosine = std::abs(a.direction.dot(b.direction));
    if (cosine > std::cos(kMinCrossingAngleRad))
        return std::nullopt;
    const std::optional<cv::Point2d> crossing = Crossing(a, b);
    if (!crossing)
        return std::nullopt;
    const double sine = std::sqrt(1.0 - cosine * cosine);
    const auto along = [&](const Line& l) { return (*crossing - l.point).dot(l.direction); };
    const auto allowed
        = [&](const Line& other) { return kMaxGapPx + (other.width + kNarrowMarginPx) / sine; };
    if (GapTo(a, along(a)) > allowed(b) || GapTo(b, along(b)) > allowed(a))
        return std::nullopt;
    return crossing;
}

std::optional<cv::Point2d> CLineFinder::Crossing(const Line& a, const Line& b)
{
    const double det = a.direction.x * b.direction.y - a.direction.y * b.direction.x;
    if (std::abs(det) < 1e-9)
        return std::nullopt;
    const cv::Point2d d = b.point - a.point;
    const double t = (d.x * b.direction.y - d.y * b.direction.x) / det;
    return a.point + a.direction * t;
}

double CLineFinder::GapTo(const Line& line, double t)
{
    if (line.support.empty())
        return HUGE_VAL;
    const auto next = std::lower_bound(line.support.begin(), line.support.end(), t);
    double gap = HUGE_VAL;
    if (next != line.support.end())
        gap = *next - t;
    if (next != line.support.begin())
        gap = std::min(gap, t - *(next - 1));
    return gap;
}
