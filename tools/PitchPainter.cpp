#include "PitchPainter.h"

#include "DrawingPrecision.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace testclips {

namespace {

constexpr int kStripes = 12;
constexpr int kCircleSamples = 720;
constexpr double kLineWidthPerPx = 1.0 / 200.0; // of the shorter picture side
// Fine pixels per picture pixel across, for areas up to kFineAreaPx and
// beyond it.
constexpr int kSupersampling = 8;
constexpr int kCoarseSupersampling = 4;
constexpr int kFineAreaPx = 500000;

// Markings fixed by the laws of the game, in metres.
constexpr double kPenaltyDepthM = 16.5;
constexpr double kPenaltyWidthM = 40.32;
constexpr double kGoalAreaDepthM = 5.5;
constexpr double kGoalAreaWidthM = 18.32;

// Beyond the outer lines: darker grass, a dark artificial run-off, a red
// running track or a pale concrete wall.
const cv::Scalar kSurround(38, 84, 46);
const cv::Scalar kRunOff(44, 42, 40);
const cv::Scalar kTrack(48, 58, 168);
const cv::Scalar kWall(168, 172, 174);
const cv::Scalar kGrassLight(62, 158, 74);
const cv::Scalar kGrassDark(52, 140, 62);
const cv::Scalar kLineWhite(255, 255, 255);

} // namespace

PitchPainter::PitchPainter(const ClipTruth& truth)
    : truth(truth)
    , plan(truth.clipSettings)
{ }

cv::Scalar PitchPainter::surround(const ClipSettings& clipSettings)
{
    switch (clipSettings.surround) {
    case ClipSettings::Surround::RunOff:
        return kRunOff;
    case ClipSettings::Surround::Track:
        return kTrack;
    case ClipSettings::Surround::Wall:
        return kWall;
    case ClipSettings::Surround::Grass:
        break;
    }
    return kSurround;
}

int PitchPainter::lineThicknessPx() const
{
    return std::max(2, cvRound(std::min(plan.width, plan.height) * kLineWidthPerPx));
}

void PitchPainter::fillRealQuad(
    cv::Mat& frame, double x0, double y0, double x1, double y1, const cv::Scalar& colour) const
{
    const std::array<cv::Point, 4> quad { fixedPoint(truth.toPicture(x0, y0)),
        fixedPoint(truth.toPicture(x1, y0)), fixedPoint(truth.toPicture(x1, y1)),
        fixedPoint(truth.toPicture(x0, y1)) };
    cv::fillConvexPoly(frame, quad.data(), 4, colour, cv::LINE_8, kShiftBits);
}

// A painted strip of the given real width centred on a to b, lengthened by
// half the width at both ends so that lines meeting at a corner close it.
void PitchPainter::fillRealStrip(cv::Mat& frame, cv::Point2d a, cv::Point2d b) const
{
    const double half = plan.lineWidth / 2.0;
    const cv::Point2d along = (b - a) * (half / cv::norm(b - a));
    const cv::Point2d across(-along.y, along.x);
    const std::array<cv::Point2d, 4> real { a - along - across, b + along - across,
        b + along + across, a - along + across };
    std::array<cv::Point, 4> quad;
    for (std::size_t i = 0; i < quad.size(); ++i)
        quad[i] = fixedPoint(truth.toPicture(real[i].x, real[i].y));
    cv::fillConvexPoly(frame, quad.data(), 4, kLineWhite, cv::LINE_AA, kShiftBits);
}

// A strip of the picture width lineWidthPx centred on the picture segment
// from a to b, lengthened by half the width at both ends. Each pixel is
// covered by the share of it that lies within the strip, taken from its
// centre's distance to the strip's edges: OpenCV's antialiased fill would
// widen the strip by about a pixel and move its centre by up to 0.15 px
// with the sub-pixel phase, which a crossing at a small angle multiplies.
void PitchPainter::fillPictureStrip(cv::Mat& frame, cv::Point2d a, cv::Point2d b) const
{
    const cv::Point2d pa = truth.toPicture(a.x, a.y), pb = truth.toPicture(b.x, b.y);
    const double length = cv::norm(pb - pa);
    if (!(length > 0))
        return;
    const cv::Point2d along = (pb - pa) * (1.0 / length);
    const cv::Point2d across(-along.y, along.x);
    const double half = plan.lineWidthPx / 2.0;
    const std::array<cv::Point2f, 4> quad { pa - (along + across) * half,
        pb + (along - across) * half, pb + (along + across) * half, pa - (along - across) * half };
    const cv::Rect box = (cv::boundingRect(std::vector<cv::Point2f>(quad.begin(), quad.end()))
                             + cv::Size(2, 2) - cv::Point(1, 1))
        & cv::Rect(0, 0, frame.cols, frame.rows);
    const auto cover = [](double inside) { return std::clamp(inside + 0.5, 0.0, 1.0); };
    for (int y = box.y; y < box.y + box.height; ++y) {
        auto* row = frame.ptr<cv::Vec3b>(y);
        for (int x = box.x; x < box.x + box.width; ++x) {
            const cv::Point2d d = cv::Point2d(x, y) - pa;
            const double t = d.dot(along);
            const double share = std::min(cover(half - std::abs(d.dot(across))),
                                     2 * half)
                * cover(std::min(t + half, length + half - t));
            if (share <= 0)
                continue;
            for (int c = 0; c < 3; ++c)
                row[x][c] = cv::saturate_cast<uchar>(
                    row[x][c] + share * (kLineWhite[c] - row[x][c]));
        }
    }
}

// Fills the polygons (even-odd, as cv::fillPoly) in white, each pixel
// covered by the share of it inside them: drawn without antialiasing at
// several times the size and averaged down, so that the paint's
// edges lie where the polygons' do.
void PitchPainter::fillSupersampled(
    cv::Mat& frame, const std::vector<std::vector<cv::Point>>& polygons) const
{
    std::vector<cv::Point> all;
    for (const auto& polygon : polygons)
        all.insert(all.end(), polygon.begin(), polygon.end());
    if (all.empty())
        return;
    const cv::Rect fixedBox = cv::boundingRect(all);
    const cv::Rect box = cv::Rect(cv::Point(fixedBox.x >> kShiftBits, fixedBox.y >> kShiftBits),
                             cv::Point(((fixedBox.x + fixedBox.width) >> kShiftBits) + 2,
                                 ((fixedBox.y + fixedBox.height) >> kShiftBits) + 2))
        & cv::Rect(0, 0, frame.cols, frame.rows);
    if (box.empty())
        return;
    // Fine pixel (i, j) covers picture [x - 0.5 + i / k, ...): its centre
    // lies at (i + 0.5) / k - 0.5 from the box's corner pixel centre.
    const int k = box.area() <= kFineAreaPx ? kSupersampling : kCoarseSupersampling;
    std::vector<std::vector<cv::Point>> fine = polygons;
    for (auto& polygon : fine) {
        for (cv::Point& p : polygon) {
            p = cv::Point(cvRound((p.x / kShiftScale - box.x + 0.5) * k * kShiftScale - kShiftScale / 2),
                cvRound((p.y / kShiftScale - box.y + 0.5) * k * kShiftScale - kShiftScale / 2));
        }
    }
    cv::Mat mask(box.height * k, box.width * k, CV_8UC1, cv::Scalar(0));
    cv::fillPoly(mask, fine, cv::Scalar(255), cv::LINE_8, kShiftBits);
    cv::Mat share;
    cv::resize(mask, share, box.size(), 0, 0, cv::INTER_AREA);
    cv::Mat region = frame(box);
    for (int y = 0; y < box.height; ++y) {
        auto* row = region.ptr<cv::Vec3b>(y);
        const uchar* cover = share.ptr<uchar>(y);
        for (int x = 0; x < box.width; ++x) {
            for (int c = 0; c < 3; ++c)
                row[x][c] = cv::saturate_cast<uchar>(
                    row[x][c] + cover[x] / 255.0 * (kLineWhite[c] - row[x][c]));
        }
    }
}

void PitchPainter::drawRealSegment(cv::Mat& frame, cv::Point2d a, cv::Point2d b) const
{
    if (plan.lineWidthPx > 0) {
        fillPictureStrip(frame, a, b);
        return;
    }
    if (plan.lineWidth > 0) {
        fillRealStrip(frame, a, b);
        return;
    }
    // Straight lines stay straight under a homography: the ends suffice.
    cv::line(frame, fixedPoint(truth.toPicture(a.x, a.y)), fixedPoint(truth.toPicture(b.x, b.y)),
        kLineWhite, lineThicknessPx(), cv::LINE_8, kShiftBits);
}

// Three sides of a box of the given real width and depth, centred on the
// edge at height edgeY and reaching towards the middle (inward is +1 or -1).
void PitchPainter::drawAreaBox(
    cv::Mat& frame, double edgeY, double inward, double boxWidth, double depth) const
{
    const double x0 = plan.fieldWidth / 2.0 - boxWidth / 2.0;
    const double x1 = x0 + boxWidth;
    const double y = edgeY + inward * depth;
    drawRealSegment(frame, cv::Point2d(x0, edgeY), cv::Point2d(x0, y));
    drawRealSegment(frame, cv::Point2d(x0, y), cv::Point2d(x1, y));
    drawRealSegment(frame, cv::Point2d(x1, y), cv::Point2d(x1, edgeY));
}

void PitchPainter::drawPenaltyAreas(cv::Mat& frame) const
{
    const double l = plan.fieldLength;
    for (const auto& [edgeY, inward] : { std::pair(0.0, 1.0), std::pair(l, -1.0) }) {
        drawAreaBox(frame, edgeY, inward, kPenaltyWidthM, kPenaltyDepthM);
        drawAreaBox(frame, edgeY, inward, kGoalAreaWidthM, kGoalAreaDepthM);
    }
}

// The centre circle of the given real radius as a closed polygon, each
// point moved outwards by offsetPx picture pixels (inwards when negative).
std::vector<cv::Point> PitchPainter::centreRing(double radius, double offsetPx) const
{
    const auto at = [&](double a) {
        return truth.toPicture(plan.fieldWidth / 2.0 + radius * std::cos(a),
            plan.fieldLength / 2.0 + radius * std::sin(a));
    };
    const double step = 2 * CV_PI / kCircleSamples;
    std::vector<cv::Point> ring;
    ring.reserve(kCircleSamples);
    for (int i = 0; i < kCircleSamples; ++i) {
        const cv::Point2d p = at(i * step);
        const cv::Point2d d = at((i + 1) * step) - at((i - 1) * step);
        // The ring runs counter-clockwise on the pitch, clockwise in the
        // picture's y-down frame: outwards is to the right of d there.
        const cv::Point2d outwards = cv::Point2d(-d.y, d.x) * (1.0 / cv::norm(d));
        ring.push_back(fixedPoint(p + outwards * offsetPx));
    }
    return ring;
}

void PitchPainter::drawCentreCircle(cv::Mat& frame) const
{
    if (plan.radius <= 0)
        return;
    if (plan.lineWidthPx > 0) {
        const double half = plan.lineWidthPx / 2.0;
        fillSupersampled(frame, { centreRing(plan.radius, half), centreRing(plan.radius, -half) });
        return;
    }
    if (plan.lineWidth <= 0) {
        cv::polylines(frame, centreRing(plan.radius), true, kLineWhite, lineThicknessPx(),
            cv::LINE_8, kShiftBits);
        return;
    }
    // The paint between its outer and inner edge.
    const double halfWidth = plan.lineWidth / 2.0;
    const std::vector<std::vector<cv::Point>> edges { centreRing(plan.radius + halfWidth),
        centreRing(std::max(0.0, plan.radius - halfWidth)) };
    cv::fillPoly(frame, edges, kLineWhite, cv::LINE_AA, kShiftBits);
}

cv::Mat PitchPainter::render() const
{
    const double w = plan.fieldWidth, l = plan.fieldLength;
    cv::Mat frame(plan.height, plan.width, CV_8UC3, surround(plan));
    fillRealQuad(frame, 0, 0, w, l, kGrassLight);
    for (int i = 1; i < kStripes; i += 2)
        fillRealQuad(frame, w * i / kStripes, 0, w * (i + 1) / kStripes, l, kGrassDark);
    const std::array<cv::Point2d, 4> c { cv::Point2d(0, l), cv::Point2d(w, l), cv::Point2d(0, 0),
        cv::Point2d(w, 0) };
    drawRealSegment(frame, c[0], c[1]);
    drawRealSegment(frame, c[2], c[3]);
    drawRealSegment(frame, c[0], c[2]);
    drawRealSegment(frame, c[1], c[3]);
    drawRealSegment(frame, cv::Point2d(0, l / 2), cv::Point2d(w, l / 2));
    drawCentreCircle(frame);
    if (plan.penaltyAreas)
        drawPenaltyAreas(frame);
    return frame;
}

} // namespace testclips
