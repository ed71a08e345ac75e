#include "MeasurementPainter.h"

#include "MeasurementModel.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kEndMarkRadiusPx = 3;
constexpr int kLabelPaddingPx = 3;
constexpr int kLabelOffsetPx = 8;
const QColor kLineColour(255, 220, 0);
const QColor kSelectedColour(0, 220, 255);
const QColor kLabelBackground(0, 0, 0, 170);

} // namespace

void MeasurementPainter::paint(QPainter& painter, const QTransform& videoToWidget,
    const std::vector<Measurement>& measurements, int selectedRow,
    const std::optional<QLineF>& pending)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (std::size_t row = 0; row < measurements.size(); ++row) {
        const Measurement& m = measurements[row];
        paintOne(painter, videoToWidget.map(QLineF(m.from, m.to)), MeasurementModel::label(m),
            int(row) == selectedRow);
    }
    if (pending) {
        painter.setPen(QPen(kLineColour, 1, Qt::DashLine));
        painter.drawLine(videoToWidget.map(*pending));
    }
    painter.restore();
}

void MeasurementPainter::paintOne(
    QPainter& painter, const QLineF& line, const QString& label, bool selected)
{
    const QColor colour = selected ? kSelectedColour : kLineColour;
    painter.setPen(QPen(colour, selected ? 3 : 2));
    painter.drawLine(line);
    painter.setBrush(colour);
    painter.drawEllipse(line.p1(), kEndMarkRadiusPx, kEndMarkRadiusPx);
    painter.drawEllipse(line.p2(), kEndMarkRadiusPx, kEndMarkRadiusPx);
    if (label.isEmpty())
        return;
    const QFontMetrics metrics(painter.font());
    QRectF box = metrics.boundingRect(label).adjusted(
        -kLabelPaddingPx, -kLabelPaddingPx, kLabelPaddingPx, kLabelPaddingPx);
    box.moveCenter(line.center() + QPointF(0, -kLabelOffsetPx - box.height() / 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLabelBackground);
    painter.drawRect(box);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, label);
}
