#pragma once

#include "players/TrackSet.h"

#include <QString>

#include <optional>

// The players' tracks kept for a video: "match.mp4.tarvola-tracks.csv" in
// the tracks CSV layout, with its JSON sidecar ("....csv.json") that also
// holds the names the user gave; both beside the video, or in the user's
// data folder where the video's folder takes no files (as the calibration).
class TracksFile
{
public:
    struct Loaded
    {
        std::optional<TrackSet> tracks; // empty: nothing usable
        QString path; // the CSV read, empty when there was none
        QString error; // why a file that exists was not used
    };

    explicit TracksFile(const QString& videoPath);

    QString besideVideo() const;
    QString inDataFolder() const;
    // Where a new tracking run writes: beside the video where its folder
    // takes a file, otherwise in the data folder (created on the way).
    QString target() const;

    // Reads the tracks kept for the video (beside it first); `videoFps` is
    // used where the sidecar does not tell the frame rate.
    Loaded load(double videoFps) const;

    static QString sidecarOf(const QString& csvPath) { return csvPath + QLatin1String(".json"); }
    // Writes the CSV and its sidecar with the names, keeping what else the
    // sidecar of `sidecarFrom` (by default csvPath's own) holds; each file is
    // replaced only when complete. False with `error` set.
    static bool save(const TrackSet& tracks, const QString& csvPath, QString* error,
        const QString& sidecarFrom = QString());

private:
    QString videoPath;
};
