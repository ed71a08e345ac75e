#include "players/TracksFile.h"

#include "calibration/CalibrationFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryFile>

namespace {

constexpr const char* kSuffix = ".tarvola-tracks.csv";

QString tr(const char* text) { return QCoreApplication::translate("TracksFile", text); }

bool folderTakesFiles(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tarvola-probe-XXXXXX")));
    return probe.open();
}

QJsonObject readSidecar(const QString& csvPath)
{
    QFile file(TracksFile::sidecarOf(csvPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool writeAll(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = tr("%1 cannot be written: %2").arg(path, file.errorString());
    return false;
}

} // namespace

TracksFile::TracksFile(const QString& videoPath)
    : videoPath(videoPath)
{ }

QString TracksFile::besideVideo() const { return videoPath + QLatin1String(kSuffix); }

QString TracksFile::inDataFolder() const
{
    return CalibrationFile::inDataFolder(videoPath, QLatin1String(kSuffix));
}

QString TracksFile::target() const
{
    if (folderTakesFiles(QFileInfo(videoPath).absolutePath()))
        return besideVideo();
    const QString fallback = inDataFolder();
    QDir().mkpath(QFileInfo(fallback).absolutePath());
    return fallback;
}

TracksFile::Loaded TracksFile::load(double videoFps) const
{
    Loaded result;
    for (const QString& path : { besideVideo(), inDataFolder() }) {
        if (!QFileInfo(path).isFile())
            continue;
        result.path = path;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.error = file.errorString();
            return result;
        }
        const QJsonObject sidecar = readSidecar(path);
        const double fps = sidecar.value(QLatin1String("fps")).toDouble(videoFps);
        result.tracks = TrackSet::fromCsv(file.readAll(), fps, &result.error);
        if (!result.tracks)
            return result;
        const qint64 frames = sidecar.value(QLatin1String("frames")).toInteger(0);
        result.tracks->frames = std::max(result.tracks->frames, frames);
        const QJsonObject names = sidecar.value(QLatin1String("names")).toObject();
        for (PlayerTrack& track : result.tracks->tracks)
            track.name = names.value(QString::number(track.id)).toString();
        return result;
    }
    return result;
}

bool TracksFile::save(
    const TrackSet& tracks, const QString& csvPath, QString* error, const QString& sidecarFrom)
{
    QJsonObject sidecar = readSidecar(sidecarFrom.isEmpty() ? csvPath : sidecarFrom);
    if (sidecar.isEmpty())
        sidecar = { { "format", "tarvola-tracks" }, { "version", 1 }, { "origin", "bottom-left corner" },
            { "units", "m" } };
    sidecar.insert(QLatin1String("fps"), tracks.fps);
    // The frames processed stay processed when tracks are deleted.
    const qint64 frames = std::max(
        { tracks.frames, tracks.lastFrame() + 1, sidecar.value(QLatin1String("frames")).toInteger() });
    sidecar.insert(QLatin1String("frames"), frames);
    QJsonObject names;
    for (const PlayerTrack& track : tracks.tracks)
        if (!track.name.isEmpty())
            names.insert(QString::number(track.id), track.name);
    sidecar.insert(QLatin1String("names"), names);
    return writeAll(csvPath, tracks.toCsv(), error)
        && writeAll(sidecarOf(csvPath), QJsonDocument(sidecar).toJson(), error);
}
