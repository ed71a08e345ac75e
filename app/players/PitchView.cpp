#include "players/PitchView.h"

#include "players/HeatMap.h"
#include "players/TrackStore.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMarginPx = 12.0;
constexpr double kDotRadiusPx = 6.0;
// A click this far from a dot's centre still takes it.
constexpr double kPickRadiusPx = 10.0;
constexpr double kCentreCircleM = 9.15;
const QColor kGrass(46, 110, 58);
const QColor kLines(235, 240, 235);
const QColor kCameraArea(255, 255, 255, 40);

} // namespace

PitchView::PitchView(TrackStore* store, QWidget* parent)
    : QWidget(parent)
    , store(store)
{
    setObjectName(QStringLiteral("pitchView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    follow(store);
}

void PitchView::showStore(TrackStore* shown)
{
    if (shown == store)
        return;
    store->disconnect(this);
    store = shown;
    follow(store);
    updateHeatMap();
}

void PitchView::follow(TrackStore* followed)
{
    connect(followed, &TrackStore::frameChanged, this, qOverload<>(&QWidget::update));
    connect(followed, &TrackStore::tracksChanged, this, &PitchView::updateHeatMap);
    connect(followed, &TrackStore::selectionChanged, this, &PitchView::updateHeatMap);
}

void PitchView::setPitchSize(double length, double width)
{
    if (!(length > 0) || !(width > 0) || (length == pitchLength && width == pitchWidth))
        return;
    pitchLength = length;
    pitchWidth = width;
    updateHeatMap();
}

void PitchView::setCameraArea(const QPolygonF& area)
{
    cameraArea = area;
    update();
}

QSize PitchView::sizeHint() const { return { 420, 290 }; }

QSize PitchView::minimumSizeHint() const { return { 160, 110 }; }

QColor PitchView::teamColour(const QString& team)
{
    if (team == QLatin1String("A"))
        return { 230, 60, 50 };
    if (team == QLatin1String("B"))
        return { 60, 120, 240 };
    return { 250, 210, 40 };
}

// The pitch scaled into the widget keeping its proportions, centred; pitch
// y grows upwards, the widget's downwards.
QTransform PitchView::pitchToWidget() const
{
    const double scale = std::max(1e-6,
        std::min((width() - 2 * kMarginPx) / pitchWidth, (height() - 2 * kMarginPx) / pitchLength));
    const double left = (width() - scale * pitchWidth) / 2;
    const double top = (height() - scale * pitchLength) / 2;
    return QTransform(scale, 0, 0, -scale, left, top + scale * pitchLength);
}

QPointF PitchView::toWidget(const QPointF& pitch) const { return pitchToWidget().map(pitch); }

QPointF PitchView::toPitch(const QPointF& widget) const
{
    return pitchToWidget().inverted().map(widget);
}

int PitchView::playerAt(const QPointF& widget) const
{
    int found = 0;
    double nearest = kPickRadiusPx;
    for (const PlayerTrack& track : store->tracks().tracks) {
        const TrackSample* sample = track.at(store->frame());
        if (!sample)
            continue;
        const double distance = std::hypot(toWidget(sample->pitch).x() - widget.x(),
            toWidget(sample->pitch).y() - widget.y());
        if (distance <= nearest) {
            nearest = distance;
            found = track.id;
        }
    }
    return found;
}

void PitchView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        store->select(playerAt(event->position()));
    QWidget::mousePressEvent(event);
}

void PitchView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().window());
    paintPitch(painter);
    if (!heatMap.isNull()) {
        const QRectF area = pitchToWidget().mapRect(QRectF(0, 0, pitchWidth, pitchLength));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, heatMap);
    }
    paintPlayers(painter);
}

void PitchView::paintPitch(QPainter& painter) const
{
    const QTransform map = pitchToWidget();
    const QRectF pitch = map.mapRect(QRectF(0, 0, pitchWidth, pitchLength));
    painter.fillRect(pitch.adjusted(-kMarginPx / 2, -kMarginPx / 2, kMarginPx / 2, kMarginPx / 2),
        kGrass);
    if (cameraArea.size() >= 3) {
        QPainterPath seen;
        seen.addPolygon(map.map(cameraArea));
        QPainterPath field;
        field.addRect(pitch.adjusted(-kMarginPx / 2, -kMarginPx / 2, kMarginPx / 2, kMarginPx / 2));
        painter.fillPath(seen.intersected(field), kCameraArea);
    }
    painter.setPen(QPen(kLines, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(pitch);
    // The line across the middle parallels the bottom and top edges.
    const QPointF centre = map.map(QPointF(pitchWidth / 2, pitchLength / 2));
    painter.drawLine(map.map(QPointF(0, pitchLength / 2)), map.map(QPointF(pitchWidth, pitchLength / 2)));
    const double radius = kCentreCircleM * map.m11();
    painter.drawEllipse(centre, radius, radius);
}

void PitchView::paintPlayers(QPainter& painter) const
{
    const qint64 frame = store->frame();
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    for (const PlayerTrack& track : store->tracks().tracks) {
        const TrackSample* sample = track.at(frame);
        if (!sample)
            continue;
        const QColor colour = teamColour(track.team);
        QPolygonF trail;
        for (const QPointF& point : store->trail(track))
            trail << toWidget(point);
        painter.setPen(QPen(colour.lighter(130), 1.2));
        painter.drawPolyline(trail);
        const QPointF dot = toWidget(sample->pitch);
        const bool selected = track.id == store->selectedId();
        painter.setPen(QPen(selected ? Qt::white : Qt::black, selected ? 2.5 : 1.0));
        painter.setBrush(colour);
        painter.drawEllipse(dot, kDotRadiusPx, kDotRadiusPx);
        painter.setPen(Qt::white);
        painter.drawText(dot + QPointF(kDotRadiusPx + 1, -kDotRadiusPx), QString::number(track.id));
    }
}

void PitchView::updateHeatMap()
{
    const int index = store->tracks().indexOf(store->selectedId());
    heatMap = index < 0
        ? QImage()
        : HeatMap::of(store->tracks().tracks[std::size_t(index)], pitchLength, pitchWidth);
    update();
}
