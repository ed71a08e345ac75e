#include "pitch/CCalibrationFit.h"

#include "pitch/CCornerError.h"
#include "pitch/CLineFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int kCircleSamples = 72;
constexpr int kLineSamples = 48;
// The halfway line is compared away from the touchlines it meets.
constexpr double kLineEndMargin = 0.05;
// Paint further than this from the prediction does not count as found.
constexpr double kSearchPx = 8.0;
// A marking counts when paint is found at this share of its samples.
constexpr double kMinFoundShare = 0.5;
// Unit-square step used to find the course of a marking in the picture.
constexpr double kTangentStep = 1e-4;

// A point of a predicted marking in the unit square and its direction there.
struct Sample
{
    cv::Point2d unit;
    cv::Point2d tangent;
};

using Marking = std::vector<Sample>;

// The centre circle (none for a radius of 0) and the two candidate halfway
// lines.
std::vector<Marking> predictedMarkings(double widthM, double lengthM, double r)
{
    Marking circle, across, along;
    for (int i = 0; r > 0 && i < kCircleSamples; ++i) {
        const double angle = 2 * CV_PI * i / kCircleSamples;
        circle.push_back(
            { cv::Point2d(0.5 + r / widthM * std::cos(angle), 0.5 + r / lengthM * std::sin(angle)),
                cv::Point2d(-std::sin(angle) / widthM, std::cos(angle) / lengthM) });
    }
    for (int i = 0; i < kLineSamples; ++i) {
        const double t = kLineEndMargin + (1 - 2 * kLineEndMargin) * i / (kLineSamples - 1);
        across.push_back({ cv::Point2d(t, 0.5), cv::Point2d(1, 0) });
        along.push_back({ cv::Point2d(0.5, t), cv::Point2d(0, 1) });
    }
    return { circle, across, along };
}

// The picture point of a unit-square point; nothing on or beyond the horizon.
std::optional<cv::Point2d> toPicture(const cv::Matx33d& unitToPicture, cv::Point2d unit)
{
    const cv::Vec3d q = unitToPicture * cv::Vec3d(unit.x, unit.y, 1.0);
    if (!(q[2] > 0))
        return std::nullopt;
    return cv::Point2d(q[0] / q[2], q[1] / q[2]);
}

// Picture position and unit normal of a sample; nothing outside the frame.
std::optional<std::pair<cv::Point2d, cv::Point2d>> inPicture(
    const cv::Matx33d& unitToPicture, const Sample& s, cv::Size frame)
{
    const auto at = toPicture(unitToPicture, s.unit);
    const auto ahead = toPicture(unitToPicture, s.unit + s.tangent * kTangentStep);
    if (!at || !ahead || !cv::Rect2d(0, 0, frame.width, frame.height).contains(*at))
        return std::nullopt;
    const cv::Point2d d = *ahead - *at;
    const double n = cv::norm(d);
    if (!(n > 0))
        return std::nullopt;
    return std::pair(*at, cv::Point2d(-d.y / n, d.x / n));
}

// How far the circle of radius r lies in the picture from the circle of the
// painted radius, where they are farthest apart: dimensions typed wrong as
// the paint shows them. A circle seen flat from a low camera moves mostly
// sideways, where it is widest; round the rest it runs close to the halfway
// line, whose paint a search for the circle's own would find.
std::optional<double> circleGapPx(const CCalibrationFit::Corners& corners, double widthM,
    double lengthM, double r, double paintedR, cv::Size frame)
{
    const auto unitToPicture = CMarkingEstimator::UnitSquareToPicture(corners);
    if (!unitToPicture || !(r > 0) || !(paintedR > 0))
        return std::nullopt;
    const Marking given = predictedMarkings(widthM, lengthM, r)[0];
    const Marking painted = predictedMarkings(widthM, lengthM, paintedR)[0];
    std::optional<double> widest;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const auto at = inPicture(*unitToPicture, given[i], frame);
        const auto paint = toPicture(*unitToPicture, painted[i].unit);
        if (at && paint)
            widest = std::max(widest.value_or(0.0), std::abs((*paint - at->first).dot(at->second)));
    }
    return widest;
}

} // namespace

CCalibrationFit::CCalibrationFit() = default;

CCalibrationFit::~CCalibrationFit() = default;

std::optional<CCalibrationFit::Judgement> CCalibrationFit::Judge(const cv::Mat& bgr,
    const Corners& corners, double widthM, double lengthM, double circleRadiusM) const
{
    const bool known = circleRadiusM > 0;
    const std::optional<double> painted
        = CMarkingEstimator().CircleRadius(bgr, corners, widthM, lengthM);
    // The painted circle's own radius judges the corners; without one, the
    // radius given (or none) does. The markings' mean distance understates
    // a single corner off, which the corner moves show in full.
    const double ownRadius = painted.value_or(known ? circleRadiusM : 0.0);
    // Thick lines a few pixels off escape the markings' search, not the
    // corner moves': either one judges.
    const std::optional<double> ownPx = Measure(bgr, corners, widthM, lengthM, ownRadius);
    const std::optional<double> movesPx
        = CCornerError().Measure(bgr, corners, widthM, lengthM, ownRadius);
    if (!ownPx && !movesPx)
        return std::nullopt;
    const double cornerPx = std::max(ownPx.value_or(0.0), movesPx.value_or(0.0));
    Judgement judgement { cornerPx, cornerPx, painted };
    if (known && painted) {
        // Dimensions typed wrong move the circle of the given radius off its
        // paint all round, but the halfway line not at all: the circle's
        // own distance tells them, undiluted.
        double circlePx = 0.0;
        const std::optional<double> meanPx
            = measure(bgr, corners, widthM, lengthM, circleRadiusM, &circlePx);
        const double gapPx
            = circleGapPx(corners, widthM, lengthM, circleRadiusM, *painted, bgr.size()).value_or(0.0);
        judgement.meanPx = std::max({ cornerPx, meanPx.value_or(cornerPx), circlePx, gapPx });
    }
    return judgement;
}

std::optional<double> CCalibrationFit::Measure(const cv::Mat& bgr, const Corners& corners,
    double widthM, double lengthM, double circleRadiusM) const
{
    return measure(bgr, corners, widthM, lengthM, circleRadiusM, nullptr);
}

std::optional<double> CCalibrationFit::measure(const cv::Mat& bgr, const Corners& corners,
    double widthM, double lengthM, double circleRadiusM, double* circlePx) const
{
    const auto toPicture = CMarkingEstimator::UnitSquareToPicture(corners);
    if (!toPicture || bgr.empty() || !(widthM > 0) || !(lengthM > 0) || !(circleRadiusM >= 0))
        return std::nullopt;
    const cv::Matx33d& unitToPicture = *toPicture;
    // One ridge image for everything: paint is looked for near the markings only.
    std::vector<std::vector<std::pair<cv::Point2d, cv::Point2d>>> placed;
    std::vector<cv::Point2f> extent;
    for (const Marking& marking : predictedMarkings(widthM, lengthM, circleRadiusM)) {
        placed.emplace_back();
        for (const Sample& s : marking) {
            if (const auto p = inPicture(unitToPicture, s, bgr.size())) {
                placed.back().push_back(*p);
                extent.emplace_back(p->first);
            }
        }
    }
    if (extent.empty())
        return std::nullopt;
    const int margin = static_cast<int>(std::ceil(kSearchPx)) + 2;
        const auto [ridge, origin] = CLineFinder::RidgeAround(bgr, extent, margin);

    double sum = 0.0;
    int found = 0;
    // The halfway lines hold wherever the corners are right, whatever the
    // dimensions; only the circle shows dimensions typed wrong. A circle in
    // the picture whose paint is missing beside a found halfway line is
    // therefore far off, not absent: its samples count at the search limit.
    bool lineFound = false;
    int circleMissed = 0;
    for (std::size_t m = 0; m < placed.size(); ++m) {
        const auto& marking = placed[m];
        std::vector<double> distances;
        for (const auto& [at, normal] : marking) {
            if (const auto offset = CLineFinder::RidgeOffset(ridge, at - origin, normal, kSearchPx))
                distances.push_back(std::abs(*offset));
        }
        if (marking.empty() || distances.size() < kMinFoundShare * marking.size()) {
            if (m == 0 && marking.size() >= kMinFoundShare * kCircleSamples)
                circleMissed = static_cast<int>(marking.size());
            continue;
        }
        lineFound = lineFound || m > 0;
        double markingSum = 0.0;
        for (const double d : distances)
            markingSum += d;
        if (m == 0 && circlePx)
            *circlePx = markingSum / static_cast<double>(distances.size());
        sum += markingSum;
        found += static_cast<int>(distances.size());
    }
    if (lineFound && circleMissed > 0) {
        sum += kSearchPx * circleMissed;
        found += circleMissed;
        if (circlePx)
            *circlePx = kSearchPx;
    }
    if (found == 0)
        return std::nullopt;
    return sum / found;
}
