#pragma once

#include <QObject>
#include <QPointF>
#include <QTransform>

class QPainter;

// Something drawn over the video picture on either screen, in video pixels
// mapped through the screen's own scale: the screens paint their layers
// under the measurements and repaint when a layer changes. A layer may also
// take the mouse: the screens offer it each left press on the picture first.
class PictureLayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void paint(QPainter& painter, const QTransform& videoToWidget) const = 0;

    // A left press on the picture at a video point (sub-pixel, the centre of
    // the top-left pixel at (0, 0)); pickRadiusPx is a few screen pixels in
    // video pixels. A layer that takes it (true) gets the moves and the
    // release that follow, held to the picture, and the screen does nothing
    // else with them. exact: Alt was held, the point is not to be snapped.
    virtual bool press(const QPointF& /*video*/, double /*pickRadiusPx*/) { return false; }
    virtual void drag(const QPointF& /*video*/) { }
    virtual void release(const QPointF& /*video*/, bool /*exact*/) { }

signals:
    void changed();
};
