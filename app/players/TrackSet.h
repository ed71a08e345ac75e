#pragma once

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

class QIODevice;

// One player's position at one frame, as the tracks CSV gives it.
struct TrackSample
{
    enum class State { Detected, Predicted, Interpolated };

    qint64 frame = 0;
    QPointF pitch; // metres, origin at the bottom-left corner
    double speed = 0.0; // smoothed, m/s
    State state = State::Detected;
};

// One track: a player over time, its samples in frame order.
struct PlayerTrack
{
    int id = 0;
    QString team; // "A", "B" or empty
    QString name; // given by the user, empty until then
    std::vector<TrackSample> samples;

    // The sample at `frame`, or null where the track has none.
    const TrackSample* at(qint64 frame) const;
    qint64 firstFrame() const { return samples.empty() ? -1 : samples.front().frame; }
    qint64 lastFrame() const { return samples.empty() ? -1 : samples.back().frame; }
};

// The players' tracks of one video in the layout of the tracks CSV (frame,
// time_s, track_id, team, x_m, y_m, speed_m_s, state), read and written.
class TrackSet
{
public:
    static constexpr const char* kHeader = "frame,time_s,track_id,team,x_m,y_m,speed_m_s,state";

    // Nothing, with `error` set, when the text is not a tracks CSV.
    static std::optional<TrackSet> fromCsv(const QByteArray& csv, double fps, QString* error);
    // The CSV: rows by frame, then track id; every frame up to `frames`
    // (or the last sample) listed, also those without a row.
    QByteArray toCsv() const;

    double fps = 25.0;
    qint64 frames = 0; // frames of the video (0: as far as the samples go)
    std::vector<PlayerTrack> tracks;

    bool isEmpty() const { return tracks.empty(); }
    // The index in `tracks` of the track with this id, -1 when none.
    int indexOf(int id) const;
    // The last frame any track covers, -1 when there are none.
    qint64 lastFrame() const;
    // The largest id given so far.
    int largestId() const;

    static QString stateName(TrackSample::State state);
};
