#include "CMarkingEstimator.h"

#include "CLineFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
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
// The circle must be seen all round, apart from a few players on it: this
// many of the sectors of its circumference must hold paint.
constexpr int kSectors = 36;
constexpr int kMinSectorsSeen = 27;
// Real pitches, with a generous margin.
constexpr double kMinSideM = 20.0;
constexpr double kMaxSideM = 250.0;

cv::Point2d apply(const cv::Matx33d& h, cv::Point2d p)
{
    const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1.0);
    return { q[0] / q[2], q[1] / q[2] };
}

// The picture rectangle the unit-square box round the centre covers;
// empty when part of the box lies on or beyond the horizon.
cv::Rect pictureBoxOfCentre(const cv::Matx33d& unitToPicture, cv::Size frame)
{
    std::vector<cv::Point2f> picture;
    for (const double u : { -1.0, 1.0 }) {
        for (const double v : { -1.0, 1.0 }) {
            const cv::Vec3d q = unitToPicture
                * cv::Vec3d(0.5 + u * kSearchHalfExtent, 0.5 + v * kSearchHalfExtent, 1.0);
            if (!(q[2] > 0))
                return {};
            picture.emplace_back(q[0] / q[2], q[1] / q[2]);
        }
    }
    return cv::boundingRect(picture) & cv::Rect(cv::Point(), frame);
}

// Unit-square points near the centre from the painted pixels in box.
std::vector<cv::Point2d> paintNearCentre(
    const cv::Mat& bgr, cv::Rect box, const cv::Matx33d& pictureToUnit)
{
    const cv::Mat part = bgr(box);
    const cv::Mat mask
        = CLineFinder::LineMask(CLineFinder::RidgeImage(part), CLineFinder::GrassMask(part));
    std::vector<cv::Point> pixels;
    cv::findNonZero(mask, pixels);
    std::vector<cv::Point2d> points;
    for (const cv::Point& p : pixels) {
        const cv::Point2d q
            = apply(pictureToUnit, cv::Point2d(p + box.tl())) - cv::Point2d(0.5, 0.5);
        if (std::abs(q.x) < kSearchHalfExtent && std::abs(q.y) < kSearchHalfExtent)
            points.push_back(q);
    }
    return points;
}

// Unit-square length of the larger of the picture's two pixel steps at the
// pitch centre.
double unitsPerPixelAtCentre(const cv::Matx33d& pictureToUnit, const cv::Matx33d& unitToPicture)
{
    const cv::Point2d centre = apply(unitToPicture, cv::Point2d(0.5, 0.5));
    const cv::Point2d at = apply(pictureToUnit, centre);
    return std::max(cv::norm(apply(pictureToUnit, centre + cv::Point2d(1, 0)) - at),
        cv::norm(apply(pictureToUnit, centre + cv::Point2d(0, 1)) - at));
}

// Distance of p (relative to the centre) from a u² + b v² = 1, to first order.
double distanceToEllipse(double a, double b, cv::Point2d p)
{
    const double gradient = 2.0 * std::hypot(a * p.x, b * p.y);
    return gradient > 0 ? std::abs(a * p.x * p.x + b * p.y * p.y - 1.0) / gradient : HUGE_VAL;
}

std::vector<cv::Point2d> inliersOf(
    double a, double b, const std::vector<cv::Point2d>& points, double tolerance)
{
    std::vector<cv::Point2d> inliers;
    for (const cv::Point2d& p : points) {
        if (distanceToEllipse(a, b, p) < tolerance)
            inliers.push_back(p);
    }
    return inliers;
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

std::optional<CMarkingEstimator::Dimensions> CMarkingEstimator::Estimate(
    const cv::Mat& bgr, const Corners& corners) const
{
    const std::optional<cv::Matx33d> pictureToUnit = PictureToUnitSquare(corners);
    if (!pictureToUnit || bgr.empty())
        return std::nullopt;
    const cv::Matx33d unitToPicture = pictureToUnit->inv();
    const cv::Rect box = pictureBoxOfCentre(unitToPicture, bgr.size());
    if (box.empty())
        return std::nullopt;
    const double tolerance = kInlierPx * unitsPerPixelAtCentre(*pictureToUnit, unitToPicture);
    const std::optional<Ellipse> ellipse
        = fitCentreEllipse(paintNearCentre(bgr, box, *pictureToUnit), tolerance);
    if (!ellipse)
        return std::nullopt;
    return Dimensions { kCentreCircleRadiusM * std::sqrt(ellipse->b),
        kCentreCircleRadiusM * std::sqrt(ellipse->a) };
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
        const std::size_t inliers = inliersOf(a, b, points, tolerance).size();
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
