#include "calibration/LandmarkMarks.h"

#include "calibration/FieldControls.h"
#include "calibration/LandmarkPanel.h"

#include <QPainter>

#include <cmath>

namespace {

const QColor kPlacedColour(0, 230, 255);
const QColor kChosenColour(255, 230, 0);
const QColor kShadowColour(0, 0, 0, 170);
// A release this close to the press, in video pixels, is a click.
constexpr double kClickSlackPx = 0.5;

} // namespace

LandmarkMarks::LandmarkMarks(LandmarkPanel* panel, FieldControls* field, QObject* parent)
    : PictureLayer(parent)
    , panel(panel)
    , field(field)
{
    setObjectName(QStringLiteral("landmarkMarks"));
    connect(field, &FieldControls::signalOverlayChanged, this, &PictureLayer::changed);
    connect(panel, &LandmarkPanel::chosenChanged, this, &PictureLayer::changed);
}

QString LandmarkMarks::shortName(const QString& name) const
{
    const PitchLandmarks pitch = panel->pitch();
    const PitchLandmarks::Landmark* landmark = pitch.find(name);
    return landmark ? landmark->shortName : name;
}

void LandmarkMarks::paint(QPainter& painter, const QTransform& videoToWidget) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const auto mark = [&](const QString& name, const QPointF& video) {
        const QPointF at = videoToWidget.map(video);
        const bool chosen = name == panel->chosen();
        const QPointF label = at + QPointF(kMarkerRadiusPx + 2, -kMarkerRadiusPx - 2);
        for (const bool shadow : { true, false }) {
            const QPointF offset = shadow ? QPointF(1, 1) : QPointF();
            painter.setPen(QPen(shadow ? kShadowColour : chosen ? kChosenColour : kPlacedColour,
                chosen ? 2.0 : 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at + offset, kMarkerRadiusPx, kMarkerRadiusPx);
            painter.drawPoint(at + offset);
            painter.drawText(label + offset, shortName(name));
        }
    };
    for (const CalibrationData::Landmark& landmark : field->landmarks())
        if (landmark.name != draggedName)
            mark(landmark.name, landmark.picture);
    if (!draggedName.isEmpty())
        mark(draggedName, dragAt);
    painter.restore();
}

QString LandmarkMarks::placedNear(const QPointF& video, double radius) const
{
    QString nearest;
    double best = radius;
    for (const CalibrationData::Landmark& landmark : field->landmarks()) {
        const double distance = QLineF(landmark.picture, video).length();
        if (distance <= best) {
            best = distance;
            nearest = landmark.name;
        }
    }
    return nearest;
}

bool LandmarkMarks::press(const QPointF& video, double pickRadiusPx)
{
    if (!panel->isActive())
        return false;
    const QString onMarker = placedNear(video, pickRadiusPx);
    pressedOnMarker.reset();
    if (!onMarker.isEmpty()) {
        panel->choose(onMarker);
        pressedOnMarker = video;
    }
    draggedName = panel->chosen();
    dragAt = video;
    emit changed();
    return true;
}

void LandmarkMarks::drag(const QPointF& video)
{
    if (draggedName.isEmpty())
        return;
    dragAt = video;
    emit changed();
}

void LandmarkMarks::release(const QPointF& video, bool exact)
{
    draggedName.clear();
    const bool click = pressedOnMarker && QLineF(*pressedOnMarker, video).length() < kClickSlackPx;
    pressedOnMarker.reset();
    emit changed();
    // A click on a marker only picks its landmark.
    if (click)
        return;
    panel->takePoint(int(std::lround(video.x())), int(std::lround(video.y())), exact);
}
