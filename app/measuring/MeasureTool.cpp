#include "measuring/MeasureTool.h"

#include "screens/Magnifier.h"
#include "measuring/MeasurementModel.h"
#include "measuring/MeasurementPainter.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

MeasureTool::MeasureTool(MeasurementModel* model, std::function<bool()> calibrated, QObject* parent)
    : QObject(parent)
    , model(model)
    , calibrated(std::move(calibrated))
{
    connect(model, &MeasurementModel::measurementsChanged, this, &MeasureTool::changed);
}

void MeasureTool::setActive(bool on)
{
    active = on;
    start.reset();
    emit changed();
}

void MeasureTool::setSelectedRow(int row)
{
    selected = row;
    emit changed();
}

void MeasureTool::press(const QPointF& video)
{
    if (!active)
        return;
    if (!calibrated()) {
        start.reset();
        emit notCalibrated();
        return;
    }
    if (start)
        finish(video);
    else
        start = video;
    emit changed();
}

void MeasureTool::release(const QPointF& video, bool dragged)
{
    if (active && start && dragged)
        finish(video);
}

void MeasureTool::releaseOnPicture(const QPointF& video, const QSize& picture, qreal travelPx)
{
    if (picture.isEmpty())
        return;
    const QPointF onPicture(std::clamp(video.x(), 0.0, picture.width() - 1.0),
        std::clamp(video.y(), 0.0, picture.height() - 1.0));
    release(onPicture, travelPx >= QApplication::startDragDistance());
}

void MeasureTool::finish(const QPointF& to)
{
    const QPointF from = *start;
    start.reset();
    emit measured(from, to);
    emit changed();
}

void MeasureTool::hover(const QPointF& video)
{
    hoverPoint = video;
    emit cursorMoved(video);
    emit changed();
}

void MeasureTool::leave()
{
    hoverPoint.reset();
    emit cursorLeft();
    emit changed();
}

void MeasureTool::paint(QPainter& painter, const QTransform& videoToWidget, const QImage& frame,
    const QRect& bounds, bool loupe) const
{
    std::optional<QLineF> pending;
    if (active && start && hoverPoint)
        pending = QLineF(*start, *hoverPoint);
    MeasurementPainter::paint(painter, videoToWidget, model->measurements(), selected, pending);
    if (!loupe || !hoverPoint || frame.isNull())
        return;
    const QImage enlarged = Magnifier::render(frame, *hoverPoint);
    const QPoint at = videoToWidget.map(*hoverPoint).toPoint();
    painter.drawImage(Magnifier::placeNear(at, enlarged.width(), bounds), enlarged);
}
