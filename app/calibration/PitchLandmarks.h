#pragma once

#include <QPointF>
#include <QString>

#include <utility>
#include <vector>

// The named painted landmarks of a pitch of the typed dimensions, in pitch
// metres with the origin at the bottom-left corner (x along the bottom edge
// up to the width, y towards the top edge up to the length). On a whole
// pitch the goal lines are the two shorter edges. Markings that do not fit a
// small pitch (a penalty area wider than the goal line) are left out.
class PitchLandmarks
{
public:
    struct Landmark
    {
        QString name;
        QPointF pitch;
        // A few letters for a marker on the picture: "TL", "CS", "NPA1g".
        QString shortName;
    };

    // What the typed dimensions describe: the whole pitch, or one half of
    // it seen by a camera that shows only that half (its goal line on the
    // left or right edge, the halfway line on the other).
    enum class View { Whole, LeftHalf, RightHalf };

    PitchLandmarks(double width, double length, double circleRadius, View view = View::Whole);

    const std::vector<Landmark>& all() const { return landmarks; }
    // The landmark of that name; null when there is none.
    const Landmark* find(const QString& name) const;
    // The painted lines between landmarks (for a top view of the pitch):
    // pairs of pitch points.
    const std::vector<std::pair<QPointF, QPointF>>& lines() const { return paint; }
    double width() const { return pitchWidth; }
    double length() const { return pitchLength; }

private:
    void addGoalEnd(bool far);
    void addHalfway(const QPointF& first, const QPointF& second, bool onOutline);
    // A point `along` the goal line and `depth` into the pitch from it.
    QPointF fromGoalLine(bool far, double along, double depth) const;
    void add(const QString& name, const QString& shortName, const QPointF& pitch);

    double pitchWidth;
    double pitchLength;
    double radius;
    bool goalLinesAlongX; // the bottom and top edges are the goal lines
    std::vector<Landmark> landmarks;
    std::vector<std::pair<QPointF, QPointF>> paint;
};
