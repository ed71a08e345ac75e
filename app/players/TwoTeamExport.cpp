#include "players/TwoTeamExport.h"

#include "players/TrackSet.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("TwoTeamExport", text); }

// The position at a fractional frame, straight between the two frames
// around it; the nearer one alone where the other is missing.
std::optional<QPointF> positionAt(const PlayerTrack& track, double frame)
{
    const auto before = qint64(std::floor(frame));
    const TrackSample* a = track.at(before);
    const TrackSample* b = track.at(before + 1);
    const double share = frame - double(before);
    if (a && b)
        return a->pitch + (b->pitch - a->pitch) * share;
    if (a && share < 0.5)
        return a->pitch;
    if (b && share >= 0.5)
        return b->pitch;
    return std::nullopt;
}

QByteArray cell(double value) { return QByteArray::number(value, 'f', 5); }

} // namespace

QStringList TwoTeamExport::filesFor(const QString& out)
{
    QString base = out;
    if (base.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        base.chop(4);
    return { base + QLatin1String("_Home_Team.csv"), base + QLatin1String("_Away_Team.csv"),
        base + QLatin1String("_notes.txt") };
}

QByteArray TwoTeamExport::teamCsv(const TrackSet& tracks, const QString& team,
    const QString& label, double pitchLength, double pitchWidth)
{
    std::vector<const PlayerTrack*> players;
    for (const PlayerTrack& track : tracks.tracks)
        if (track.team == team)
            players.push_back(&track);
    QByteArray teams = ",,";
    QByteArray numbers = ",,";
    QByteArray header = "Period,Frame,Time [s]";
    for (const PlayerTrack* player : players) {
        teams += ',' + label.toUtf8() + ',';
        numbers += ',' + QByteArray::number(player->id) + ',';
        header += ",Player" + QByteArray::number(player->id) + ',';
    }
    QByteArray out = teams + ",,\n" + numbers + ",,\n" + header + ",Ball,\n";
    const qint64 frames = std::max(tracks.frames, tracks.lastFrame() + 1);
    const auto rows = qint64(std::floor(double(frames) / tracks.fps * kRateHz));
    for (qint64 row = 0; row < rows; ++row) {
        const double frame = double(row) / kRateHz * tracks.fps;
        out += "1," + QByteArray::number(row + 1) + ','
            + QByteArray::number(double(row + 1) / kRateHz, 'f', 2);
        for (const PlayerTrack* player : players) {
            const std::optional<QPointF> at = positionAt(*player, frame);
            out += at ? ',' + cell(at->x() / pitchWidth) + ','
                    + cell((pitchLength - at->y()) / pitchLength)
                      : QByteArray(",NaN,NaN");
        }
        out += ",NaN,NaN\n";
    }
    return out;
}

QByteArray TwoTeamExport::notes(double pitchLength, double pitchWidth, double fps)
{
    return tr("Two-team tracking layout written by Tarvola.\n\n"
              "- Team A is \"Home\", team B is \"Away\". Referees and players whose shirts "
              "fit neither team are left out.\n"
              "- One column pair per track, named Player<track id>; a player whose track "
              "broke into two appears in two pairs.\n"
              "- Positions run from 0 to 1 from the pitch's top-left corner as the camera "
              "sees it: x along the top edge to the right (%1 m), y down to the bottom edge "
              "(%2 m). Players beyond the lines have values below 0 or above 1.\n"
              "- One period; the direction of play is not turned round at half time.\n"
              "- 25 rows a second, the positions straight between the video's frames "
              "(%3 frames a second); NaN where the player is not tracked.\n"
              "- The ball is not tracked: its columns are NaN.\n")
        .arg(pitchWidth)
        .arg(pitchLength)
        .arg(fps)
        .toUtf8();
}

QString TwoTeamExport::write(
    const TrackSet& tracks, double pitchLength, double pitchWidth, const QString& out)
{
    if (!(pitchLength > 0) || !(pitchWidth > 0) || !(tracks.fps > 0))
        return tr("the pitch dimensions are not known");
    const QStringList paths = filesFor(out);
    const QByteArray contents[] = {
        teamCsv(tracks, QStringLiteral("A"), QStringLiteral("Home"), pitchLength, pitchWidth),
        teamCsv(tracks, QStringLiteral("B"), QStringLiteral("Away"), pitchLength, pitchWidth),
        notes(pitchLength, pitchWidth, tracks.fps) };
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (int i = 0; i < paths.size(); ++i) {
        auto file = std::make_unique<QSaveFile>(paths[i]);
        if (!file->open(QIODevice::WriteOnly) || file->write(contents[i]) != contents[i].size())
            return tr("%1 cannot be written: %2").arg(paths[i], file->errorString());
        files.push_back(std::move(file));
    }
    for (std::size_t i = 0; i < files.size(); ++i)
        if (!files[i]->commit()) {
            for (std::size_t done = 0; done < i; ++done)
                QFile::remove(paths[int(done)]);
            return tr("%1 cannot be written").arg(paths[int(i)]);
        }
    return {};
}
