#pragma once

#include "players/TrackSet.h"

#include <QObject>

// The open video's tracks as the program shows them: the tracks, the frame
// on the screen and the selected player, shared by the pitch view, the
// players table and the marks on the picture. Changes the user makes (names)
// (names, corrections) are saved to the tracks file at once; each
// correction is one step of the store's undo stack.
class QUndoStack;

class TrackStore : public QObject
{
    Q_OBJECT

public:
    explicit TrackStore(QObject* parent = nullptr);

    const TrackSet& tracks() const { return set; }
    // The CSV the tracks came from and are saved to; empty when none.
    QString path() const { return csvPath; }
    bool hasTracks() const { return !set.isEmpty(); }
    void setTracks(const TrackSet& tracks, const QString& path);
    void clear();

    qint64 frame() const { return shownFrame; }
    void setFrame(qint64 frame);

    // The selected track's id, 0 when none.
    int selectedId() const { return selected; }
    void select(int id);

    // Renames a track and saves; false for an unknown id. Where the file
    // cannot be written the name is kept in the program and `failed` tells.
    bool rename(int id, const QString& name);

    // Corrections, each one undo step; false where it does not apply (an
    // unknown id, a split with nothing on one side, a track merged with itself).
    bool merge(int keepId, int otherId);
    bool split(int id, qint64 atFrame);
    bool remove(int id);
    bool setTeam(int id, const QString& team);
    QUndoStack* undoStack() const { return history; }
    // Takes the tracks of these ids out and puts these in, then saves; for
    // the undo steps.
    void replaceTracks(const std::vector<int>& removeIds, const std::vector<PlayerTrack>& add);

    // How far back a trail reaches.
    static constexpr double kTrailSeconds = 2.0;
    // The positions of the trail's time up to the frame shown.
    std::vector<QPointF> trail(const PlayerTrack& track) const;

signals:
    void tracksChanged();
    void frameChanged(qint64 frame);
    void selectionChanged(int id);
    void renamed(int id);
    void failed(const QString& message);

private:
    const PlayerTrack* find(int id) const;
    void save();

    TrackSet set;
    QUndoStack* history = nullptr;
    // Ids are never given twice within one file, also after a delete.
    int largestId = 0;
    QString csvPath;
    qint64 shownFrame = -1;
    int selected = 0;
};
