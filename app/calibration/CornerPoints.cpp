#include "calibration/CornerPoints.h"

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
}

void CornerPoints::setStored(const CalibrationData& data)
{
    clear();
    while (count < kCount && data.corners[std::size_t(count)]) {
        cornerPoints[std::size_t(count)] = *data.corners[std::size_t(count)];
        ++count;
    }
    clickedPoints = cornerPoints;
    if (complete()) {
        centrePoints.push_back(cornerPoints.back());
        if (data.centre && *data.centre != cornerPoints.back())
            centrePoints.push_back(*data.centre);
    }
}

void CornerPoints::addToEngine(VistrelInterface* engine, int cornerIndex, const QPoint& corner)
{
    engine->addFieldPoint(cornerIndex < 2 ? kTopEdge : kBottomEdge, corner.x(), corner.y());
}

void CornerPoints::replay(VistrelInterface* engine) const
{
    engine->clearFieldPoints();
    for (int i = 0; i < count; ++i)
        addToEngine(engine, i, cornerPoints[std::size_t(i)]);
    if (const std::optional<QPoint> centre = gameCentre())
        engine->setGameCentre(centre->x(), centre->y());
}
