#pragma once

#include <QObject>
#include <QTransform>

class QPainter;

// Something drawn over the video picture on either screen, in video pixels
// mapped through the screen's own scale: the screens paint their layers
// under the measurements and repaint when a layer changes.
class PictureLayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void paint(QPainter& painter, const QTransform& videoToWidget) const = 0;

signals:
    void changed();
};
