#include "PlayerSprite.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace testclips {

namespace {

constexpr int kShiftBits = 4;
constexpr double kShiftScale = 1 << kShiftBits;
constexpr double kStepM = 0.5; // for the local derivative of the mapping
constexpr double kShortsShare = 0.45; // of the body's height, from the feet
const cv::Scalar kSkin(120, 160, 215);

cv::Point fixed(cv::Point2d p)
{
    return cv::Point(cvRound(p.x * kShiftScale), cvRound(p.y * kShiftScale));
}

void fillCapsule(cv::Mat& frame, cv::Point2d a, cv::Point2d b, double r, const cv::Scalar& colour)
{
    const int radius = std::max(1, cvRound(r * kShiftScale));
    cv::circle(frame, fixed(a), radius, colour, cv::FILLED, cv::LINE_AA, kShiftBits);
    cv::circle(frame, fixed(b), radius, colour, cv::FILLED, cv::LINE_AA, kShiftBits);
    const cv::Point2d along = b - a;
    const double n = cv::norm(along);
    if (n < 1e-6)
        return;
    const cv::Point2d across = cv::Point2d(-along.y, along.x) * (r / n);
    const cv::Point quad[4] { fixed(a + across), fixed(b + across), fixed(b - across),
        fixed(a - across) };
    cv::fillConvexPoly(frame, quad, 4, colour, cv::LINE_AA, kShiftBits);
}

} // namespace

PersonShape personShape(const ClipTruth& truth, cv::Point2d ground)
{
    PersonShape shape;
    shape.foot = truth.toPicture(ground.x, ground.y);
    const cv::Point2d dx = (truth.toPicture(ground.x + kStepM, ground.y) - shape.foot) / kStepM;
    const cv::Point2d dy = (truth.toPicture(ground.x, ground.y + kStepM) - shape.foot) / kStepM;
    // The ground's local ellipse: eigen-axes of J J^T.
    const cv::Matx22d jjt(dx.x * dx.x + dy.x * dy.x, dx.x * dx.y + dy.x * dy.y,
        dx.x * dx.y + dy.x * dy.y, dx.y * dx.y + dy.y * dy.y);
    cv::Matx21d values;
    cv::Matx22d vectors;
    cv::eigen(jjt, values, vectors); // descending
    const double major = std::sqrt(std::max(values(0), 0.0));
    const double minor = std::sqrt(std::max(values(1), 0.0));
    cv::Point2d shortAxis(vectors(1, 0), vectors(1, 1));
    if (shortAxis.y > 0)
        shortAxis = -shortAxis;
    const double ratio = major > 0 ? std::min(1.0, minor / major) : 1.0;
    const double upright = std::sqrt(std::max(0.0, 1.0 - ratio * ratio));
    shape.up = shortAxis * (kBodyHeightM * major * upright);
    shape.radiusPx = kBodyWidthM / 2 * major;
    return shape;
}

void drawPerson(cv::Mat& frame, const ClipTruth& truth, const SimPerson& person, cv::Point2d ground)
{
    const PersonShape s = personShape(truth, ground);
    const double height = cv::norm(s.up);
    const cv::Point2d upUnit = height > 0 ? s.up / height : cv::Point2d(0, -1);
    // The capsule's lowest point sits on the feet when the body stands up
    // in the picture, and its disc is centred on them when seen from above.
    const double upright = std::min(1.0, height / (kBodyHeightM / kBodyWidthM * 2 * s.radiusPx));
    const cv::Point2d bottom = s.foot + upUnit * (s.radiusPx * upright);
    const cv::Point2d top = s.foot + s.up - upUnit * std::min(s.radiusPx, height);
    const cv::Point2d waist = bottom + (top - bottom) * kShortsShare;
    fillCapsule(frame, bottom, waist, s.radiusPx, person.shorts);
    fillCapsule(frame, waist, top, s.radiusPx, person.shirt);
    cv::circle(frame, fixed(top), std::max(1, cvRound(0.55 * s.radiusPx * kShiftScale)), kSkin,
        cv::FILLED, cv::LINE_AA, kShiftBits);
}

PlayerSimulation simulationFor(const ClipSettings& clipSettings)
{
    return PlayerSimulation(clipSettings.fieldWidth, clipSettings.fieldLength,
        clipSettings.frames / clipSettings.fps, clipSettings.seed);
}

void drawMatch(cv::Mat& frame, const ClipTruth& truth, int index)
{
    const PlayerSimulation simulation = simulationFor(truth.clipSettings);
    const double t = index / truth.clipSettings.fps;
    // Far people first, so that nearer ones hide them as they would.
    std::vector<std::pair<double, const SimPerson*>> order;
    for (const SimPerson& p : simulation.people())
        order.emplace_back(truth.toPicture(simulation.position(p, t).x,
                                simulation.position(p, t).y).y,
            &p);
    std::sort(order.begin(), order.end(),
        [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [depth, person] : order)
        drawPerson(frame, truth, *person, simulation.position(*person, t));
}

} // namespace testclips
