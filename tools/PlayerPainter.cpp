#include "PlayerPainter.h"

#include "DrawingPrecision.h"
#include "PlayerSprite.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>

namespace testclips {

namespace {

// Clearly neither green nor white.
const std::array<cv::Scalar, 8> kPlayerColours { cv::Scalar(40, 40, 220), cv::Scalar(210, 70, 30),
    cv::Scalar(20, 215, 245), cv::Scalar(200, 40, 200), cv::Scalar(20, 120, 250),
    cv::Scalar(25, 25, 25), cv::Scalar(130, 20, 90), cv::Scalar(230, 200, 40) };

// Position on a path that bounces between lo and hi.
double bounce(double start, double travelled, double lo, double hi)
{
    const double span = hi - lo;
    double t = std::fmod(start - lo + travelled, 2 * span);
    if (t < 0)
        t += 2 * span;
    return lo + (t <= span ? t : 2 * span - t);
}

} // namespace

PlayerPainter::PlayerPainter(const ClipTruth& truth)
    : truth(truth)
    , plan(truth.clipSettings)
{
    cv::RNG rng(plan.seed);
    const double unit = std::min(plan.fieldLength, plan.fieldWidth);
    const int colourOffset = rng.uniform(0, int(kPlayerColours.size()));
    for (int k = 0; k < plan.players; ++k) {
        Player p;
        p.start = cv::Point2d(
            rng.uniform(0.1, 0.9) * plan.fieldWidth, rng.uniform(0.1, 0.9) * plan.fieldLength);
        const double speed = rng.uniform(0.06, 0.13) * unit;
        const double heading = rng.uniform(0.0, 2 * CV_PI);
        p.velocity = cv::Point2d(speed * std::cos(heading), speed * std::sin(heading));
        p.colour = kPlayerColours[(colourOffset + k) % kPlayerColours.size()];
        players.push_back(p);
    }
}

void PlayerPainter::drawMoving(cv::Mat& frame, const Player& p, int index) const
{
    const double seconds = index / plan.fps;
    const double x
        = bounce(p.start.x, p.velocity.x * seconds, 0.05 * plan.fieldWidth, 0.95 * plan.fieldWidth);
    const double y = bounce(
        p.start.y, p.velocity.y * seconds, 0.05 * plan.fieldLength, 0.95 * plan.fieldLength);
    const double bodyHeight = 0.04 * std::min(plan.fieldLength, plan.fieldWidth);
    const cv::Point2d feet = truth.toPicture(x, y);
    const cv::Point2d side = truth.toPicture(x + bodyHeight, y);
    const double heightPx = cv::norm(side - feet);
    const cv::Size2d axes(std::max(2.0, heightPx / 4), std::max(3.0, heightPx / 2));
    const cv::Point2d centre(feet.x, feet.y - axes.height);
    cv::ellipse(frame, fixedPoint(centre),
        cv::Size(cvRound(axes.width * kShiftScale), cvRound(axes.height * kShiftScale)), 0, 0, 360,
        p.colour, cv::FILLED, cv::LINE_8, kShiftBits);
}

// Still players centred on the outline, one side after the other.
void PlayerPainter::drawOnLine(cv::Mat& frame) const
{
    cv::RNG rng(plan.seed + 1);
    const double w = plan.fieldWidth, l = plan.fieldLength;
    const cv::Point2d outline[4] { { 0, 0 }, { w, 0 }, { w, l }, { 0, l } };
    const double bodyHeight = 0.04 * std::min(l, w);
    for (int k = 0; k < plan.linePlayers; ++k) {
        const cv::Point2d from = outline[k % 4], to = outline[(k + 1) % 4];
        const cv::Point2d real = from + (to - from) * rng.uniform(0.1, 0.9);
        const cv::Point2d centre = truth.toPicture(real.x, real.y);
        const double heightPx = cv::norm(truth.toPicture(real.x + bodyHeight, real.y) - centre);
        const cv::Size axes(cvRound(std::max(2.0, heightPx / 4) * kShiftScale),
            cvRound(std::max(3.0, heightPx / 2) * kShiftScale));
        cv::ellipse(frame, fixedPoint(centre), axes, 0, 0, 360,
            kPlayerColours[k % kPlayerColours.size()], cv::FILLED, cv::LINE_8, kShiftBits);
    }
}

void PlayerPainter::draw(cv::Mat& frame, int index) const
{
    for (const Player& p : players)
        drawMoving(frame, p, index);
    drawOnLine(frame);
    if (plan.match)
        drawMatch(frame, truth, index);
}

} // namespace testclips
