#include "PitchCamera.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace testclips {

namespace {

// Share of each picture side kept free around the pitch so that some
// surround is always visible.
constexpr double kMarginFraction = 0.08;
// At full tilt the far (top) edge is this much narrower than the near one
// and the pitch this much flatter than seen from above. Flattening more
// than narrowing keeps a circle near the camera wider than tall, as a
// real camera above the pitch sees it.
constexpr double kTopNarrowing = 0.55;
constexpr double kDepthFlattening = 0.65;

} // namespace

cv::Point2d ClipTruth::toPicture(double realX, double realY) const
{
    const cv::Vec3d p = homography * cv::Vec3d(realX, realY, 1.0);
    return cv::Point2d(p[0] / p[2], p[1] / p[2]);
}

cv::Point ClipTruth::centre() const
{
    const cv::Point2d c = toPicture(clipSettings.fieldWidth / 2.0, clipSettings.fieldLength / 2.0);
    return cv::Point(cvRound(c.x), cvRound(c.y));
}

PitchCamera::PitchCamera(const ClipSettings& clipSettings)
    : plan(clipSettings)
{ }

// The tilt model: a trapezoid, narrower at the far edge as tilt grows, its
// far edge shifted sideways by pan; in units of the near edge's length,
// round the pitch's middle.
std::array<cv::Point2d, 4> PitchCamera::tiltShape() const
{
    const double topShare = 1.0 - kTopNarrowing * plan.tilt;
    const double depth
        = double(plan.fieldLength) / plan.fieldWidth * (1.0 - kDepthFlattening * plan.tilt);
    const double halfTop = topShare / 2.0, shift = plan.pan;
    return { cv::Point2d(shift - halfTop, -depth / 2), cv::Point2d(shift + halfTop, -depth / 2),
        cv::Point2d(-0.5, depth / 2), cv::Point2d(0.5, depth / 2) };
}

// A pinhole camera at the given height behind the middle of the bottom edge
// (moved sideways by pan times the width), aimed at the pitch centre; the
// corners on its image plane, y downwards.
std::array<cv::Point2d, 4> PitchCamera::cameraShape() const
{
    const double w = plan.fieldWidth, l = plan.fieldLength;
    const cv::Vec3d eye(w / 2 + plan.pan * w, -plan.cameraBackM, plan.cameraHeightM);
    const cv::Vec3d forward = cv::normalize(cv::Vec3d(w / 2, l / 2, 0) - eye);
    const cv::Vec3d right = cv::normalize(forward.cross(cv::Vec3d(0, 0, 1)));
    const cv::Vec3d up = right.cross(forward);
    const auto image = [&](double x, double y) {
        const cv::Vec3d d = cv::Vec3d(x, y, 0) - eye;
        const double depth = d.dot(forward);
        return cv::Point2d(d.dot(right) / depth, -d.dot(up) / depth);
    };
    return { image(0, l), image(w, l), image(0, 0), image(w, 0) };
}

// The shape turned by the roll and centred with a margin on every side.
std::array<cv::Point2d, 4> PitchCamera::trapezoid() const
{
    std::array<cv::Point2d, 4> c = plan.cameraHeightM > 0 ? cameraShape() : tiltShape();
    const double roll = plan.rollDeg * CV_PI / 180.0;
    cv::Point2d low(HUGE_VAL, HUGE_VAL), high(-HUGE_VAL, -HUGE_VAL);
    for (cv::Point2d& p : c) {
        p = cv::Point2d(p.x * std::cos(roll) - p.y * std::sin(roll),
            p.x * std::sin(roll) + p.y * std::cos(roll));
        low = cv::Point2d(std::min(low.x, p.x), std::min(low.y, p.y));
        high = cv::Point2d(std::max(high.x, p.x), std::max(high.y, p.y));
    }
    const double boxW = plan.width * (1.0 - 2 * kMarginFraction);
    const double boxH = plan.height * (1.0 - 2 * kMarginFraction);
    const double scale = std::min(boxW / (high.x - low.x), boxH / (high.y - low.y));
    const cv::Point2d middle = (low + high) * 0.5;
    const cv::Point2d centre(plan.width / 2.0, plan.height / 2.0);
    for (cv::Point2d& p : c)
        p = centre + (p - middle) * scale;
    return c;
}

ClipTruth PitchCamera::truth() const
{
    ClipTruth truth;
    truth.clipSettings = plan;
    const std::array<cv::Point2d, 4> exact = trapezoid();
    std::array<cv::Point2f, 4> picture;
    for (std::size_t i = 0; i < 4; ++i) {
        truth.corners[i] = cv::Point(std::clamp(cvRound(exact[i].x), 0, plan.width - 1),
            std::clamp(cvRound(exact[i].y), 0, plan.height - 1));
        picture[i] = cv::Point2f(truth.corners[i]);
    }
    const float l = plan.fieldLength, w = plan.fieldWidth;
    const std::array<cv::Point2f, 4> real { cv::Point2f(0, l), cv::Point2f(w, l), cv::Point2f(0, 0),
        cv::Point2f(w, 0) };
    truth.homography = cv::Matx33d(cv::getPerspectiveTransform(real.data(), picture.data()));
    return truth;
}

} // namespace testclips
