#pragma once

#include <QString>
#include <QStringList>

class TrackSet;

// The tracks in the two-team layout that common football-analytics loaders
// read: one CSV per team (team A as "Home", team B as "Away") at 25 Hz, two
// columns per player with positions from 0 to 1 from the pitch's top-left
// corner, and a note of what the layout assumes. From "OUT.csv" it writes
// OUT_Home_Team.csv, OUT_Away_Team.csv and OUT_notes.txt, all or none.
class TwoTeamExport
{
public:
    static constexpr double kRateHz = 25.0;

    // Empty on success, otherwise what went wrong, for one line.
    static QString write(const TrackSet& tracks, double pitchLength, double pitchWidth,
        const QString& out);
    // The three files written for `out`.
    static QStringList filesFor(const QString& out);
    // One team's CSV ("A" or "B"; `label` as the header names it).
    static QByteArray teamCsv(const TrackSet& tracks, const QString& team, const QString& label,
        double pitchLength, double pitchWidth);
    static QByteArray notes(double pitchLength, double pitchWidth, double fps);
};
