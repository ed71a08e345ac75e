#include "pitch/CField.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace {

// The angle step of the centre circle is this value over the sample count;
// it is kept as it always was rather than replaced by a precise 2 pi, so the
// circle points do not move between versions.
constexpr double kFullTurnRad = 6.283184;
// One third and two thirds rounded to single precision, in double.
constexpr double kOneThird = 0.3333333432674408;
constexpr double kTwoThirds = 0.6666666865348816;

const cv::Scalar kViolet(255, 0, 128, 255);
const cv::Scalar kWhite(255, 255, 255, 255);
constexpr int kDotRadiusPx = 1;
constexpr int kThicknessPx = 1;
// With a lens, each straight pitch line is drawn as this many pieces, and
// the centre circle with this many times its usual samples.
constexpr int kCurvePieces = 48;
constexpr int kCircleRefinement = 4;

// Relative size of a triangle's area below which three corners count as
// lying on one line.
constexpr double kCollinearTolerance = 1e-9;
// How far a corner may land from its click when mapped back (px, plus a
// share of its magnitude) before the transform is treated as unusable.
constexpr double kRoundTripTolerancePx = 0.5;
constexpr double kRoundTripRelativeTolerance = 1e-4;

using PicturePoint = std::optional<cv::Point2f>;

bool isUsableDimension(float value) { return std::isfinite(value) && value > 0.0f; }

bool isFinite(cv::Point2f p) { return std::isfinite(p.x) && std::isfinite(p.y); }

std::array<cv::Point2f, 4> unitQuad(float aspect)
{
    return { cv::Point2f(0.0f, 0.0f), cv::Point2f(aspect, 0.0f), cv::Point2f(0.0f, 1.0f),
        cv::Point2f(aspect, 1.0f) };
}

// (X, Y, W) = m x (p.x, p.y, 1) in single precision.
cv::Vec3f applyHomography(const cv::Matx33f& m, cv::Point2f p)
{
    return { m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2), m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2),
        m(2, 0) * p.x + m(2, 1) * p.y + m(2, 2) };
}

cv::Point2f divideHomogeneous(const cv::Vec3f& v)
{
    // A point on the horizon lies at infinity; say so instead of dividing by
    // zero (0 / 0 would give NaN).
    if (v[2] == 0.0f) {
        constexpr float infinity = std::numeric_limits<float>::infinity();
        return { std::copysign(infinity, v[0]), std::copysign(infinity, v[1]) };
    }
    return { v[0] / v[2], v[1] / v[2] };
}

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

// A click kept as a float back to the int it came from. INT_MAX becomes
// 2^31 as a float, one past the int range: converting that is undefined, so
// it is clamped to the largest float below it first.
int clickCoordinate(float value)
{
    constexpr float kLowest = static_cast<float>(std::numeric_limits<int>::min());
    constexpr float kHighest = 2147483520.0f; // the largest float below 2^31
    return static_cast<int>(std::clamp(value, kLowest, kHighest));
}

} // namespace

CField::CField()
    : targetQuad(unitQuad(aspect))
    , pictureFromField(cv::Matx33f::zeros())
    , fieldFromPicture(cv::Matx33f::zeros())
    , circleField(circleSamples)
    , gridField(gridEndpoints)
    , circlePicture(circleSamples, cv::Point2f())
    , gridPicture(gridEndpoints, cv::Point2f())
{ }

CField::~CField() = default;

std::int32_t CField::toPixel(double coordinate)
{
    if (std::isnan(coordinate))
        return 0;
    return static_cast<std::int32_t>(std::clamp(coordinate, -kPixelLimit, kPixelLimit));
}

cv::Point2f CField::fromHomogeneous(float x, float y, float w)
{
    return divideHomogeneous(cv::Vec3f(x, y, w));
}

void CField::recountPoints()
{
    topPointsLeft = pointsPerEdge - static_cast<int>(topPoints.size());
    bottomPointsLeft = pointsPerEdge - static_cast<int>(bottomPoints.size());
}

int CField::AddPoint(int edge, int x, int y)
{
    const cv::Point2f point(static_cast<float>(x), static_cast<float>(y));
    if (edge == 0 && static_cast<int>(topPoints.size()) < pointsPerEdge)
        topPoints.push_back(point);
    else if (edge == 1 && static_cast<int>(bottomPoints.size()) < pointsPerEdge)
        bottomPoints.push_back(point);
    recountPoints();
    if (topPointsLeft == 0 && bottomPointsLeft == 0 && !cornersComplete) {
        cornersComplete = true;
        // Corners that define no perspective leave the model collecting;
        // only ClearPoints and new corners get it out of that.
        if (ComputePerspective() != 0)
            cornersComplete = false;
        else if (centreSet)
            // The centre line, circle and grid were laid out for the previous
            // corners; lay them out again for these before anything draws.
            UpdateCentreGeometry(clickCoordinate(gameCentre.x), clickCoordinate(gameCentre.y));
    }
    return topPointsLeft;
}

void CField::ClearPoints()
{
    topPoints.clear();
    bottomPoints.clear();
    fittedCorners = false;
    fieldLines.clear();
    centreLines.clear();
    recountPoints();
    cornersComplete = false;
    perspectiveValid = false;
    pictureFromField = cv::Matx33f::zeros();
    fieldFromPicture = cv::Matx33f::zeros();
    // An emptied edit sends 0: keep the last aspect that made sense.
    if (isUsableDimension(width) && isUsableDimension(length)) {
        const float candidate = width / length;
        if (std::isnormal(candidate))
            aspect = candidate;
    }
    targetQuad = unitQuad(aspect);
}

std::optional<std::array<cv::Point2d, 4>> CField::getIdealCorners() const
{
    if (fittedCorners)
        return fittedIdeal;
    const auto corners = getCorners();
    if (!corners)
        return std::nullopt;
    std::array<cv::Point2d, 4> ideal;
    for (std::size_t i = 0; i < ideal.size(); ++i)
        ideal[i] = lens.undistort(cv::Point2d((*corners)[i]));
    return ideal;
}

void CField::SetLens(const CLensModel& value)
{
    // One pinhole camera maps like any other: nothing to recompute.
    const bool samePictureGeometry = lens.isPinhole() && value.isPinhole();
    lens = value;
    if (samePictureGeometry)
        return;
    // The field lines are kept until the corners change; so they do now.
    fieldLines.clear();
    if (!cornersComplete)
        return;
    if (ComputePerspective() != 0)
        cornersComplete = false;
    else if (centreSet)
        UpdateCentreGeometry(clickCoordinate(gameCentre.x), clickCoordinate(gameCentre.y));
}

int CField::SetFittedCorners(const std::array<cv::Point2d, 4>& ideal)
{
    ClearPoints();
    fittedCorners = true;
    fittedIdeal = ideal;
    // The recorded corners, for the dots and for whoever reads them; a
    // corner the lens cannot bend back lies far outside the picture anyway.
    for (std::size_t i = 0; i < ideal.size(); ++i) {
        const cv::Point2d recorded = lens.distort(ideal[i]).value_or(ideal[i]);
        (i < 2 ? topPoints : bottomPoints).push_back(cv::Point2f(recorded));
    }
    recountPoints();
    cornersComplete = true;
    if (ComputePerspective() != 0) {
        ClearPoints();
        return -1;
    }
    if (centreSet)
        UpdateCentreGeometry(clickCoordinate(gameCentre.x), clickCoordinate(gameCentre.y));
    return 0;
}

std::optional<std::array<cv::Point2f, 4>> CField::getCorners() const
{
    if (topPoints.size() != 2 || bottomPoints.size() != 2)
        return std::nullopt;
    return std::array<cv::Point2f, 4> { topPoints[0], topPoints[1], bottomPoints[0],
        bottomPoints[1] };
}

int CField::SetGameCentre(int x, int y)
{
    gameCentre = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
    UpdateCentreGeometry(x, y);
    centreSet = true;
    return 0;
}

bool CField::cornersDefinePerspective() const
{
    // Every three of the four corners must span a triangle; this also
    // rejects two equal corners.
    static constexpr int kTriples[4][3] = { { 0, 1, 2 }, { 0, 1, 3 }, { 0, 2, 3 }, { 1, 2, 3 } };
    for (const auto& triple : kTriples) {
        const cv::Point2d a = sourceQuad[triple[0]];
        const cv::Point2d u = cv::Point2d(sourceQuad[triple[1]]) - a;
        const cv::Point2d v = cv::Point2d(sourceQuad[triple[2]]) - a;
        const double area = std::abs(u.cross(v));
        if (!(area > kCollinearTolerance * cv::norm(u) * cv::norm(v)))
            return false;
    }
    return true;
}

bool CField::perspectiveIsUsable() const
{
    for (int i = 0; i < 9; ++i) {
        if (!std::isfinite(pictureFromField.val[i]) || !std::isfinite(fieldFromPicture.val[i]))
            return false;
    }
    for (std::size_t i = 0; i < sourceQuad.size(); ++i) {
        const cv::Point2f back = FieldToPicture(targetQuad[i]);
        const double tolerance = kRoundTripTolerancePx
            + kRoundTripRelativeTolerance * cv::norm(cv::Point2d(sourceQuad[i]));
        if (!isFinite(back) || cv::norm(cv::Point2d(back - sourceQuad[i])) > tolerance)
            return false;
    }
    return true;
}

cv::Matx33d CField::solvePerspective() const
{
    // The solver fixes the transform's last element at 1, which fails when
    // the picture origin lies on the horizon. Solving about the corners'
    // centroid, which is inside the pitch and never on the horizon, avoids
    // that; the translation is then folded back in.
    cv::Point2f centroid;
    for (const cv::Point2f& p : sourceQuad)
        centroid += p * 0.25f;
    std::array<cv::Point2f, 4> centred;
    for (std::size_t i = 0; i < centred.size(); ++i)
        centred[i] = sourceQuad[i] - centroid;
    const cv::Matx33d aboutCentroid
        = cv::getPerspectiveTransform(centred.data(), targetQuad.data(), cv::DECOMP_LU);
    const cv::Matx33d shift(1.0, 0.0, -centroid.x, 0.0, 1.0, -centroid.y, 0.0, 0.0, 1.0);
    return aboutCentroid * shift;
}

int CField::ComputePerspective()
{
    if (!cornersComplete || topPoints.size() < 2 || bottomPoints.size() < 2)
        return -1;
    // The perspective works on ideal picture points (the clicks themselves
    // for a pinhole camera).
    const auto ideal = getIdealCorners();
    if (!ideal)
        return -1;
    sourceQuad = { cv::Point2f((*ideal)[2]), cv::Point2f((*ideal)[3]), cv::Point2f((*ideal)[0]),
        cv::Point2f((*ideal)[1]) };
    perspectiveValid = false;
    pictureFromField = cv::Matx33f::zeros();
    fieldFromPicture = cv::Matx33f::zeros();
    if (!cornersDefinePerspective())
        return -1;
    try {
        fieldFromPicture = static_cast<cv::Matx33f>(solvePerspective());
        cv::Mat inverse;
        if (cv::invert(cv::Mat(fieldFromPicture), inverse, cv::DECOMP_LU) == 0.0)
            return -1;
        pictureFromField = inverse;
    } catch (const cv::Exception&) {
        return -1;
    }
    // Scale the inverse so that W > 0 at the corners: points with W <= 0
    // then lie on or beyond the horizon. The mapped points do not change.
    if (pictureFromField(2, 2) < 0.0f)
        pictureFromField = pictureFromField * -1.0f;
    if (!perspectiveIsUsable()) {
        pictureFromField = cv::Matx33f::zeros();
        fieldFromPicture = cv::Matx33f::zeros();
        return -1;
    }
    perspectiveValid = true;
    return 0;
}

cv::Point2f CField::PictureToField(cv::Point2f picture) const
{
    return divideHomogeneous(applyHomography(fieldFromPicture, picture));
}

cv::Point2f CField::FieldToPicture(cv::Point2f field) const
{
    return divideHomogeneous(applyHomography(pictureFromField, field));
}

CField::PicturePoint CField::projectVisible(cv::Point2f field) const
{
    const cv::Vec3f h = applyHomography(pictureFromField, field);
    if (!(h[2] > 0.0f))
        return std::nullopt;
    const cv::Point2f picture(h[0] / h[2], h[1] / h[2]);
    if (!isFinite(picture))
        return std::nullopt;
    if (!curved())
        return picture;
    const std::optional<cv::Point2d> recorded = lens.distort(cv::Point2d(picture));
    if (!recorded || !isFinite(cv::Point2f(*recorded)))
        return std::nullopt;
    return cv::Point2f(*recorded);
}

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

int CField::UpdateCentreGeometry(int x, int y)
{
    if (!cornersComplete || !perspectiveValid)
        return -1;
    cv::Point2f click(static_cast<float>(x), static_cast<float>(y));
    if (curved())
        click = cv::Point2f(lens.undistort(cv::Point2d(click)));
    const cv::Point2f centre = PictureToField(click);
    halfwayField.reset();
    if (isFinite(centre))
        halfwayField = std::array<cv::Point2f, 2> { cv::Point2f(targetQuad[0].x, centre.y),
            cv::Point2f(targetQuad[1].x, centre.y) };
    if (isFinite(centre)) {
        halfwayStart = projectVisible(cv::Point2f(targetQuad[0].x, centre.y));
        halfwayEnd = projectVisible(cv::Point2f(targetQuad[1].x, centre.y));
    } else {
        halfwayStart = halfwayEnd = std::nullopt;
    }
    computeCircle(centre);
    computeGrid();
    return 0;
}

void CField::computeCircle(cv::Point2f centre)
{
    const bool computable = isFinite(centre) && isUsableDimension(length)
        && isUsableDimension(width) && std::isfinite(radius) && radius >= 0.0f;
    circleComputable = computable;
    circleCentreField = centre;
    for (int i = 0; i < circleSamples; ++i) {
        if (!computable) {
            circleField[i] = cv::Point2f();
            circlePicture[i] = std::nullopt;
            continue;
        }
        const double theta = i * (kFullTurnRad / circleSamples);
        const float cosTheta = static_cast<float>(std::cos(theta));
        const float sinTheta = static_cast<float>(std::sin(theta));
        // One real unit is aspect / width along x and 1 / length along y.
        circleField[i] = cv::Point2f(centre.x + cosTheta * (radius / width) * aspect,
            centre.y + sinTheta * (radius / length));
        circlePicture[i] = projectVisible(circleField[i]);
    }
}

void CField::computeGrid()
{
    const float a = aspect;
    const float third = static_cast<float>(a * kOneThird);
    const float twoThirds = static_cast<float>(a * kTwoThirds);
    gridField = { { 0.0f, 0.25f }, { a, 0.25f }, { 0.0f, 0.5f }, { a, 0.5f }, { 0.0f, 0.75f },
        { a, 0.75f }, { third, 0.0f }, { third, 1.0f }, { twoThirds, 0.0f }, { twoThirds, 1.0f } };
    for (int k = 0; k < gridEndpoints; ++k)
        gridPicture[k] = projectVisible(gridField[k]);
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
