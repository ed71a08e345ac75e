#include "pitch/CField.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace {

// One third and two thirds rounded to single precision, in double.
constexpr double kOneThird = 0.3333333432674408;
constexpr double kTwoThirds = 0.6666666865348816;

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
