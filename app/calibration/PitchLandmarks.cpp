#include "calibration/PitchLandmarks.h"

#include <QCoreApplication>
#include <QLineF>

namespace {

// The markings of the laws of the game, in metres.
constexpr double kPenaltyAreaDepth = 16.5;
constexpr double kPenaltyAreaHalfWidth = 40.32 / 2;
constexpr double kGoalAreaDepth = 5.5;
constexpr double kGoalAreaHalfWidth = 18.32 / 2;
constexpr double kPenaltySpotDistance = 11.0;

QString tr(const char* text) { return QCoreApplication::translate("PitchLandmarks", text); }

} // namespace

PitchLandmarks::PitchLandmarks(double width, double length, double circleRadius, View view)
    : pitchWidth(width)
    , pitchLength(length)
    , radius(circleRadius)
    , goalLinesAlongX(view == View::Whole && width < length)
{
    const double w = width;
    const double l = length;
    const QPointF outline[] = { { 0, 0 }, { w, 0 }, { w, l }, { 0, l }, { 0, 0 } };
    for (int i = 0; i < 4; ++i)
        paint.push_back({ outline[i], outline[i + 1] });
    if (view == View::Whole) {
        add(tr("top left corner"), QStringLiteral("TL"), { 0, l });
        add(tr("top right corner"), QStringLiteral("TR"), { w, l });
        add(tr("bottom left corner"), QStringLiteral("BL"), { 0, 0 });
        add(tr("bottom right corner"), QStringLiteral("BR"), { w, 0 });
        // The halfway line parallels the goal lines.
        addHalfway(goalLinesAlongX ? QPointF(0, l / 2) : QPointF(w / 2, 0),
            goalLinesAlongX ? QPointF(w, l / 2) : QPointF(w / 2, l), false);
        addGoalEnd(false);
        addGoalEnd(true);
        return;
    }
    // One half: its goal line on one side, the halfway line on the other.
    const bool left = view == View::LeftHalf;
    const double goalX = left ? 0 : w;
    add(left ? tr("top left corner") : tr("top right corner"),
        left ? QStringLiteral("TL") : QStringLiteral("TR"), { goalX, l });
    add(left ? tr("bottom left corner") : tr("bottom right corner"),
        left ? QStringLiteral("BL") : QStringLiteral("BR"), { goalX, 0 });
    addHalfway({ w - goalX, 0 }, { w - goalX, l }, true);
    addGoalEnd(!left);
}

// The halfway line's ends, the centre spot in its middle and the centre
// circle's crossings with it.
void PitchLandmarks::addHalfway(const QPointF& first, const QPointF& second, bool onOutline)
{
    if (!onOutline)
        paint.push_back({ first, second });
    add(tr("halfway line, first end"), QStringLiteral("H1"), first);
    add(tr("halfway line, second end"), QStringLiteral("H2"), second);
    const QPointF centre = (first + second) / 2;
    add(tr("centre spot"), QStringLiteral("CS"), centre);
    const QLineF halfway(first, second);
    if (radius > 0.0 && radius < halfway.length() / 2) {
        const QPointF step = (second - first) * (radius / halfway.length());
        add(tr("centre circle, first crossing"), QStringLiteral("CC1"), centre - step);
        add(tr("centre circle, second crossing"), QStringLiteral("CC2"), centre + step);
    }
}

const PitchLandmarks::Landmark* PitchLandmarks::find(const QString& name) const
{
    for (const Landmark& landmark : landmarks) {
        if (landmark.name == name)
            return &landmark;
    }
    return nullptr;
}

// Penalty and goal areas, as far as the pitch is large enough for them.
void PitchLandmarks::addGoalEnd(bool far)
{
    const double goalLine = goalLinesAlongX ? pitchWidth : pitchLength;
    const double depth = goalLinesAlongX ? pitchLength : pitchWidth;
    const QString end = far ? tr("far") : tr("near");
    const QString endLetter = far ? QStringLiteral("F") : QStringLiteral("N");
    if (2 * kPenaltyAreaHalfWidth < goalLine && 2 * kPenaltyAreaDepth < depth) {
        for (const double side : { -1.0, 1.0 }) {
            const QString which = side < 0 ? tr("first") : tr("second");
            const QString number = side < 0 ? QStringLiteral("1") : QStringLiteral("2");
            const auto shortName = [&](const char* area, const char* where) {
                return endLetter + QLatin1String(area) + number + QLatin1String(where);
            };
            const double penalty = goalLine / 2 + side * kPenaltyAreaHalfWidth;
            const double goal = goalLine / 2 + side * kGoalAreaHalfWidth;
            add(tr("%1 penalty area, %2 corner on the goal line").arg(end, which),
                shortName("PA", "g"), fromGoalLine(far, penalty, 0));
            add(tr("%1 penalty area, %2 corner in the field").arg(end, which),
                shortName("PA", "f"), fromGoalLine(far, penalty, kPenaltyAreaDepth));
            add(tr("%1 goal area, %2 corner on the goal line").arg(end, which),
                shortName("GA", "g"), fromGoalLine(far, goal, 0));
            add(tr("%1 goal area, %2 corner in the field").arg(end, which),
                shortName("GA", "f"), fromGoalLine(far, goal, kGoalAreaDepth));
            paint.push_back({ fromGoalLine(far, penalty, 0), fromGoalLine(far, penalty, kPenaltyAreaDepth) });
            paint.push_back({ fromGoalLine(far, goal, 0), fromGoalLine(far, goal, kGoalAreaDepth) });
        }
        const double penaltyFrom = goalLine / 2 - kPenaltyAreaHalfWidth;
        const double goalFrom = goalLine / 2 - kGoalAreaHalfWidth;
        paint.push_back({ fromGoalLine(far, penaltyFrom, kPenaltyAreaDepth),
            fromGoalLine(far, goalLine - penaltyFrom, kPenaltyAreaDepth) });
        paint.push_back({ fromGoalLine(far, goalFrom, kGoalAreaDepth),
            fromGoalLine(far, goalLine - goalFrom, kGoalAreaDepth) });
        add(tr("%1 penalty spot").arg(end), endLetter + QStringLiteral("PS"),
            fromGoalLine(far, goalLine / 2, kPenaltySpotDistance));
    }
}

QPointF PitchLandmarks::fromGoalLine(bool far, double along, double depth) const
{
    if (goalLinesAlongX)
        return { along, far ? pitchLength - depth : depth };
    return { far ? pitchWidth - depth : depth, along };
}

void PitchLandmarks::add(const QString& name, const QString& shortName, const QPointF& pitch)
{
    landmarks.push_back({ name, pitch, shortName });
}
