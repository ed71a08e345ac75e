#include "pitch/CField.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <exception>

// The overlay's line lists and their drawing: straight segments between
// projected points, or with a lens short pieces that follow the bent paint.

namespace {

const cv::Scalar kViolet(255, 0, 128, 255);
const cv::Scalar kWhite(255, 255, 255, 255);
constexpr int kDotRadiusPx = 1;
constexpr int kThicknessPx = 1;
// With a lens, each straight pitch line is drawn as this many pieces, and
// the centre circle with this many times its usual samples.
constexpr int kCurvePieces = 48;
constexpr int kCircleRefinement = 4;

using PicturePoint = std::optional<cv::Point2f>;

// Liang-Barsky: shortens a-b to its part inside the square +-limit. False
// when no part of it lies inside.
bool clipToSquare(cv::Point2d& a, cv::Point2d& b, double limit)
{
    const cv::Point2d d = b - a;
    const double p[4] = { -d.x, d.x, -d.y, d.y };
    const double q[4] = { a.x + limit, limit - a.x, a.y + limit, limit - a.y };
    double enter = 0.0;
    double leave = 1.0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
    }
    if (enter > leave)
        return false;
    const cv::Point2d start = a + d * enter;
    b = a + d * leave;
    a = start;
    return true;
}

// A segment between two picture points in whole pixels; nothing when an end
// is not in front of the camera or the segment lies far outside any picture.
std::optional<FieldLine> makeSegment(const PicturePoint& from, const PicturePoint& to)
{
    if (!from || !to)
        return std::nullopt;
    cv::Point2d a(from->x, from->y);
    cv::Point2d b(to->x, to->y);
    if (!clipToSquare(a, b, CField::kPixelLimit))
        return std::nullopt;
    return FieldLine { CField::toPixel(a.x), CField::toPixel(a.y), CField::toPixel(b.x),
        CField::toPixel(b.y) };
}

void appendSegment(std::vector<FieldLine>& lines, const PicturePoint& from, const PicturePoint& to)
{
    if (const auto segment = makeSegment(from, to))
        lines.push_back(*segment);
}

void appendAll(std::vector<FieldLine>& lines, const std::vector<FieldLine>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

} // namespace

void CField::appendCurve(std::vector<FieldLine>& lines, cv::Point2f a, cv::Point2f b) const
{
    PicturePoint previous = projectVisible(a);
    for (int i = 1; i <= kCurvePieces; ++i) {
        const float t = static_cast<float>(i) / kCurvePieces;
        const PicturePoint next = projectVisible(a + (b - a) * t);
        appendSegment(lines, previous, next);
        previous = next;
    }
}
std::vector<FieldLine> CField::outlineSegments() const
{
    std::vector<FieldLine> lines;
    if (curved() && isCalibrated()) {
        appendCurve(lines, targetQuad[3], targetQuad[2]);
        appendCurve(lines, targetQuad[1], targetQuad[0]);
        appendCurve(lines, targetQuad[2], targetQuad[0]);
        appendCurve(lines, targetQuad[3], targetQuad[1]);
        return lines;
    }
    if (topPoints.size() >= 2)
        appendSegment(lines, topPoints[1], topPoints[0]);
    if (bottomPoints.size() >= 2)
        appendSegment(lines, bottomPoints[1], bottomPoints[0]);
    for (std::size_t i = 0; i < bottomPoints.size() && i < topPoints.size(); ++i)
        appendSegment(lines, topPoints[i], bottomPoints[i]);
    return lines;
}

std::vector<FieldLine> CField::halfwaySegments() const
{
    std::vector<FieldLine> lines;
    if (curved()) {
        if (halfwayField)
            appendCurve(lines, (*halfwayField)[0], (*halfwayField)[1]);
        return lines;
    }
    appendSegment(lines, halfwayStart, halfwayEnd);
    return lines;
}

void CField::appendCircleCurve(std::vector<FieldLine>& lines) const
{
    const int samples = circleSamples * kCircleRefinement;
    const auto sample = [&](int i) {
        const double theta = i * (kFullTurnRad / samples);
        return projectVisible(cv::Point2f(
            circleCentreField.x + static_cast<float>(std::cos(theta)) * (radius / width) * aspect,
            circleCentreField.y + static_cast<float>(std::sin(theta)) * (radius / length)));
    };
    const PicturePoint first = sample(0);
    PicturePoint previous = first;
    for (int i = 1; i < samples; ++i) {
        const PicturePoint next = sample(i);
        appendSegment(lines, previous, next);
        previous = next;
    }
    appendSegment(lines, first, previous);
}

std::vector<FieldLine> CField::circleSegments() const
{
    std::vector<FieldLine> lines;
    if (curved()) {
        if (circleComputable)
            appendCircleCurve(lines);
        return lines;
    }
    for (int i = 0; i + 1 < circleSamples; ++i)
        appendSegment(lines, circlePicture[i], circlePicture[i + 1]);
    appendSegment(lines, circlePicture[0], circlePicture[circleSamples - 1]);
    return lines;
}

std::vector<FieldLine> CField::gridSegments() const
{
    std::vector<FieldLine> lines;
    if (gridPicture.size() <= 1)
        return lines;
    if (curved()) {
        for (std::size_t k = 0; 2 * k + 1 < gridField.size(); ++k)
            appendCurve(lines, gridField[2 * k], gridField[2 * k + 1]);
        return lines;
    }
    for (std::size_t k = 0; 2 * k + 1 < gridPicture.size(); ++k)
        appendSegment(lines, gridPicture[2 * k], gridPicture[2 * k + 1]);
    return lines;
}

int CField::Draw(const cv::Mat& frame)
{
    try {
        overlayImage.release();
        overlayImage = frame.clone();
        DrawPoints();
        if (!overlayImage.empty() && isReady())
            DrawLines();
    } catch (const cv::Exception&) {
        // An image the drawing cannot handle is left as copied.
    }
    return 0;
}

int CField::DrawOnto(cv::Mat& image, ChannelOrder order)
{
    // DrawPoints and DrawLines draw into overlayImage; lend them the image.
    cv::swap(overlayImage, image);
    overlayOrder = order;
    try {
        DrawPoints();
        if (!overlayImage.empty() && isReady())
            DrawLines();
    } catch (const std::exception&) {
        // An image the drawing cannot handle is left as it was given.
    }
    overlayOrder = ChannelOrder::Bgr;
    cv::swap(overlayImage, image);
    return 0;
}

cv::Scalar CField::ink(const cv::Scalar& bgr) const
{
    return overlayOrder == ChannelOrder::Rgb ? cv::Scalar(bgr[2], bgr[1], bgr[0], bgr[3]) : bgr;
}

int CField::DrawPoints()
{
    if (overlayImage.empty())
        return -1;
    if (!drawLines)
        return 0;
    for (const auto* points : { &topPoints, &bottomPoints }) {
        for (const cv::Point2f& p : *points) {
            cv::circle(overlayImage, cv::Point(toPixel(p.x), toPixel(p.y)), kDotRadiusPx,
                ink(kViolet), kThicknessPx, cv::LINE_8, 0);
        }
    }
    return 0;
}

void CField::drawSegments(const std::vector<FieldLine>& segments, const cv::Scalar& colour)
{
    for (const FieldLine& s : segments) {
        cv::line(overlayImage, cv::Point(s.x1, s.y1), cv::Point(s.x2, s.y2), ink(colour),
            kThicknessPx, cv::LINE_8, 0);
    }
}

void CField::DrawLines()
{
    if (!drawLines || overlayImage.empty())
        return;
    drawSegments(halfwaySegments(), kWhite);
    drawSegments(outlineSegments(), kViolet);
    drawSegments(circleSegments(), kWhite);
    drawSegments(gridSegments(), kViolet);
}

void CField::BuildLineLists()
{
    centreLines.clear();
    const bool buildFieldLines = fieldLines.empty();
    appendAll(centreLines, halfwaySegments());
    if (buildFieldLines)
        appendAll(fieldLines, outlineSegments());
    appendAll(centreLines, circleSegments());
    if (buildFieldLines)
        appendAll(fieldLines, gridSegments());
}

std::vector<FieldLine> CField::GetFieldLines()
{
    if (isReady())
        BuildLineLists();
    return fieldLines;
}

std::vector<FieldLine> CField::GetCentreLines()
{
    if (isReady())
        BuildLineLists();
    return centreLines;
}
