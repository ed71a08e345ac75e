#include "players/TrackStore.h"

#include "players/TrackCorrection.h"
#include "players/TracksFile.h"

#include <QUndoStack>

#include <algorithm>
#include <cmath>

TrackStore::TrackStore(QObject* parent)
    : QObject(parent)
    , history(new QUndoStack(this))
{ }

void TrackStore::setTracks(const TrackSet& tracks, const QString& path)
{
    history->clear();
    set = tracks;
    csvPath = path;
    largestId = set.largestId();
    if (set.indexOf(selected) < 0)
        selected = 0;
    emit tracksChanged();
    emit selectionChanged(selected);
}

void TrackStore::clear() { setTracks(TrackSet(), QString()); }

void TrackStore::setFrame(qint64 frame)
{
    if (frame == shownFrame)
        return;
    shownFrame = frame;
    emit frameChanged(frame);
}

void TrackStore::select(int id)
{
    if (set.indexOf(id) < 0)
        id = 0;
    if (id == selected)
        return;
    selected = id;
    emit selectionChanged(id);
}

bool TrackStore::rename(int id, const QString& name)
{
    const int index = set.indexOf(id);
    if (index < 0 || set.tracks[std::size_t(index)].name == name)
        return index >= 0;
    set.tracks[std::size_t(index)].name = name;
    emit renamed(id);
    save();
    return true;
}

void TrackStore::save()
{
    QString error;
    if (!csvPath.isEmpty() && !TracksFile::save(set, csvPath, &error))
        emit failed(tr("The tracks could not be saved: %1").arg(error));
}

const PlayerTrack* TrackStore::find(int id) const
{
    const int index = set.indexOf(id);
    return index < 0 ? nullptr : &set.tracks[std::size_t(index)];
}

bool TrackStore::merge(int keepId, int otherId)
{
    const PlayerTrack* keep = find(keepId);
    const PlayerTrack* other = find(otherId);
    if (!keep || !other || keepId == otherId)
        return false;
    history->push(new TrackCorrection(this, tr("Merge %1 and %2").arg(keepId).arg(otherId),
        { *keep, *other }, { TrackCorrection::merged(*keep, *other) }));
    return true;
}

bool TrackStore::split(int id, qint64 atFrame)
{
    const PlayerTrack* track = find(id);
    if (!track || track->firstFrame() >= atFrame || track->lastFrame() < atFrame)
        return false;
    PlayerTrack early = *track;
    PlayerTrack late = *track;
    late.id = largestId + 1;
    late.name.clear();
    const auto cut = std::lower_bound(track->samples.begin(), track->samples.end(), atFrame,
        [](const TrackSample& s, qint64 f) { return s.frame < f; });
    early.samples.assign(track->samples.begin(), cut);
    late.samples.assign(cut, track->samples.end());
    history->push(new TrackCorrection(this, tr("Split %1 at frame %2").arg(id).arg(atFrame),
        { *track }, { early, late }));
    return true;
}

bool TrackStore::remove(int id)
{
    const PlayerTrack* track = find(id);
    if (!track)
        return false;
    history->push(new TrackCorrection(this, tr("Delete %1").arg(id), { *track }, {}));
    return true;
}

bool TrackStore::setTeam(int id, const QString& team)
{
    const PlayerTrack* track = find(id);
    if (!track || track->team == team)
        return false;
    PlayerTrack changed = *track;
    changed.team = team;
    history->push(new TrackCorrection(this, tr("Team of %1").arg(id), { *track }, { changed }));
    return true;
}

void TrackStore::replaceTracks(const std::vector<int>& removeIds, const std::vector<PlayerTrack>& add)
{
    auto& tracks = set.tracks;
    tracks.erase(std::remove_if(tracks.begin(), tracks.end(),
                     [&](const PlayerTrack& t) {
                         return std::find(removeIds.begin(), removeIds.end(), t.id) != removeIds.end();
                     }),
        tracks.end());
    tracks.insert(tracks.end(), add.begin(), add.end());
    std::sort(tracks.begin(), tracks.end(),
        [](const PlayerTrack& a, const PlayerTrack& b) { return a.id < b.id; });
    largestId = std::max(largestId, set.largestId());
    if (set.indexOf(selected) < 0) {
        selected = 0;
        emit selectionChanged(0);
    }
    emit tracksChanged();
    save();
}

std::vector<QPointF> TrackStore::trail(const PlayerTrack& track) const
{
    const auto frames = qint64(std::lround(kTrailSeconds * set.fps));
    std::vector<QPointF> points;
    const auto from = std::lower_bound(track.samples.begin(), track.samples.end(),
        shownFrame - frames, [](const TrackSample& s, qint64 f) { return s.frame < f; });
    for (auto it = from; it != track.samples.end() && it->frame <= shownFrame; ++it)
        points.push_back(it->pitch);
    return points;
}
