#include "players/PlayerMarks.h"

#include "engine/PitchMeasurer.h"
#include "players/PitchView.h"
#include "players/TrackStore.h"

#include <QPainter>

namespace {

constexpr double kFootRadiusPx = 8.0;
// Every this many frames of a trail is drawn; the trail is smooth anyway.
constexpr std::size_t kTrailStep = 3;

} // namespace

PlayerMarks::PlayerMarks(TrackStore* store, const PitchMeasurer* measurer, QObject* parent)
    : PictureLayer(parent)
    , store(store)
    , measurer(measurer)
{
    setObjectName(QStringLiteral("playerMarks"));
    follow(store);
}

void PlayerMarks::showStore(TrackStore* shown)
{
    if (shown == store)
        return;
    store->disconnect(this);
    store = shown;
    follow(store);
    recompute();
}

void PlayerMarks::follow(TrackStore* followed)
{
    connect(followed, &TrackStore::frameChanged, this, &PlayerMarks::recompute);
    connect(followed, &TrackStore::tracksChanged, this, &PlayerMarks::recompute);
    connect(followed, &TrackStore::selectionChanged, this, &PlayerMarks::recompute);
}

void PlayerMarks::recompute()
{
    stale = true;
    emit changed();
}

const std::vector<PlayerMarks::Mark>& PlayerMarks::marks() const
{
    if (stale)
        refresh();
    return cached;
}

void PlayerMarks::refresh() const
{
    stale = false;
    cached.clear();
    const qint64 frame = store->frame();
    for (const PlayerTrack& track : store->tracks().tracks) {
        const TrackSample* sample = track.at(frame);
        if (!sample)
            continue;
        const std::optional<QPointF> foot = measurer->toPicture(sample->pitch);
        if (!foot)
            continue;
        Mark mark { track.id, PitchView::teamColour(track.team), *foot, {},
            track.id == store->selectedId() };
        const std::vector<QPointF> trail = store->trail(track);
        for (std::size_t i = 0; i < trail.size(); i += kTrailStep)
            if (const auto point = measurer->toPicture(trail[i]))
                mark.trail << *point;
        mark.trail << *foot;
        cached.push_back(std::move(mark));
    }
}

void PlayerMarks::paint(QPainter& painter, const QTransform& videoToWidget) const
{
    const std::vector<Mark>& shown = marks();
    if (shown.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    for (const Mark& mark : shown) {
        painter.setPen(QPen(mark.colour, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(videoToWidget.map(mark.trail));
        // A ring round the foot point leaves the player visible inside it.
        const QPointF foot = videoToWidget.map(mark.foot);
        if (mark.selected) {
            painter.setPen(QPen(Qt::white, 4.0));
            painter.drawEllipse(foot, kFootRadiusPx, kFootRadiusPx * 0.6);
        }
        painter.setPen(QPen(mark.colour, 2.0));
        painter.drawEllipse(foot, kFootRadiusPx, kFootRadiusPx * 0.6);
        painter.setPen(mark.colour.lighter(150));
        painter.drawText(foot + QPointF(kFootRadiusPx + 2, kFootRadiusPx + 9), QString::number(mark.id));
    }
    painter.restore();
}
