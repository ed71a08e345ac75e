#include "pitch/CMarkingEstimator.h"

#include "pitch/CLineFinder.h"
#include "pitch/CPenaltyAreaGauge.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The centre circle is looked for this far from the pitch centre in the unit
// square: room for a circle on pitches down to about 33 m on a side.
constexpr double kSearchHalfExtent = 0.28;
// Painted pixels within this many picture pixels of an ellipse lie on it.
constexpr double kInlierPx = 2.5;
constexpr int kRansacRounds = 400;
constexpr int kRefinements = 3;
constexpr unsigned kRansacSeed = 0x5eed;
constexpr std::size_t kMinPoints = 40;
// RANSAC rounds score hypotheses on at most this many points.
constexpr std::size_t kMaxScoredPoints = 1500;
// The circle must be seen all round, apart from a few players on it: this
// many of the sectors of its circumference must hold paint.
constexpr int kSectors = 36;
constexpr int kMinSectorsSeen = 27;
// Paint this far outside the outline (in the unit square) still counts.
constexpr double kOutlineMargin = 0.02;
// Estimates from different markings agree within this share.
constexpr double kAgreement = 0.03;
// The circle found among the painted pixels is refined on the centres of
// the painted ridge: this many points round it, searched this far across it
// (wide enough for the widest line, seen from a fit on one of its edges),
// this many times.
constexpr int kRidgeSamples = 180;
constexpr double kRidgeSearchPx = 12.0;
constexpr int kRidgePasses = 3;
// Pixels round the circle that its ridge image needs (the top-hat window).
constexpr int kRidgeContextPx = 16;
// A run across the circle this much wider than its line is its paint run
// together with another line's.
constexpr double kMergedWidthShare = 1.15;
// A circle whose radii across and along the pitch differ by more than this
// share is not round with the dimensions given.
constexpr double kRoundness = 0.05;
// Real pitches, with a generous margin.
constexpr double kMinSideM = 20.0;
constexpr double kMaxSideM = 250.0;

cv::Point2d apply(const cv::Matx33d& h, cv::Point2d p)
{
    const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1.0);
    return { q[0] / q[2], q[1] / q[2] };
}

// The painted pixels of the pitch as unit-square points; the pitch is
// taken a little larger than its outline, so that paint centred on the
// outline is kept whole.
std::vector<cv::Point2d> paintOfPitch(
    const cv::Mat& bgr, const CMarkingEstimator::Corners& corners, const cv::Matx33d& pictureToUnit)
{
    std::vector<cv::Point2f> picture(corners.begin(), corners.end());
    const cv::Rect box = cv::boundingRect(picture) & cv::Rect(0, 0, bgr.cols, bgr.rows);
    std::vector<cv::Point2d> points;
    if (box.empty())
        return points;
    const cv::Mat part = bgr(box);
    const cv::Mat mask
        = CLineFinder::LineMask(CLineFinder::RidgeImage(part), CLineFinder::GrassMask(part));
    std::vector<cv::Point> pixels;
    cv::findNonZero(mask, pixels);
    for (const cv::Point& p : pixels) {
        const cv::Point2d q = apply(pictureToUnit, cv::Point2d(p + box.tl()));
        if (q.x > -kOutlineMargin && q.x < 1 + kOutlineMargin && q.y > -kOutlineMargin
            && q.y < 1 + kOutlineMargin)
            points.push_back(q);
    }
    return points;
}

// Whether p (relative to the centre) lies within tolerance of
// a u² + b v² = 1, by the first-order distance |f| / |grad f|, squared to
// spare the roots in the RANSAC loop.
bool onEllipse(double a, double b, cv::Point2d p, double tolerance)
{
    const double f = a * p.x * p.x + b * p.y * p.y - 1.0;
    const double gradientSquared = 4.0 * (a * a * p.x * p.x + b * b * p.y * p.y);
    return f * f < tolerance * tolerance * gradientSquared;
}

std::vector<cv::Point2d> inliersOf(
    double a, double b, const std::vector<cv::Point2d>& points, double tolerance)
{
    std::vector<cv::Point2d> inliers;
    for (const cv::Point2d& p : points) {
        if (onEllipse(a, b, p, tolerance))
            inliers.push_back(p);
    }
    return inliers;
}

// Every n-th point, so that a RANSAC round costs the same on any frame.
std::vector<cv::Point2d> sampleOf(const std::vector<cv::Point2d>& points)
{
    const std::size_t step = std::max<std::size_t>(1, points.size() / kMaxScoredPoints);
    std::vector<cv::Point2d> sample;
    for (std::size_t i = 0; i < points.size(); i += step)
        sample.push_back(points[i]);
    return sample;
}

// Least squares a u² + b v² = 1 over points; false when it is degenerate.
bool leastSquares(const std::vector<cv::Point2d>& points, double& a, double& b)
{
    cv::Mat design(static_cast<int>(points.size()), 2, CV_64F);
    for (int i = 0; i < design.rows; ++i) {
        design.at<double>(i, 0) = points[i].x * points[i].x;
        design.at<double>(i, 1) = points[i].y * points[i].y;
    }
    cv::Mat solution;
    if (!cv::solve(design, cv::Mat::ones(design.rows, 1, CV_64F), solution, cv::DECOMP_SVD))
        return false;
    a = solution.at<double>(0);
    b = solution.at<double>(1);
    return a > 0 && b > 0;
}

int sectorsSeen(double a, double b, const std::vector<cv::Point2d>& inliers)
{
    std::vector<bool> seen(kSectors, false);
    for (const cv::Point2d& p : inliers) {
        const double angle = std::atan2(p.y * std::sqrt(b), p.x * std::sqrt(a)) + CV_PI;
        seen[std::min(kSectors - 1, static_cast<int>(angle / (2 * CV_PI) * kSectors))] = true;
    }
    return static_cast<int>(std::count(seen.begin(), seen.end(), true));
}

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Semi-axes a circle of a real pitch can have in the unit square.
bool plausible(double a, double b)
{
    const auto sideOk = [](double inverseSquare) {
        const double side = CMarkingEstimator::kCentreCircleRadiusM * std::sqrt(inverseSquare);
        return side >= kMinSideM && side <= kMaxSideM
            && 1.0 / std::sqrt(inverseSquare) < kSearchHalfExtent;
    };
    return a > 0 && b > 0 && sideOk(a) && sideOk(b);
}

} // namespace

CMarkingEstimator::CMarkingEstimator() = default;

CMarkingEstimator::~CMarkingEstimator() = default;

std::optional<cv::Matx33d> CMarkingEstimator::PictureToUnitSquare(const Corners& corners)
{
    const std::array<cv::Point2f, 4> picture { cv::Point2f(corners[0]), cv::Point2f(corners[1]),
        cv::Point2f(corners[2]), cv::Point2f(corners[3]) };
    const std::array<cv::Point2f, 4> unit { cv::Point2f(0, 1), cv::Point2f(1, 1), cv::Point2f(0, 0),
        cv::Point2f(1, 0) };
    const cv::Mat h = cv::getPerspectiveTransform(picture.data(), unit.data(), cv::DECOMP_SVD);
    const cv::Matx33d result(h);
    if (!cv::checkRange(h) || std::abs(cv::determinant(result)) < 1e-12)
        return std::nullopt;
    return result;
}

std::optional<cv::Matx33d> CMarkingEstimator::UnitSquareToPicture(const Corners& corners)
{
    const std::optional<cv::Matx33d> pictureToUnit = PictureToUnitSquare(corners);
    if (!pictureToUnit)
        return std::nullopt;
    cv::Matx33d h = pictureToUnit->inv();
    if ((h * cv::Vec3d(0.5, 0.5, 1.0))[2] < 0)
        h = -h;
    return h;
}

double CMarkingEstimator::UnitsPerPixelAt(const cv::Matx33d& pictureToUnit, cv::Point2d unit)
{
    const cv::Point2d at = apply(pictureToUnit.inv(), unit);
    return std::max(cv::norm(apply(pictureToUnit, at + cv::Point2d(1, 0)) - unit),
        cv::norm(apply(pictureToUnit, at + cv::Point2d(0, 1)) - unit));
}

std::optional<CMarkingEstimator::Dimensions> CMarkingEstimator::Estimate(
    const cv::Mat& bgr, const Corners& corners, double circleRadiusM) const
{
    const std::optional<cv::Matx33d> pictureToUnit = PictureToUnitSquare(corners);
    if (!pictureToUnit || bgr.empty())
        return std::nullopt;
    const std::vector<cv::Point2d> paint = paintOfPitch(bgr, corners, *pictureToUnit);
    std::vector<Dimensions> found;
    for (const CPenaltyAreaGauge::Sizes& s : CPenaltyAreaGauge().Measure(paint, *pictureToUnit))
        found.push_back({ s.lengthM, s.widthM });
    const std::optional<Dimensions> circle = circleRadiusM > 0
        ? fromCentreCircle(bgr, paint, *pictureToUnit, circleRadiusM)
        : std::nullopt;
    // The circle is the reference when it is seen; without it the boxes
    // must agree among themselves.
    const std::optional<Dimensions> reference = circle ? circle
        : found.empty()                                ? std::nullopt
                                                       : std::optional(found.front());
    if (!reference)
        return std::nullopt;
    const auto agrees = [&](const Dimensions& d) {
        return std::abs(d.length / reference->length - 1) < kAgreement
            && std::abs(d.width / reference->width - 1) < kAgreement;
    };
    if (!circle && !std::all_of(found.begin(), found.end(), agrees))
        return std::nullopt;
    Dimensions mean = circle ? *circle : Dimensions {};
    int count = circle ? 1 : 0;
    for (const Dimensions& d : found) {
        if (!circle || agrees(d)) {
            mean.length += d.length;
            mean.width += d.width;
            ++count;
        }
    }
    return Dimensions { mean.length / count, mean.width / count };
}

std::optional<double> CMarkingEstimator::CircleRadius(
    const cv::Mat& bgr, const Corners& corners, double widthM, double lengthM) const
{
    const std::optional<cv::Matx33d> pictureToUnit = PictureToUnitSquare(corners);
    if (!pictureToUnit || bgr.empty() || !(widthM > 0) || !(lengthM > 0))
        return std::nullopt;
    const std::optional<Ellipse> ellipse
        = centreEllipse(bgr, paintOfPitch(bgr, corners, *pictureToUnit), *pictureToUnit);
    if (!ellipse)
        return std::nullopt;
    const double across = widthM / std::sqrt(ellipse->a);
    const double along = lengthM / std::sqrt(ellipse->b);
    if (std::abs(across / along - 1.0) > kRoundness)
        return std::nullopt;
    return std::sqrt(across * along);
}

std::optional<CMarkingEstimator::Dimensions> CMarkingEstimator::fromCentreCircle(const cv::Mat& bgr,
    const std::vector<cv::Point2d>& paint, const cv::Matx33d& pictureToUnit, double radiusM) const
{
    const std::optional<Ellipse> ellipse = centreEllipse(bgr, paint, pictureToUnit);
    if (!ellipse)
        return std::nullopt;
    return Dimensions { radiusM * std::sqrt(ellipse->b), radiusM * std::sqrt(ellipse->a) };
}

std::optional<CMarkingEstimator::Ellipse> CMarkingEstimator::centreEllipse(const cv::Mat& bgr,
    const std::vector<cv::Point2d>& paint, const cv::Matx33d& pictureToUnit) const
{
    std::vector<cv::Point2d> nearCentre;
    for (const cv::Point2d& p : paint) {
        const cv::Point2d q = p - cv::Point2d(0.5, 0.5);
        if (std::abs(q.x) < kSearchHalfExtent && std::abs(q.y) < kSearchHalfExtent)
            nearCentre.push_back(q);
    }
    const double tolerance = kInlierPx * UnitsPerPixelAt(pictureToUnit, cv::Point2d(0.5, 0.5));
    std::optional<Ellipse> ellipse = fitCentreEllipse(nearCentre, tolerance);
    if (!ellipse)
        return std::nullopt;
    ellipse = onRidgeCentres(bgr, pictureToUnit, *ellipse);
    if (!ellipse || !plausible(ellipse->a, ellipse->b))
        return std::nullopt;
    return ellipse;
}

std::optional<CMarkingEstimator::Ellipse> CMarkingEstimator::fitCentreEllipse(
    const std::vector<cv::Point2d>& points, double tolerance) const
{
    if (points.size() < kMinPoints)
        return std::nullopt;
    // RANSAC over pairs of painted points: the halfway line and other
    // markings run through the search box too.
    cv::RNG rng(kRansacSeed);
    Ellipse best;
    std::size_t bestCount = 0;
    const std::vector<cv::Point2d> scored = sampleOf(points);
    const int count = static_cast<int>(points.size());
    for (int round = 0; round < kRansacRounds; ++round) {
        const cv::Point2d p = points[rng.uniform(0, count)], q = points[rng.uniform(0, count)];
        const double det = p.x * p.x * q.y * q.y - q.x * q.x * p.y * p.y;
        if (std::abs(det) < 1e-18)
            continue;
        const double a = (q.y * q.y - p.y * p.y) / det;
        const double b = (p.x * p.x - q.x * q.x) / det;
        if (!plausible(a, b))
            continue;
        const auto inliers = static_cast<std::size_t>(std::count_if(scored.begin(), scored.end(),
            [&](const cv::Point2d& s) { return onEllipse(a, b, s, tolerance); }));
        if (inliers > bestCount) {
            bestCount = inliers;
            best = { a, b };
        }
    }
    if (bestCount < kMinPoints)
        return std::nullopt;
    std::vector<cv::Point2d> inliers;
    for (int pass = 0; pass < kRefinements; ++pass) {
        inliers = inliersOf(best.a, best.b, points, tolerance);
        if (inliers.size() < kMinPoints || !leastSquares(inliers, best.a, best.b))
            return std::nullopt;
    }
    if (!plausible(best.a, best.b) || sectorsSeen(best.a, best.b, inliers) < kMinSectorsSeen)
        return std::nullopt;
    return best;
}

// Painted pixels place the circle only to within the line's width; the
// centres of the painted ridge across it place it to a fraction of a pixel
// whatever that width.
std::optional<CMarkingEstimator::Ellipse> CMarkingEstimator::onRidgeCentres(
    const cv::Mat& bgr, const cv::Matx33d& pictureToUnit, Ellipse ellipse) const
{
    const cv::Matx33d unitToPicture = pictureToUnit.inv();
    for (int pass = 0; pass < kRidgePasses; ++pass) {
        std::vector<std::pair<cv::Point2d, cv::Point2d>> placed; // picture point, normal
        std::vector<cv::Point2f> extent;
        for (int i = 0; i < kRidgeSamples; ++i) {
            const double angle = 2 * CV_PI * i / kRidgeSamples;
            const cv::Point2d unit(0.5 + std::cos(angle) / std::sqrt(ellipse.a),
                0.5 + std::sin(angle) / std::sqrt(ellipse.b));
            const cv::Point2d radial(
                std::cos(angle) / std::sqrt(ellipse.a), std::sin(angle) / std::sqrt(ellipse.b));
            const cv::Point2d at = apply(unitToPicture, unit);
            const cv::Point2d out = apply(unitToPicture, unit + radial * 1e-3) - at;
            const double n = cv::norm(out);
            if (!(n > 0) || !cv::Rect2d(0, 0, bgr.cols, bgr.rows).contains(at))
                continue;
            placed.emplace_back(at, out * (1.0 / n));
            extent.emplace_back(at);
        }
        if (placed.size() < kMinPoints)
            return std::nullopt;
        const int margin = static_cast<int>(kRidgeSearchPx) + kRidgeContextPx;
                const auto [ridge, origin] = CLineFinder::RidgeAround(bgr, extent, margin);
        struct Seen
        {
            cv::Point2d at, normal;
            CLineFinder::Ridge run;
        };
        std::vector<Seen> seen;
        std::vector<double> widths;
        for (const auto& [at, normal] : placed) {
            if (const auto run = CLineFinder::RidgeAt(ridge, at - origin, normal, kRidgeSearchPx)) {
                seen.push_back({ at, normal, *run });
                widths.push_back(run->width);
            }
        }
        const double width = medianOf(widths);
        std::vector<cv::Point2d> centres;
        for (const Seen& s : seen) {
            // Seen flat, the circle runs together with the halfway line
            // inside it: there its outer edge, half a line in, is its centre.
            const double offset = s.run.width > kMergedWidthShare * width
                ? s.run.offset + (s.run.width - width) / 2
                : s.run.offset;
            centres.push_back(apply(pictureToUnit, s.at + s.normal * offset) - cv::Point2d(0.5, 0.5));
        }
        if (centres.size() < kMinPoints || !leastSquares(centres, ellipse.a, ellipse.b))
            return std::nullopt;
    }
    return ellipse;
}
