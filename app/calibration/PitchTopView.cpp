#include "calibration/PitchTopView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace {

constexpr int kMarginPx = 10;
constexpr double kPickRadiusPx = 12.0;
constexpr double kDotRadiusPx = 3.5;
constexpr double kChosenRadiusPx = 7.0;
const QColor kGrass(40, 110, 50);
const QColor kPaint(235, 235, 235);
const QColor kOpen(170, 170, 170);
const QColor kPlaced(60, 220, 90);
const QColor kChosen(255, 220, 0);

} // namespace

PitchTopView::PitchTopView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(160, 110);
    setToolTip(tr("Pick a landmark here, then click it in the picture"));
}

void PitchTopView::setPitch(const PitchLandmarks& pitch)
{
    landmarks = pitch;
    update();
}

void PitchTopView::setPlaced(const QSet<QString>& names)
{
    placed = names;
    update();
}

void PitchTopView::setChosen(const QString& name)
{
    chosenName = name;
    update();
}

QSize PitchTopView::sizeHint() const { return { 280, 190 }; }

double PitchTopView::scale() const
{
    if (landmarks.width() <= 0.0 || landmarks.length() <= 0.0)
        return 0.0;
    return std::min((width() - 2.0 * kMarginPx) / landmarks.width(),
        (height() - 2.0 * kMarginPx) / landmarks.length());
}

// The top edge of the pitch at the top: pitch y grows upwards.
QPointF PitchTopView::toWidget(const QPointF& pitch) const
{
    const double s = scale();
    const double left = (width() - s * landmarks.width()) / 2.0;
    const double top = (height() - s * landmarks.length()) / 2.0;
    return { left + s * pitch.x(), top + s * (landmarks.length() - pitch.y()) };
}

void PitchTopView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), kGrass);
    if (scale() <= 0.0)
        return;
    painter.setPen(QPen(kPaint, 1.0));
    for (const auto& [from, to] : landmarks.lines())
        painter.drawLine(toWidget(from), toWidget(to));
    for (const PitchLandmarks::Landmark& landmark : landmarks.all()) {
        const QPointF at = toWidget(landmark.pitch);
        if (landmark.name == chosenName) {
            painter.setPen(QPen(kChosen, 2.0));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, kChosenRadiusPx, kChosenRadiusPx);
        }
        painter.setPen(Qt::black);
        painter.setBrush(placed.contains(landmark.name) ? kPlaced : kOpen);
        painter.drawEllipse(at, kDotRadiusPx, kDotRadiusPx);
    }
}

void PitchTopView::mousePressEvent(QMouseEvent* event)
{
    QString nearest;
    double best = kPickRadiusPx;
    for (const PitchLandmarks::Landmark& landmark : landmarks.all()) {
        const double d = QLineF(toWidget(landmark.pitch), event->position()).length();
        if (d <= best) {
            best = d;
            nearest = landmark.name;
        }
    }
    if (nearest.isEmpty())
        return;
    setChosen(nearest);
    emit picked(nearest);
}
