#include "playback/ProgressSlider.h"

#include <QMouseEvent>

ProgressSlider::ProgressSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
{ }

void ProgressSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        setValue(minimum() + valueAt(event->position().toPoint()));
        emit sliderReleased();
        event->accept();
    }
    QSlider::mousePressEvent(event);
}

// Offset from minimum() for a click, proportional to the widget's own extent
// (the bottom is the minimum of a vertical slider), truncated toward zero.
int ProgressSlider::valueAt(const QPoint& position) const
{
    const qint64 span = qint64(maximum()) - minimum();
    if (orientation() == Qt::Vertical) {
        const int extent = height();
        return extent > 0 ? int(span * (extent - position.y()) / extent) : 0;
    }
    const int extent = width();
    return extent > 0 ? int(span * position.x() / extent) : 0;
}
