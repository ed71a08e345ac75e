#pragma once

#include "screens/PictureLayer.h"

#include <QColor>
#include <QPointF>
#include <QPolygonF>

#include <optional>
#include <vector>

class PitchMeasurer;
class TrackStore;

// Each player's foot point on the picture, with its id, its team's colour
// and a short trail. Pitch metres go to the picture through the engine's
// measuring functions, so a lens set on the engine bends the marks with it.
// The picture points are worked out once per frame shown (or calibration).
class PlayerMarks : public PictureLayer
{
    Q_OBJECT

public:
    PlayerMarks(TrackStore* store, const PitchMeasurer* measurer, QObject* parent = nullptr);

    struct Mark
    {
        int id = 0;
        QColor colour;
        QPointF foot; // video pixels
        QPolygonF trail; // video pixels, oldest first
        bool selected = false;
    };
    // The marks of the frame shown.
    const std::vector<Mark>& marks() const;

    void paint(QPainter& painter, const QTransform& videoToWidget) const override;
    // Marks the players of another store (the live players while no tracks
    // are kept); the marks follow it from then on.
    void showStore(TrackStore* shown);

public slots:
    // The calibration changed: the marks move with it.
    void recompute();

private:
    void refresh() const;
    void follow(TrackStore* followed);

    TrackStore* store = nullptr;
    const PitchMeasurer* measurer = nullptr;
    mutable std::vector<Mark> cached;
    mutable bool stale = true;
};
