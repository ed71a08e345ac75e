#pragma once

#include <QPointF>
#include <QString>

#include <utility>
#include <vector>

// The named painted landmarks of a pitch of the typed dimensions, in pitch
// metres with the origin at the bottom-left corner (x along the bottom edge
// up to the width, y towards the top edge up to the length). The goal lines
// are the two shorter edges. Markings that do not fit a small pitch (a
// penalty area wider than the goal line) are left out.
class PitchLandmarks
{
public:
    struct Landmark
    {
        QString name;
        QPointF pitch;
    };

    PitchLandmarks(double width, double length, double circleRadius);

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
    // A point `along` the goal line and `depth` into the pitch from it.
    QPointF fromGoalLine(bool far, double along, double depth) const;
    void add(const QString& name, const QPointF& pitch);

    double pitchWidth;
    double pitchLength;
    double radius;
    bool goalLinesAlongX; // the bottom and top edges are the goal lines
    std::vector<Landmark> landmarks;
    std::vector<std::pair<QPointF, QPointF>> paint;
};
