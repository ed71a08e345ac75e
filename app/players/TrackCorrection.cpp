#include "players/TrackCorrection.h"

#include "players/TrackStore.h"

#include <algorithm>

namespace {

std::vector<int> idsOf(const std::vector<PlayerTrack>& tracks)
{
    std::vector<int> ids;
    for (const PlayerTrack& track : tracks)
        ids.push_back(track.id);
    return ids;
}

} // namespace

TrackCorrection::TrackCorrection(TrackStore* store, const QString& text,
    std::vector<PlayerTrack> before, std::vector<PlayerTrack> after)
    : QUndoCommand(text)
    , store(store)
    , before(std::move(before))
    , after(std::move(after))
{ }

void TrackCorrection::redo() { store->replaceTracks(idsOf(before), after); }

void TrackCorrection::undo() { store->replaceTracks(idsOf(after), before); }

PlayerTrack TrackCorrection::merged(const PlayerTrack& keep, const PlayerTrack& other)
{
    PlayerTrack result = keep;
    for (const TrackSample& sample : other.samples)
        if (!keep.at(sample.frame))
            result.samples.push_back(sample);
    std::stable_sort(result.samples.begin(), result.samples.end(),
        [](const TrackSample& a, const TrackSample& b) { return a.frame < b.frame; });
    if (result.name.isEmpty())
        result.name = other.name;
    return result;
}
