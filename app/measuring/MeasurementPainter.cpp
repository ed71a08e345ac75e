#include "measuring/MeasurementPainter.h"

#include "measuring/MeasurementModel.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace {

constexpr int kEndMarkRadiusPx = 3;
constexpr int kLabelPaddingPx = 3;
constexpr int kLabelOffsetPx = 8;
// A line whose normal rises less than this is labelled on its right.
constexpr double kUprightNormalY = 0.5;
const QColor kLineColour(255, 220, 0);
const QColor kSelectedColour(0, 220, 255);
const QColor kLabelBackground(0, 0, 0, 170);

// From the middle of the line to the middle of its label: beside the line,
// above it (right of it for a line closer to upright than 30 degrees), so that the label
// never hides the line it names.
QPointF labelOffset(const QLineF& line, const QSizeF& label)
{
    const QLineF normal = line.length() > 0.0 ? line.normalVector().unitVector() : QLineF();
    QPointF side(normal.dx(), normal.dy());
    if (side.isNull())
        side = QPointF(0.0, -1.0);
    const bool upright = std::abs(side.y()) < kUprightNormalY;
    if ((upright && side.x() < 0.0) || (!upright && side.y() > 0.0))
        side = -side;
    // How far the box reaches along the normal from its centre.
    const double reach
        = std::abs(side.x()) * label.width() / 2 + std::abs(side.y()) * label.height() / 2;
    return side * (kLabelOffsetPx + reach);
}

} // namespace

void MeasurementPainter::paint(QPainter& painter, const QTransform& videoToWidget,
    const std::vector<Measurement>& measurements, int selectedRow,
    const std::optional<QLineF>& pending)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Every label over every line, so that a line crossing another's label
    // cannot hide its figure.
    for (bool labels : { false, true }) {
        for (std::size_t row = 0; row < measurements.size(); ++row) {
            const Measurement& m = measurements[row];
            const QLineF line = videoToWidget.map(QLineF(m.from, m.to));
            const bool selected = int(row) == selectedRow;
            if (labels)
                paintLabel(painter, line, MeasurementModel::label(m), selected);
            else
                paintLine(painter, line, selected);
        }
    }
    if (pending) {
        painter.setPen(QPen(kLineColour, 1, Qt::DashLine));
        painter.drawLine(videoToWidget.map(*pending));
    }
    painter.restore();
}

void MeasurementPainter::paintLine(QPainter& painter, const QLineF& line, bool selected)
{
    const QColor colour = selected ? kSelectedColour : kLineColour;
    painter.setPen(QPen(colour, selected ? 3 : 2));
    painter.drawLine(line);
    painter.setBrush(colour);
    painter.drawEllipse(line.p1(), kEndMarkRadiusPx, kEndMarkRadiusPx);
    painter.drawEllipse(line.p2(), kEndMarkRadiusPx, kEndMarkRadiusPx);
}

void MeasurementPainter::paintLabel(
    QPainter& painter, const QLineF& line, const QString& label, bool selected)
{
    if (label.isEmpty())
        return;
    const QColor colour = selected ? kSelectedColour : kLineColour;
    const QFontMetrics metrics(painter.font());
    QRectF box = metrics.boundingRect(label).adjusted(
        -kLabelPaddingPx, -kLabelPaddingPx, kLabelPaddingPx, kLabelPaddingPx);
    box.moveCenter(line.center() + labelOffset(line, box.size()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLabelBackground);
    painter.drawRect(box);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, label);
}
