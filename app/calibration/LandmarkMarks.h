#pragma once

#include "screens/PictureLayer.h"

#include <QPointF>
#include <QString>

#include <optional>

class FieldControls;
class LandmarkPanel;

// The landmarks placed for a calibration, marked on the picture with their
// short names (the chosen one stands out). While "Place landmarks" is on the
// layer takes the mouse on the picture: a press on a marker picks that
// landmark and a drag moves it; a press elsewhere places the chosen one. The
// landmark goes where the mouse is released, snapped as when clicked, as one
// undo step; until then only its marker follows the mouse.
class LandmarkMarks : public PictureLayer
{
    Q_OBJECT

public:
    static constexpr double kMarkerRadiusPx = 6.0; // screen pixels

    LandmarkMarks(LandmarkPanel* panel, FieldControls* field, QObject* parent = nullptr);

    void paint(QPainter& painter, const QTransform& videoToWidget) const override;
    bool press(const QPointF& video, double pickRadiusPx) override;
    void drag(const QPointF& video) override;
    void release(const QPointF& video, bool exact) override;

    // The landmark being dragged, empty when none.
    QString dragged() const { return draggedName; }

private:
    QString shortName(const QString& name) const;
    // The placed landmark nearest to video within radius; empty when none.
    QString placedNear(const QPointF& video, double radius) const;

    LandmarkPanel* panel;
    FieldControls* field;
    QString draggedName;
    QPointF dragAt;
    // The press was on a placed marker (a release where it was changes nothing).
    std::optional<QPointF> pressedOnMarker;
};
