#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QSize>
#include <QTransform>

#include <functional>
#include <optional>

class MeasurementModel;
class QPainter;

// What both video screens share about measuring: whether Measure mode is on,
// the end placed so far, the point under the mouse and the selected row. The
// screens hand it mouse positions in video pixels (sub-pixel) and let it draw
// the measurements and the loupe over the picture with their own mapping.
class MeasureTool : public QObject
{
    Q_OBJECT

public:
    // `calibrated` tells whether the pitch can be measured on right now.
    MeasureTool(
        MeasurementModel* model, std::function<bool()> calibrated, QObject* parent = nullptr);

    bool isActive() const { return active; }
    void setActive(bool on);
    int selectedRow() const { return selected; }
    void setSelectedRow(int row);
    std::optional<QPointF> cursor() const { return hoverPoint; }

    // Mouse input in video pixels. A press and a release apart (`dragged`)
    // make one measurement; otherwise two clicks do.
    void press(const QPointF& video);
    void release(const QPointF& video, bool dragged);
    // A release on a picture of the given size, `travelPx` widget pixels from
    // the press: a drag that leaves the picture ends on its edge.
    void releaseOnPicture(const QPointF& video, const QSize& picture, qreal travelPx);
    void hover(const QPointF& video);
    void leave();

    // The measurements, the one being placed and, with `loupe`, the
    // magnifier at the cursor; `bounds` are the widget's own pixels.
    void paint(QPainter& painter, const QTransform& videoToWidget, const QImage& frame,
        const QRect& bounds, bool loupe) const;

signals:
    void changed();
    void cursorMoved(const QPointF& video);
    void cursorLeft();
    void measured(const QPointF& from, const QPointF& to);
    // A point was given in Measure mode before the pitch was calibrated.
    void notCalibrated();

private:
    void finish(const QPointF& to);

    MeasurementModel* model = nullptr;
    std::function<bool()> calibrated;
    bool active = false;
    int selected = -1;
    std::optional<QPointF> start;
    std::optional<QPointF> hoverPoint;
};
