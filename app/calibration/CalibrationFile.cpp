#include "calibration/CalibrationFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>

namespace {

constexpr const char* kSuffix = ".tarvola.json";
constexpr const char* kBadSuffix = ".bad";
constexpr const char* kFormat = "tarvola";
constexpr int kPathHashChars = 16;
const char* const kCornerKeys[CalibrationData::kCornerCount]
    = { "top_left", "top_right", "bottom_left", "bottom_right" };

QString tr(const char* text) { return QCoreApplication::translate("CalibrationFile", text); }

QJsonArray pair(double x, double y) { return QJsonArray { x, y }; }

QJsonArray pair(const QPoint& point) { return QJsonArray { point.x(), point.y() }; }

// [x, y] of two finite numbers.
std::optional<QPointF> readPair(const QJsonValue& value)
{
    const QJsonArray array = value.toArray();
    if (array.size() != 2 || !array[0].isDouble() || !array[1].isDouble())
        return std::nullopt;
    const QPointF point(array[0].toDouble(), array[1].toDouble());
    if (!std::isfinite(point.x()) || !std::isfinite(point.y()))
        return std::nullopt;
    return point;
}

// Corners and centre are whole video pixels.
std::optional<QPoint> readPixel(const QJsonValue& value)
{
    const auto point = readPair(value);
    if (!point || std::abs(point->x()) > 1e9 || std::abs(point->y()) > 1e9)
        return std::nullopt;
    return point->toPoint();
}

QJsonObject videoObject(const CalibrationData::VideoFacts& video)
{
    return QJsonObject { { "file", video.file }, { "width", video.size.width() },
        { "height", video.size.height() }, { "frames", video.frames }, { "fps", video.fps } };
}

QJsonArray measurementArray(const std::vector<CalibrationData::StoredMeasurement>& measurements)
{
    QJsonArray array;
    for (const auto& m : measurements) {
        array.append(QJsonObject { { "frame", m.frame }, { "from", pair(m.from.x(), m.from.y()) },
            { "to", pair(m.to.x(), m.to.y()) } });
    }
    return array;
}

bool readMeasurements(const QJsonValue& value, CalibrationData& data)
{
    for (const QJsonValue& item : value.toArray()) {
        const QJsonObject object = item.toObject();
        const auto from = readPair(object.value("from"));
        const auto to = readPair(object.value("to"));
        if (!from || !to)
            return false;
        data.measurements.push_back({ object.value("frame").toInteger(), *from, *to });
    }
    return true;
}

void readPoints(const QJsonObject& root, CalibrationData& data)
{
    const QJsonObject corners = root.value("corners").toObject();
    for (int i = 0; i < CalibrationData::kCornerCount; ++i)
        data.corners[std::size_t(i)] = readPixel(corners.value(kCornerKeys[i]));
    data.centre = readPixel(root.value("centre"));
}

} // namespace

CalibrationFile::CalibrationFile(const QString& videoPath)
    : videoPath(QFileInfo(videoPath).absoluteFilePath())
{
}

QString CalibrationFile::besideVideo() const { return videoPath + QLatin1String(kSuffix); }

QString CalibrationFile::inDataFolder() const
{
    return inDataFolder(videoPath, QLatin1String(kSuffix));
}

// The video's name keeps the file recognisable; a hash of its full path
// keeps two videos of the same name in different folders apart.
QString CalibrationFile::inDataFolder(const QString& videoPath, const QString& suffix)
{
    const QByteArray hash
        = QCryptographicHash::hash(videoPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QFileInfo(videoPath).fileName() + QLatin1Char('-')
        + QString::fromLatin1(hash.left(kPathHashChars)) + suffix);
}

QByteArray CalibrationFile::toJson(const CalibrationData& data)
{
    QJsonObject root { { "format", kFormat }, { "version", kVersion },
        { "video", videoObject(data.video) },
        { "pitch",
            QJsonObject {
                { "length", data.length }, { "width", data.width }, { "radius", data.radius } } },
        { "click_sigma_px", data.clickSigmaPx },
        { "measurements", measurementArray(data.measurements) } };
    QJsonObject corners;
    for (int i = 0; i < CalibrationData::kCornerCount; ++i) {
        if (const auto& corner = data.corners[std::size_t(i)])
            corners.insert(kCornerKeys[i], pair(*corner));
    }
    root.insert("corners", corners);
    if (data.centre)
        root.insert("centre", pair(*data.centre));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<CalibrationData> CalibrationFile::fromJson(const QByteArray& json, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return fail(tr("it is not a JSON object (%1)").arg(parseError.errorString()));
    const QJsonObject root = document.object();
    if (root.value("format").toString() != QLatin1String(kFormat))
        return fail(tr("it is not a Tarvola calibration file"));
    if (root.value("version").toInt() != kVersion)
        return fail(tr("it has version %1; this program reads version %2")
                        .arg(root.value("version").toVariant().toString())
                        .arg(kVersion));
    CalibrationData data;
    const QJsonObject video = root.value("video").toObject();
    data.video = { video.value("file").toString(),
        QSize(video.value("width").toInt(), video.value("height").toInt()),
        video.value("frames").toInteger(), video.value("fps").toDouble() };
    const QJsonObject pitch = root.value("pitch").toObject();
    data.length = pitch.value("length").toDouble();
    data.width = pitch.value("width").toDouble();
    data.radius = pitch.value("radius").toDouble();
    data.clickSigmaPx = root.value("click_sigma_px").toDouble(1.0);
    readPoints(root, data);
    if (!readMeasurements(root.value("measurements"), data))
        return fail(tr("a measurement in it is damaged"));
    return data;
}

CalibrationFile::Loaded CalibrationFile::load(const QSize& videoSize)
{
    Loaded result;
    for (const QString& path : { besideVideo(), inDataFolder() }) {
        // A folder standing where the file would be is no calibration.
        if (!QFileInfo(path).isFile())
            continue;
        QFile file(path);
        result.path = path;
        if (!file.open(QIODevice::ReadOnly)) {
            // Unreadable: kept, moved aside like an unusable one before a write.
            result.error = file.errorString();
            badFile = path;
            return result;
        }
        QString why;
        auto data = fromJson(file.readAll(), &why);
        if (data && data->video.size != videoSize)
            why = tr("it belongs to a video of %1 x %2 pixels, this one has %3 x %4")
                      .arg(data->video.size.width())
                      .arg(data->video.size.height())
                      .arg(videoSize.width())
                      .arg(videoSize.height());
        if (!why.isEmpty()) {
            result.error = why;
            badFile = path;
            return result;
        }
        result.data = std::move(data);
        return result;
    }
    return result;
}

bool CalibrationFile::save(const CalibrationData& data, QString* error, bool* usedDataFolder)
{
    const QByteArray json = toJson(data);
    if (usedDataFolder)
        *usedDataFolder = false;
    if (writeTo(besideVideo(), json, error))
        return true;
    const QString fallback = inDataFolder();
    QDir().mkpath(QFileInfo(fallback).absolutePath());
    if (usedDataFolder)
        *usedDataFolder = true;
    return writeTo(fallback, json, error);
}

bool CalibrationFile::writeTo(const QString& path, const QByteArray& json, QString* error)
{
    if (path == badFile) {
        if (!moveAside(path)) {
            if (error)
                *error = tr("cannot move the unusable file %1 aside").arg(path);
            return false;
        }
        badFile.clear();
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

// An earlier unusable file already moved aside is kept too: the new one
// gets a number.
bool CalibrationFile::moveAside(const QString& path)
{
    QString aside = path + QLatin1String(kBadSuffix);
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = path + QLatin1String(kBadSuffix) + QLatin1Char('.') + QString::number(n);
    return QFile::rename(path, aside);
}
