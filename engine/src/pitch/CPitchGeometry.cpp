#include "pitch/CPitchGeometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Relative size of a triangle's area below which three corners count as
// lying on one line (as the pitch model judges its corners).
constexpr double kCollinearTolerance = 1e-9;
// Step of the central differences for the uncertainty. Far below any click
// error, far above the rounding of picture coordinates up to 16384 px.
constexpr double kJacobianStepPx = 1e-3;

using Quad = std::array<cv::Point2d, 4>;

bool isFinite(cv::Point2d p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool isUsableDimension(double value) { return std::isfinite(value) && value > 0.0; }

bool noThreeOnOneLine(const Quad& quad)
{
    static constexpr int kTriples[4][3] = { { 0, 1, 2 }, { 0, 1, 3 }, { 0, 2, 3 }, { 1, 2, 3 } };
    for (const auto& triple : kTriples) {
        const cv::Point2d u = quad[triple[1]] - quad[triple[0]];
        const cv::Point2d v = quad[triple[2]] - quad[triple[0]];
        if (!(std::abs(u.cross(v)) > kCollinearTolerance * cv::norm(u) * cv::norm(v)))
            return false;
    }
    return true;
}

// Moves the points' centroid to the origin and their mean distance from it
// to sqrt(2), so that the linear system below is well conditioned whatever
// the picture size.
cv::Matx33d normalisingTransform(const Quad& points)
{
    cv::Point2d centroid;
    for (const cv::Point2d& p : points)
        centroid += p * 0.25;
    double spread = 0.0;
    for (const cv::Point2d& p : points)
        spread += cv::norm(p - centroid) * 0.25;
    const double scale = std::sqrt(2.0) / spread;
    return { scale, 0.0, -scale * centroid.x, 0.0, scale, -scale * centroid.y, 0.0, 0.0, 1.0 };
}

cv::Point2d apply(const cv::Matx33d& m, cv::Point2d p)
{
    const cv::Vec3d v = m * cv::Vec3d(p.x, p.y, 1.0);
    return { v[0] / v[2], v[1] / v[2] };
}

// The homography through four point pairs in double precision: the system
// cv::getPerspectiveTransform solves, which takes single-precision points
// only.
std::optional<cv::Matx33d> solveHomography(const Quad& from, const Quad& to)
{
    const cv::Matx33d fromNormal = normalisingTransform(from);
    const cv::Matx33d toNormal = normalisingTransform(to);
    cv::Matx<double, 8, 8> a;
    cv::Vec<double, 8> b;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d p = apply(fromNormal, from[i]);
        const cv::Point2d q = apply(toNormal, to[i]);
        const double rows[2][8] = { { p.x, p.y, 1.0, 0.0, 0.0, 0.0, -p.x * q.x, -p.y * q.x },
            { 0.0, 0.0, 0.0, p.x, p.y, 1.0, -p.x * q.y, -p.y * q.y } };
        for (int column = 0; column < 8; ++column) {
            a(2 * i, column) = rows[0][column];
            a(2 * i + 1, column) = rows[1][column];
        }
        b[2 * i] = q.x;
        b[2 * i + 1] = q.y;
    }
    cv::Vec<double, 8> h;
    if (!cv::solve(a, b, h, cv::DECOMP_LU))
        return std::nullopt;
    const cv::Matx33d normal(h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7], 1.0);
    bool invertible = false;
    const cv::Matx33d back = toNormal.inv(cv::DECOMP_LU, &invertible);
    if (!invertible)
        return std::nullopt;
    return back * normal * fromNormal;
}

bool isFinite(const cv::Matx33d& m)
{
    return std::all_of(
        std::begin(m.val), std::end(m.val), [](double v) { return std::isfinite(v); });
}

// The dehomogenised point, or nothing where w is not positive (the horizon
// and beyond) or the result overflows.
std::optional<cv::Point2d> mapInFront(const cv::Matx33d& m, cv::Point2d p)
{
    if (!isFinite(p))
        return std::nullopt;
    const cv::Vec3d v = m * cv::Vec3d(p.x, p.y, 1.0);
    if (!(v[2] > 0.0))
        return std::nullopt;
    const cv::Point2d mapped(v[0] / v[2], v[1] / v[2]);
    if (!isFinite(mapped))
        return std::nullopt;
    return mapped;
}

} // namespace

bool CPitchGeometry::isValidClickSigma(double sigmaPx)
{
    return std::isfinite(sigmaPx) && sigmaPx >= 0.0 && sigmaPx <= kMaxClickSigmaPx;
}

CPitchGeometry::CPitchGeometry(const Corners& corners, double width, double length,
    const cv::Matx33d& forward, const cv::Matx33d& inverse, const CLensModel& lens)
    : corners(corners)
    , width(width)
    , length(length)
    , forward(forward)
    , inverse(inverse)
    , lens(lens)
{ }

std::optional<CPitchGeometry> CPitchGeometry::fromCorners(
    const Corners& corners, double width, double length, const CLensModel& lens)
{
    if (!isUsableDimension(width) || !isUsableDimension(length))
        return std::nullopt;
    if (!std::all_of(corners.begin(), corners.end(), [](cv::Point2d p) { return isFinite(p); })
        || !noThreeOnOneLine(corners))
        return std::nullopt;
    const Quad pitch { cv::Point2d(0.0, length), cv::Point2d(width, length), cv::Point2d(0.0, 0.0),
        cv::Point2d(width, 0.0) };
    const std::optional<cv::Matx33d> forward = solveHomography(corners, pitch);
    if (!forward || !isFinite(*forward))
        return std::nullopt;
    // The solve fixes w = 1 at the corners' centroid, so w is positive on
    // the pitch side of the horizon. A corner on the other side means a
    // quadrilateral that crosses itself, which no camera sees.
    for (const cv::Point2d& corner : corners) {
        if (!((*forward * cv::Vec3d(corner.x, corner.y, 1.0))[2] > 0.0))
            return std::nullopt;
    }
    bool invertible = false;
    const cv::Matx33d inverse = forward->inv(cv::DECOMP_LU, &invertible);
    if (!invertible || !isFinite(inverse))
        return std::nullopt;
    return CPitchGeometry(corners, width, length, *forward, inverse, lens);
}

std::optional<cv::Point2d> CPitchGeometry::toPitch(cv::Point2d picture) const
{
    if (!isFinite(picture))
        return std::nullopt;
    return mapInFront(forward, lens.undistort(picture));
}

// The exact inverse keeps w positive on the pitch: a corner c with
// forward * c = w (q, 1), w > 0, gives inverse * (q, 1) = c / w.
std::optional<cv::Point2d> CPitchGeometry::toPicture(cv::Point2d pitch) const
{
    const std::optional<cv::Point2d> ideal = mapInFront(inverse, pitch);
    if (!ideal)
        return std::nullopt;
    return lens.distort(*ideal);
}

CPitchGeometry::Separation CPitchGeometry::separation(cv::Point2d from, cv::Point2d to) const
{
    const auto a = toPitch(from);
    const auto b = toPitch(to);
    if (!a || !b)
        return std::nullopt;
    return *b - *a;
}

// Column k is the derivative of the separation by coordinate k of: the four
// corners (x, y in click order), then `from`, then `to`. Each corner step
// solves the homography afresh.
std::optional<cv::Matx<double, 2, 12>> CPitchGeometry::separationJacobian(
    cv::Point2d from, cv::Point2d to) const
{
    const auto evaluate = [&](int k, double step) -> Separation {
        Corners moved = corners;
        cv::Point2d ends[2] = { from, to };
        cv::Point2d& point = k < 8 ? moved[k / 2] : ends[(k - 8) / 2];
        (k % 2 == 0 ? point.x : point.y) += step;
        const auto geometry
            = k < 8 ? fromCorners(moved, width, length, lens) : std::optional(*this);
        if (!geometry)
            return std::nullopt;
        return geometry->separation(ends[0], ends[1]);
    };
    cv::Matx<double, 2, 12> jacobian;
    for (int k = 0; k < 12; ++k) {
        const Separation ahead = evaluate(k, kJacobianStepPx);
        const Separation behind = evaluate(k, -kJacobianStepPx);
        if (!ahead || !behind)
            return std::nullopt;
        const cv::Point2d slope = (*ahead - *behind) * (0.5 / kJacobianStepPx);
        jacobian(0, k) = slope.x;
        jacobian(1, k) = slope.y;
    }
    return jacobian;
}

std::optional<CPitchGeometry::Distance> CPitchGeometry::measure(
    cv::Point2d from, cv::Point2d to, double sigmaPx) const
{
    if (!isValidClickSigma(sigmaPx))
        return std::nullopt;
    const Separation delta = separation(from, to);
    if (!delta)
        return std::nullopt;
    const double metres = cv::norm(*delta);
    if (!std::isfinite(metres))
        return std::nullopt;
    if (sigmaPx == 0.0)
        return Distance { metres, 0.0 };
    const auto jacobian = separationJacobian(from, to);
    if (!jacobian)
        return std::nullopt;
    // Covariance of the separation; the distance varies with its component
    // along the separation.
    const cv::Matx22d covariance = *jacobian * jacobian->t() * (sigmaPx * sigmaPx);
    double variance = covariance(0, 0) + covariance(1, 1);
    if (metres > 0.0) {
        const cv::Vec2d along(delta->x / metres, delta->y / metres);
        variance = along.dot(covariance * along);
    }
    const double sigmaMetres = std::sqrt(std::max(variance, 0.0));
    if (!std::isfinite(sigmaMetres))
        return std::nullopt;
    return Distance { metres, sigmaMetres };
}
