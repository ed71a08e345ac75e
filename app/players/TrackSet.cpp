#include "players/TrackSet.h"

#include <QCoreApplication>
#include <QList>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr int kColumns = 8;

QString tr(const char* text) { return QCoreApplication::translate("TrackSet", text); }

std::optional<TrackSample::State> stateFrom(const QByteArray& name)
{
    if (name == "detected")
        return TrackSample::State::Detected;
    if (name == "predicted")
        return TrackSample::State::Predicted;
    if (name == "interpolated")
        return TrackSample::State::Interpolated;
    return std::nullopt;
}

// Fixed decimals with '.' whatever the locale; a rounded zero is written
// without a sign.
QByteArray fixed(double value, int decimals)
{
    if (!std::isfinite(value) || std::round(std::abs(value) * std::pow(10.0, decimals)) == 0)
        value = 0.0;
    return QByteArray::number(value, 'f', decimals);
}

} // namespace

const TrackSample* PlayerTrack::at(qint64 frame) const
{
    const auto found = std::lower_bound(samples.begin(), samples.end(), frame,
        [](const TrackSample& s, qint64 f) { return s.frame < f; });
    return found != samples.end() && found->frame == frame ? &*found : nullptr;
}

std::optional<TrackSet> TrackSet::fromCsv(const QByteArray& csv, double fps, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QList<QByteArray> lines = csv.split('\n');
    if (lines.value(0).trimmed() != kHeader)
        return fail(tr("the first line is not the tracks header"));
    TrackSet set;
    set.fps = fps > 0 ? fps : 25.0;
    std::map<int, PlayerTrack> byId;
    qint64 lastFrame = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> cells = line.split(',');
        bool frameOk = false, idOk = false, xOk = false, yOk = false, speedOk = false;
        TrackSample sample;
        sample.frame = cells.value(0).toLongLong(&frameOk);
        const int id = cells.value(2).toInt(&idOk);
        sample.pitch = QPointF(cells.value(4).toDouble(&xOk), cells.value(5).toDouble(&yOk));
        sample.speed = cells.value(6).toDouble(&speedOk);
        const auto state = stateFrom(cells.value(7));
        const QByteArray team = cells.value(3);
        if (cells.size() != kColumns || !frameOk || sample.frame < 0 || !idOk || id <= 0 || !xOk
            || !yOk || !speedOk || !state || (team != "" && team != "A" && team != "B"))
            return fail(tr("line %1 is not a track row").arg(i + 1));
        sample.state = *state;
        PlayerTrack& track = byId[id];
        if (!track.samples.empty() && track.samples.back().frame >= sample.frame)
            return fail(tr("line %1 repeats or reorders a frame of track %2").arg(i + 1).arg(id));
        track.id = id;
        track.team = QString::fromLatin1(team);
        track.samples.push_back(sample);
        lastFrame = std::max(lastFrame, sample.frame);
    }
    for (auto& [id, track] : byId)
        set.tracks.push_back(std::move(track));
    set.frames = lastFrame + 1;
    return set;
}

QByteArray TrackSet::toCsv() const
{
    std::vector<const PlayerTrack*> byId;
    for (const PlayerTrack& track : tracks)
        byId.push_back(&track);
    std::sort(byId.begin(), byId.end(),
        [](const PlayerTrack* a, const PlayerTrack* b) { return a->id < b->id; });
    QByteArray out = QByteArray(kHeader) + '\n';
    const qint64 end = std::max(frames, lastFrame() + 1);
    // Each track's next sample, walked forward frame by frame.
    std::vector<std::size_t> next(byId.size(), 0);
    for (qint64 frame = 0; frame < end; ++frame) {
        for (std::size_t t = 0; t < byId.size(); ++t) {
            const std::vector<TrackSample>& samples = byId[t]->samples;
            if (next[t] >= samples.size() || samples[next[t]].frame != frame)
                continue;
            const TrackSample& s = samples[next[t]++];
            out += QByteArray::number(frame) + ',' + fixed(double(frame) / fps, 3) + ','
                + QByteArray::number(byId[t]->id) + ',' + byId[t]->team.toLatin1() + ','
                + fixed(s.pitch.x(), 2) + ',' + fixed(s.pitch.y(), 2) + ',' + fixed(s.speed, 2)
                + ',' + stateName(s.state).toLatin1() + '\n';
        }
    }
    return out;
}

int TrackSet::indexOf(int id) const
{
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].id == id)
            return int(i);
    return -1;
}

qint64 TrackSet::lastFrame() const
{
    qint64 last = -1;
    for (const PlayerTrack& track : tracks)
        last = std::max(last, track.lastFrame());
    return last;
}

int TrackSet::largestId() const
{
    int largest = 0;
    for (const PlayerTrack& track : tracks)
        largest = std::max(largest, track.id);
    return largest;
}

QString TrackSet::stateName(TrackSample::State state)
{
    switch (state) {
    case TrackSample::State::Predicted:
        return QStringLiteral("predicted");
    case TrackSample::State::Interpolated:
        return QStringLiteral("interpolated");
    case TrackSample::State::Detected:
        break;
    }
    return QStringLiteral("detected");
}
