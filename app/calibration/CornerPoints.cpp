#include "calibration/CornerPoints.h"

#include "engine/EngineFunctions.h"

#include "VistrelInterface.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr int kTopEdge = 0;
constexpr int kBottomEdge = 1;

} // namespace

CornerPoints::CornerPoints() { clear(); }

void CornerPoints::clear()
{
    cornerPoints.assign(kCount, QPoint(0, 0));
    clickedPoints = cornerPoints;
    centrePoints.clear();
    count = 0;
    foundByEngine = false;
    knownPoints.clear();
}

std::optional<QPoint> CornerPoints::gameCentre() const
{
    if (!complete() || centrePoints.empty())
        return std::nullopt;
    return centrePoints.back();
}

std::vector<QLineF> CornerPoints::snapMoves() const
{
    std::vector<QLineF> moves;
    for (std::size_t i = 0; i < std::size_t(count); ++i) {
        if (foundByEngine || clickedPoints[i] != cornerPoints[i])
            moves.emplace_back(clickedPoints[i], cornerPoints[i]);
    }
    return moves;
}

QString CornerPoints::edgeText(bool top) const
{
    const int first = top ? 0 : 2;
    const int shown = top ? std::min(count, 2) : std::max(count - 2, 0);
    QStringList items;
    for (int i = first; i < first + shown; ++i) {
        const QPoint& p = cornerPoints[std::size_t(i)];
        items << QStringLiteral("(%1 , %2)").arg(p.x()).arg(p.y());
    }
    return items.join(QStringLiteral(" , "));
}

void CornerPoints::addCorner(const QPoint& corner, const QPoint& click)
{
    if (complete())
        return;
    cornerPoints[std::size_t(count)] = corner;
    clickedPoints[std::size_t(count)] = click;
    ++count;
    if (complete())
        centrePoints.push_back(corner);
}

void CornerPoints::addCentre(const QPoint& centre) { centrePoints.push_back(centre); }

bool CornerPoints::moveCorner(int index, const QPoint& to)
{
    // Only corners already given can move; moving one never clicked would
    // calibrate the engine on a (0, 0) placeholder.
    if (index < 0 || index >= count)
        return false;
    cornerPoints[std::size_t(index)] = to;
    clickedPoints[std::size_t(index)] = to;
    knownPoints.clear();
    // The moved corner becomes the centre in place of the last one, so that
    // a drag is undone as one step.
    if (complete()) {
        if (centrePoints.empty())
            centrePoints.push_back(to);
        else
            centrePoints.back() = to;
    }
    return true;
}

bool CornerPoints::dropCentre(std::size_t keep)
{
    if (centrePoints.size() <= keep)
        return false;
    centrePoints.pop_back();
    return true;
}

bool CornerPoints::dropCorner()
{
    if (count == 0)
        return false;
    // The fourth corner's own centre goes with it.
    centrePoints.clear();
    knownPoints.clear();
    --count;
    cornerPoints[std::size_t(count)] = QPoint(0, 0);
    clickedPoints[std::size_t(count)] = QPoint(0, 0);
    return true;
}

// The pitch's centre in the picture: its diagonals cross there in any
// perspective. The fourth corner where they do not cross (no pitch).
QPoint CornerPoints::pitchCentre(const std::array<QPoint, kCount>& corners)
{
    QPointF centre;
    const QLineF topLeftToBottomRight(corners[0], corners[3]);
    const QLineF topRightToBottomLeft(corners[1], corners[2]);
    if (topLeftToBottomRight.intersects(topRightToBottomLeft, &centre)
        != QLineF::BoundedIntersection)
        return corners.back();
    return centre.toPoint();
}

void CornerPoints::setFound(const std::array<QPoint, kCount>& found)
{
    cornerPoints.assign(found.begin(), found.end());
    clickedPoints = cornerPoints;
    centrePoints = { pitchCentre(found) };
    count = kCount;
    foundByEngine = true;
    knownPoints.clear();
}

void CornerPoints::setStored(const CalibrationData& data)
{
    clear();
    cameraLens = data.lens;
    while (count < kCount && data.corners[std::size_t(count)]) {
        cornerPoints[std::size_t(count)] = data.corners[std::size_t(count)]->toPoint();
        ++count;
    }
    knownPoints = data.landmarks;
    clickedPoints = cornerPoints;
    if (complete()) {
        centrePoints.push_back(cornerPoints.back());
        if (data.centre && *data.centre != cornerPoints.back())
            centrePoints.push_back(*data.centre);
    }
}

void CornerPoints::setLandmarks(const std::vector<CalibrationData::Landmark>& landmarks,
    const std::optional<std::array<QPoint, kCount + 1>>& cornersAndCentre)
{
    const bool impliedBefore = knownPoints.size() >= std::size_t(kCount) && complete();
    if (cornersAndCentre) {
        cornerPoints.assign(cornersAndCentre->begin(), cornersAndCentre->begin() + kCount);
        clickedPoints = cornerPoints;
        centrePoints = { cornersAndCentre->back() };
        count = kCount;
        foundByEngine = false;
    } else if (impliedBefore) {
        clear();
    }
    knownPoints = landmarks;
}

void CornerPoints::addToEngine(VistrelInterface* engine, int cornerIndex, const QPoint& corner)
{
    engine->addFieldPoint(cornerIndex < 2 ? kTopEdge : kBottomEdge, corner.x(), corner.y());
}

void CornerPoints::replay(VistrelInterface* engine) const
{
    engine->clearFieldPoints();
    replayLens(engine);
    if (knownPoints.size() < std::size_t(kCount) || !calibrateFrom(engine, knownPoints)) {
        for (int i = 0; i < count; ++i)
            addToEngine(engine, i, cornerPoints[std::size_t(i)]);
    }
    if (const std::optional<QPoint> centre = gameCentre())
        engine->setGameCentre(centre->x(), centre->y());
}

// The centre of a pinhole camera means nothing: one pinhole camera stands for
// another, and one whose centre the engine refuses takes the engine's. An
// engine without the lens functions, or one that refuses this lens (a
// picture of another size), goes on with the lens it has.
void CornerPoints::replayLens(VistrelInterface* engine) const
{
    const EngineFunctions functions = EngineFunctions::of(engine);
    CameraLens current;
    if (functions.lens(&current) != 0 || cameraLens == current
        || (cameraLens.isPinhole() && current.isPinhole()))
        return;
    if (functions.setLens(cameraLens) != 0 && cameraLens.isPinhole())
        functions.setLens({ 0.0, 0.0, current.cx, current.cy });
}

bool CornerPoints::calibrateFrom(
    VistrelInterface* engine, const std::vector<CalibrationData::Landmark>& landmarks)
{
    std::vector<double> picture;
    std::vector<double> pitch;
    for (const auto& landmark : landmarks) {
        picture.insert(picture.end(), { landmark.picture.x(), landmark.picture.y() });
        pitch.insert(pitch.end(), { landmark.pitch.x(), landmark.pitch.y() });
    }
    return EngineFunctions::of(engine).calibrateFromPoints(
               int(landmarks.size()), picture.data(), pitch.data(), nullptr)
        == 0;
}
