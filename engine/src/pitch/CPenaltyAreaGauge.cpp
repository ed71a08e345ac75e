#include "pitch/CPenaltyAreaGauge.h"

#include "pitch/CMarkingEstimator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>
#include <utility>

namespace {

constexpr double kPenaltyDepthM = 16.5;
constexpr double kPenaltyHalfWidthM = 40.32 / 2;
constexpr double kGoalAreaDepthM = 5.5;
constexpr double kGoalAreaHalfWidthM = 18.32 / 2;

// The fronts of both boxes are looked for in a band this wide round the
// middle of the goal line, their sides in a band this deep along it (inside
// the goal area, away from the goal line's own paint).
constexpr double kFrontBandHalfWidth = 0.08;
constexpr double kSideBandFrom = 0.008;
constexpr double kSideBandTo = 0.035;
// Boxes deeper than this share of the pitch are not looked for.
constexpr double kMaxPenaltyDepth = 0.45;
// Real pitches, with a margin: the penalty area must fit across the pitch.
constexpr double kMinSideM = 45.0;
constexpr double kMaxSideM = 150.0;
// Paint within this many pixels of a predicted line lies on it; a line
// counts when paint is found along this share of its length in the band.
constexpr double kTolerancePx = 2.0;
constexpr double kMinCoverage = 0.5;
// Both boxes found must be painted along this share of every side; each
// side is checked at this many points.
constexpr double kMinSideCoverage = 0.7;
constexpr int kSamplesPerSide = 24;
// Where the size of a pixel is taken: the middle of a penalty area.
constexpr double kBoxMiddleDepth = 0.08;

// Depth from the goal line (x) and position along it (y) of a unit-square
// point, for the given edge.
cv::Point2d inEdgeFrame(cv::Point2d unit, bool goalLinesAlongU, bool far)
{
    const double depth = goalLinesAlongU ? unit.y : unit.x;
    const double along = goalLinesAlongU ? unit.x : unit.y;
    return { far ? 1.0 - depth : depth, along };
}

cv::Point2d unitOfEdgeFrame(cv::Point2d local, bool goalLinesAlongU, bool far)
{
    const double depth = far ? 1.0 - local.x : local.x;
    return goalLinesAlongU ? cv::Point2d(local.y, depth) : cv::Point2d(depth, local.y);
}

// Sorted values with their running sums, for counting and averaging the
// values in any interval.
class SortedValues
{
public:
    explicit SortedValues(std::vector<double> values)
        : sorted(std::move(values))
    {
        std::sort(sorted.begin(), sorted.end());
        sums.reserve(sorted.size() + 1);
        sums.push_back(0.0);
        for (const double v : sorted)
            sums.push_back(sums.back() + v);
    }

    const std::vector<double>& values() const { return sorted; }

    // How many values lie within tolerance of target, and their mean.
    std::pair<int, double> near(double target, double tolerance) const
    {
        const auto from = std::lower_bound(sorted.begin(), sorted.end(), target - tolerance);
        const auto to = std::upper_bound(from, sorted.end(), target + tolerance);
        const int count = static_cast<int>(to - from);
        const double sum = sums[to - sorted.begin()] - sums[from - sorted.begin()];
        return { count, count > 0 ? sum / count : 0.0 };
    }

private:
    std::vector<double> sorted;
    std::vector<double> sums;
};

// The scale (unit-square length per metre) that best explains the paint as
// lines at targetsM: every paint position is tried as the first line, and
// the scale is refined over the lines found. Nothing when no scale finds
// every line along enough of its length.
std::optional<double> bestScale(
    const SortedValues& paint, const std::vector<double>& targetsM, double tolerance, int minCount)
{
    std::optional<double> best;
    int bestTotal = 0;
    double previous = -HUGE_VAL;
    for (const double candidate : paint.values()) {
        // Candidates closer than this explain the same paint.
        if (candidate - previous < tolerance / 2)
            continue;
        previous = candidate;
        const double scale = candidate / targetsM[0];
        if (!(scale >= 1.0 / kMaxSideM && scale <= 1.0 / kMinSideM))
            continue;
        int total = 0;
        double moment = 0.0, weight = 0.0;
        for (const double m : targetsM) {
            const auto [count, mean] = paint.near(m * scale, tolerance);
            if (count < minCount) {
                total = -1;
                break;
            }
            total += count;
            moment += mean * m;
            weight += m * m;
        }
        if (total > bestTotal) {
            bestTotal = total;
            best = moment / weight;
        }
    }
    return best;
}

// The paint in cells of a grid, for asking whether there is paint near a
// point.
class PaintGrid
{
public:
    PaintGrid(const std::vector<cv::Point2d>& points, double cellSize)
        : cell(cellSize)
    {
        for (const cv::Point2d& p : points)
            cells.insert(key(cellOf(p.x), cellOf(p.y)));
    }

    // Paint within about one cell of p.
    bool near(cv::Point2d p) const
    {
        const long long cx = cellOf(p.x), cy = cellOf(p.y);
        for (long long dx = -1; dx <= 1; ++dx) {
            for (long long dy = -1; dy <= 1; ++dy) {
                if (cells.count(key(cx + dx, cy + dy)))
                    return true;
            }
        }
        return false;
    }

private:
    long long cellOf(double v) const { return static_cast<long long>(std::floor(v / cell)); }
    static long long key(long long x, long long y) { return x * 1'000'003LL + y; }

    double cell;
    std::unordered_set<long long> cells;
};

// Whether the three sides of a box of the given depth and half width (in
// the edge frame) are painted along most of their length.
bool boxPainted(
    const PaintGrid& grid, double depth, double halfWidth, bool goalLinesAlongU, bool far)
{
    const std::array<std::pair<cv::Point2d, cv::Point2d>, 3> sides { {
        { cv::Point2d(0, 0.5 - halfWidth), cv::Point2d(depth, 0.5 - halfWidth) },
        { cv::Point2d(depth, 0.5 - halfWidth), cv::Point2d(depth, 0.5 + halfWidth) },
        { cv::Point2d(depth, 0.5 + halfWidth), cv::Point2d(0, 0.5 + halfWidth) },
    } };
    for (const auto& [from, to] : sides) {
        int painted = 0;
        for (int i = 0; i < kSamplesPerSide; ++i) {
            const cv::Point2d local = from + (to - from) * ((i + 0.5) / kSamplesPerSide);
            painted += grid.near(unitOfEdgeFrame(local, goalLinesAlongU, far)) ? 1 : 0;
        }
        if (painted < kMinSideCoverage * kSamplesPerSide)
            return false;
    }
    return true;
}

} // namespace

CPenaltyAreaGauge::CPenaltyAreaGauge() = default;

CPenaltyAreaGauge::~CPenaltyAreaGauge() = default;

std::vector<CPenaltyAreaGauge::Sizes> CPenaltyAreaGauge::Measure(
    const std::vector<cv::Point2d>& paint, const cv::Matx33d& pictureToUnit) const
{
    std::vector<Sizes> sizes;
    for (const bool goalLinesAlongU : { true, false }) {
        for (const bool far : { false, true }) {
            const cv::Point2d middle
                = unitOfEdgeFrame(cv::Point2d(kBoxMiddleDepth, 0.5), goalLinesAlongU, far);
            const double unitsPerPixel = CMarkingEstimator::UnitsPerPixelAt(pictureToUnit, middle);
            if (const auto s = measureAt(paint, { goalLinesAlongU, far }, unitsPerPixel))
                sizes.push_back(*s);
        }
    }
    return sizes;
}

std::optional<CPenaltyAreaGauge::Sizes> CPenaltyAreaGauge::measureAt(
    const std::vector<cv::Point2d>& paint, EdgeFrame edge, double unitsPerPixel) const
{
    if (!(unitsPerPixel > 0))
        return std::nullopt;
    // Depths of the paint round the middle of the goal line (box fronts),
    // and offsets from the middle of the paint just inside it (box sides,
    // folded onto one side).
    std::vector<double> depths, offsets;
    for (const cv::Point2d& p : paint) {
        const cv::Point2d local = inEdgeFrame(p, edge.goalLinesAlongU, edge.far);
        if (std::abs(local.y - 0.5) < kFrontBandHalfWidth && local.x > kSideBandTo
            && local.x < kMaxPenaltyDepth)
            depths.push_back(local.x);
        if (local.x > kSideBandFrom && local.x < kSideBandTo)
            offsets.push_back(std::abs(local.y - 0.5));
    }
    const double tolerance = kTolerancePx * unitsPerPixel;
    const int minFront = static_cast<int>(kMinCoverage * 2 * kFrontBandHalfWidth / unitsPerPixel);
    // Both sides of a box fold onto one offset.
    const int minSide
        = static_cast<int>(kMinCoverage * 2 * (kSideBandTo - kSideBandFrom) / unitsPerPixel);
    const auto depthScale = bestScale(
        SortedValues(std::move(depths)), { kPenaltyDepthM, kGoalAreaDepthM }, tolerance, minFront);
    const auto widthScale = bestScale(SortedValues(std::move(offsets)),
        { kPenaltyHalfWidthM, kGoalAreaHalfWidthM }, tolerance, minSide);
    if (!depthScale || !widthScale)
        return std::nullopt;
    // Lines at the right places are not enough: street kerbs can line up
    // so. Both boxes must be painted all round.
    const PaintGrid grid(paint, tolerance);
    for (const auto& [depthM, halfWidthM] : { std::pair(kPenaltyDepthM, kPenaltyHalfWidthM),
             std::pair(kGoalAreaDepthM, kGoalAreaHalfWidthM) }) {
        if (!boxPainted(grid, depthM * *depthScale, halfWidthM * *widthScale, edge.goalLinesAlongU,
                edge.far))
            return std::nullopt;
    }
    const double depthM = 1.0 / *depthScale, acrossM = 1.0 / *widthScale;
    return edge.goalLinesAlongU ? Sizes { depthM, acrossM } : Sizes { acrossM, depthM };
}
