#include "pitch/CCornerError.h"

#include "pitch/CLineFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kCircleSamples = 72;
constexpr int kLineSamples = 48;
// Lines are compared away from the lines they meet, whose paint would
// stand in for theirs.
constexpr double kLineEndMargin = 0.05;
// Paint further than this from the prediction does not count as found.
constexpr double kSearchPx = 8.0;
// A marking counts when paint is found at this share of its samples.
constexpr double kMinFoundShare = 0.5;
// Steps of the numerical derivatives: corners in pixels, radius in metres.
constexpr double kCornerStepPx = 0.5;
constexpr double kRadiusStepM = 0.05;
// Unknowns: two per corner, and the circle's radius.
constexpr int kCornerUnknowns = 8;
constexpr int kUnknowns = kCornerUnknowns + 1;
// Robust reweighting (Huber): offsets beyond this weigh less, so that a
// player on a line or another marking beside it does not pull the result.
constexpr double kHuberPx = 1.0;
constexpr int kReweightings = 5;
// A corner in the picture is also compared with the crossing of the
// painted lines within this reach of it (the snapping radius of a click).
constexpr double kCrossingReachPx = 12.0;
// Holds the moves that the paint cannot see (a corner whose lines are out
// of the picture) at nought; as much as one sample's worth of evidence.
constexpr double kDamping = 1.0;

// A point of a predicted marking in the unit square, its direction there,
// and whether it lies on the centre circle.
struct Sample
{
    cv::Point2d unit;
    cv::Point2d tangent;
    bool onCircle = false;
};

std::vector<std::vector<Sample>> predictedMarkings(double widthM, double lengthM, double r)
{
    std::vector<std::vector<Sample>> markings;
    if (r > 0) {
        markings.emplace_back();
        for (int i = 0; i < kCircleSamples; ++i) {
            const double angle = 2 * CV_PI * i / kCircleSamples;
            markings.back().push_back({ cv::Point2d(0.5 + r / widthM * std::cos(angle),
                                            0.5 + r / lengthM * std::sin(angle)),
                cv::Point2d(-std::sin(angle) / widthM, std::cos(angle) / lengthM), true });
        }
    }
    // The outline's four edges and the two candidate halfway lines, each
    // as a constant coordinate across and the other along.
    for (const double across : { 0.0, 0.5, 1.0 }) {
        std::vector<Sample> alongU, alongV;
        for (int i = 0; i < kLineSamples; ++i) {
            const double t = kLineEndMargin + (1 - 2 * kLineEndMargin) * i / (kLineSamples - 1);
            alongU.push_back({ cv::Point2d(t, across), cv::Point2d(1, 0) });
            alongV.push_back({ cv::Point2d(across, t), cv::Point2d(0, 1) });
        }
        markings.push_back(std::move(alongU));
        markings.push_back(std::move(alongV));
    }
    return markings;
}

std::optional<cv::Point2d> toPicture(const cv::Matx33d& h, cv::Point2d unit)
{
    const cv::Vec3d q = h * cv::Vec3d(unit.x, unit.y, 1.0);
    if (!(q[2] > 0))
        return std::nullopt;
    return cv::Point2d(q[0] / q[2], q[1] / q[2]);
}

// One sample placed in the picture: where, its unit normal, the paint's
// offset along it, and how a move of each unknown moves it along the normal.
struct Observation
{
    cv::Point2d at;
    cv::Point2d normal;
    double offset = 0.0;
    cv::Matx<double, 1, kUnknowns> slope;
};

struct Placement
{
    cv::Matx33d unitToPicture;
    std::array<cv::Matx33d, kCornerUnknowns> moved; // each corner coordinate moved
    double widthM, lengthM, radiusM;
};

// The sample's unit point with the circle's radius grown by dr metres.
cv::Point2d unitWithRadius(const Sample& s, const Placement& p, double dr)
{
    if (!s.onCircle || p.radiusM <= 0)
        return s.unit;
    const cv::Point2d fromCentre = s.unit - cv::Point2d(0.5, 0.5);
    return cv::Point2d(0.5, 0.5) + fromCentre * ((p.radiusM + dr) / p.radiusM);
}

std::optional<Observation> place(const Sample& s, const Placement& p, cv::Size frame)
{
    const auto at = toPicture(p.unitToPicture, s.unit);
    const auto ahead = toPicture(p.unitToPicture, s.unit + s.tangent * 1e-4);
    if (!at || !ahead || !cv::Rect2d(0, 0, frame.width, frame.height).contains(*at))
        return std::nullopt;
    const cv::Point2d d = *ahead - *at;
    const double n = cv::norm(d);
    if (!(n > 0))
        return std::nullopt;
    Observation o;
    o.at = *at;
    o.normal = cv::Point2d(-d.y / n, d.x / n);
    for (int k = 0; k < kCornerUnknowns; ++k) {
        const auto shifted = toPicture(p.moved[std::size_t(k)], s.unit);
        if (!shifted)
            return std::nullopt;
        o.slope(0, k) = o.normal.dot(*shifted - *at) / kCornerStepPx;
    }
    const auto grown = toPicture(p.unitToPicture, unitWithRadius(s, p, kRadiusStepM));
    if (!grown)
        return std::nullopt;
    o.slope(0, kCornerUnknowns) = o.normal.dot(*grown - *at) / kRadiusStepM;
    return o;
}

// The unknowns that lay the samples best on their paint: Huber-weighted
// least squares, damped.
cv::Matx<double, kUnknowns, 1> solve(const std::vector<Observation>& observations)
{
    cv::Matx<double, kUnknowns, 1> x = cv::Matx<double, kUnknowns, 1>::zeros();
    for (int round = 0; round < kReweightings; ++round) {
        cv::Matx<double, kUnknowns, kUnknowns> normal
            = cv::Matx<double, kUnknowns, kUnknowns>::eye() * kDamping;
        cv::Matx<double, kUnknowns, 1> right = cv::Matx<double, kUnknowns, 1>::zeros();
        for (const Observation& o : observations) {
            // Plain least squares first: from nought, every offset is large
            // near a corner that is off.
            const double residual = std::abs(o.offset - (o.slope * x)(0));
            const double weight
                = round == 0 || residual <= kHuberPx ? 1.0 : kHuberPx / residual;
            normal += o.slope.t() * o.slope * weight;
            right += o.slope.t() * (o.offset * weight);
        }
        cv::solve(normal, right, x, cv::DECOMP_CHOLESKY);
    }
    return x;
}

// The largest distance from a corner in the picture to the crossing of the
// painted lines at it; nothing where no corner has one within reach. Where
// two lines meet at a small angle (the far end seen from a low camera), a
// corner moved along one of them hardly moves the markings, but it leaves
// the crossing.
std::optional<double> farthestCrossing(const cv::Mat& bgr, const CCornerError::Corners& corners)
{
    std::optional<double> farthest;
    const cv::Rect2d frame(0, 0, bgr.cols, bgr.rows);
    for (const cv::Point2d& corner : corners) {
        if (!frame.contains(corner))
            continue;
        if (const auto crossing = CLineFinder().SnapToLines(bgr, corner, kCrossingReachPx))
            farthest = std::max(farthest.value_or(0.0), cv::norm(*crossing - corner));
    }
    return farthest;
}

} // namespace

CCornerError::CCornerError() = default;

CCornerError::~CCornerError() = default;

std::optional<double> CCornerError::Measure(const cv::Mat& bgr, const Corners& corners,
    double widthM, double lengthM, double circleRadiusM) const
{
    if (bgr.empty() || !(widthM > 0) || !(lengthM > 0) || !(circleRadiusM >= 0))
        return std::nullopt;
    const auto unitToPicture = CMarkingEstimator::UnitSquareToPicture(corners);
    if (!unitToPicture)
        return std::nullopt;
    Placement placement { *unitToPicture, {}, widthM, lengthM, circleRadiusM };
    for (int k = 0; k < kCornerUnknowns; ++k) {
        Corners moved = corners;
        (k % 2 ? moved[std::size_t(k / 2)].y : moved[std::size_t(k / 2)].x) += kCornerStepPx;
        const auto h = CMarkingEstimator::UnitSquareToPicture(moved);
        if (!h)
            return std::nullopt;
        placement.moved[std::size_t(k)] = *h;
    }
    std::vector<std::vector<Observation>> placed;
    std::vector<cv::Point2f> extent;
    for (const auto& marking : predictedMarkings(widthM, lengthM, circleRadiusM)) {
        placed.emplace_back();
        for (const Sample& s : marking) {
            if (const auto o = place(s, placement, bgr.size())) {
                placed.back().push_back(*o);
                extent.emplace_back(o->at);
            }
        }
    }
    if (extent.empty())
        return std::nullopt;
    const int margin
        = static_cast<int>(std::ceil(kSearchPx + CLineFinder::kMaxHalfWidthPx)) + 2;
        const auto [ridge, origin] = CLineFinder::RidgeAround(bgr, extent, margin);
    // Only markings painted along most of their course take part: the
    // halfway line that is not painted would find other paint here and there.
    std::vector<Observation> observations;
    for (auto& marking : placed) {
        std::vector<Observation> found;
        for (Observation& o : marking) {
            if (const auto offset
                = CLineFinder::PaintOffset(ridge, o.at - origin, o.normal, kSearchPx)) {
                o.offset = *offset;
                found.push_back(o);
            }
        }
        if (!marking.empty() && found.size() >= kMinFoundShare * marking.size())
            observations.insert(observations.end(), found.begin(), found.end());
    }
    const std::optional<double> crossingPx = farthestCrossing(bgr, corners);
    if (observations.empty())
        return crossingPx;
    const cv::Matx<double, kUnknowns, 1> moves = solve(observations);
    double largest = crossingPx.value_or(0.0);
    for (int c = 0; c < kCornerUnknowns / 2; ++c)
        largest = std::max(largest, std::hypot(moves(2 * c), moves(2 * c + 1)));
    return largest;
}
