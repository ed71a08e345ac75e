#pragma once

#include "players/TrackSet.h"

#include <QUndoCommand>

#include <vector>

class TrackStore;

// One correction of the tracks as an undo step: some tracks replaced by
// others (a merge takes two and gives one, a split one and gives two, a
// delete gives none, a change of team gives the same track in the other
// team). Only the tracks involved are kept, not the whole set.
class TrackCorrection : public QUndoCommand
{
public:
    TrackCorrection(TrackStore* store, const QString& text, std::vector<PlayerTrack> before,
        std::vector<PlayerTrack> after);

    void redo() override;
    void undo() override;

    // The two tracks as one: the second's samples fill the frames the first lacks.
    static PlayerTrack merged(const PlayerTrack& keep, const PlayerTrack& other);

private:
    TrackStore* store = nullptr;
    std::vector<PlayerTrack> before;
    std::vector<PlayerTrack> after;
};
