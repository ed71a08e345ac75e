#pragma once

#include "screens/PictureLayer.h"

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QTransform>

class QPainter;

// The layers a screen draws over its picture, bottom first, and which of
// them holds the mouse: a left press goes to the top layer that takes it,
// and the drag and release that follow go to that layer alone.
class LayerStack
{
public:
    // How far from a mark a press still takes it, in screen pixels.
    static constexpr double kPickRadiusScreenPx = 8.0;

    void add(PictureLayer* layer) { layers.append(layer); }
    void paint(QPainter& painter, const QTransform& videoToWidget) const;

    // video: the press in video pixels; screenScale: screen pixels per video
    // pixel. True when a layer took the press.
    bool press(const QPointF& video, double screenScale);
    bool holdsMouse() const { return !grabber.isNull(); }
    // Each goes to the layer holding the mouse, the point held to a picture
    // of pictureSize video pixels; false when no layer holds it.
    bool drag(const QPointF& video, const QSizeF& pictureSize);
    bool release(const QPointF& video, const QSizeF& pictureSize, bool exact);

private:
    QList<QPointer<PictureLayer>> layers;
    QPointer<PictureLayer> grabber;
};
