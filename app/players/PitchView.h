#pragma once

#include <QImage>
#include <QPolygonF>
#include <QWidget>

class TrackStore;

// The pitch from above, drawn to the calibrated dimensions as the camera
// sees it (the bottom edge at the bottom): the players of the shown frame as
// dots in their team's colour with their id and a short trail, the part of
// the pitch the camera sees, and the selected player's heat map. A click on
// a dot selects that player, a click beside every dot clears the selection.
class PitchView : public QWidget
{
    Q_OBJECT

public:
    explicit PitchView(TrackStore* store, QWidget* parent = nullptr);

    // Pitch dimensions in metres: length from the bottom edge to the top
    // edge, width along the bottom edge.
    void setPitchSize(double length, double width);
    // The outline of what the camera sees, in pitch metres (empty: unknown).
    void setCameraArea(const QPolygonF& area);

    // Widget pixels of a pitch position, and back.
    QPointF toWidget(const QPointF& pitch) const;
    QPointF toPitch(const QPointF& widget) const;
    // The id of the player whose dot is at `widget`, 0 when none.
    int playerAt(const QPointF& widget) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static QColor teamColour(const QString& team);
    // Shows the players of another store (the live players while no
    // tracks are kept); the view follows it from then on.
    void showStore(TrackStore* shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void paintPitch(QPainter& painter) const;
    void paintPlayers(QPainter& painter) const;
    void updateHeatMap();
    void follow(TrackStore* followed);
    QTransform pitchToWidget() const;

    TrackStore* store = nullptr;
    double pitchLength = 68.0;
    double pitchWidth = 105.0;
    QPolygonF cameraArea;
    // One cell a metre, the pitch's top-left corner first; null without a selection.
    QImage heatMap;
};
