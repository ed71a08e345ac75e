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
#include <utility>

namespace {

constexpr const char* kSuffix = ".tarvola.json";
constexpr const char* kBadSuffix = ".bad";
constexpr const char* kFormat = "tarvola";
constexpr int kPathHashChars = 16;
constexpr int kFirstVersion = 1;
// Beyond this a point is no place on or near the picture.
constexpr double kFarthestPointPx = 1e9;
const char* const kCornerKeys[CalibrationData::kCornerCount]
    = { "top_left", "top_right", "bottom_left", "bottom_right" };

const std::pair<PitchLandmarks::View, const char*> kViewNames[] = {
    { PitchLandmarks::View::Whole, "whole" },
    { PitchLandmarks::View::LeftHalf, "left_half" },
    { PitchLandmarks::View::RightHalf, "right_half" },
};

QString tr(const char* text) { return QCoreApplication::translate("CalibrationFile", text); }

QJsonArray pair(double x, double y) { return QJsonArray { x, y }; }

QJsonArray pair(const QPointF& point) { return QJsonArray { point.x(), point.y() }; }

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

std::optional<QPointF> readPlace(const QJsonValue& value)
{
    const auto point = readPair(value);
    if (!point || std::abs(point->x()) > kFarthestPointPx || std::abs(point->y()) > kFarthestPointPx)
        return std::nullopt;
    return point;
}

// The centre, and the corners of a version-1 file, are whole video pixels.
std::optional<QPoint> readPixel(const QJsonValue& value)
{
    const auto point = readPlace(value);
    return point ? std::optional(point->toPoint()) : std::nullopt;
}

const char* viewName(PitchLandmarks::View view)
{
    for (const auto& [known, name] : kViewNames)
        if (known == view)
            return name;
    return kViewNames[0].second;
}

// A choice this program does not know (a later one's) is no reason to lose
// the file: it is read as none.
std::optional<PitchLandmarks::View> readView(const QJsonValue& value)
{
    for (const auto& [view, name] : kViewNames)
        if (value.toString() == QLatin1String(name))
            return view;
    return std::nullopt;
}

QJsonObject pitchObject(const CalibrationData& data)
{
    QJsonObject pitch { { "length", data.length }, { "width", data.width },
        { "radius", data.radius }, { "centre_circle", data.centreCircleM } };
    if (data.view)
        pitch.insert("view", viewName(*data.view));
    return pitch;
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

// Files written before the setting existed have no centre circle: those
// pitches were taken as full-size ones. A value that is not a radius is
// taken the same way rather than losing the file.
double readCentreCircle(const QJsonValue& value)
{
    const double radius = value.toDouble(-1.0);
    return std::isfinite(radius) && radius >= 0.0 ? radius
                                                  : CalibrationData::kFullSizeCentreCircleM;
}

void readPoints(const QJsonObject& root, int version, CalibrationData& data)
{
    const QJsonObject corners = root.value("corners").toObject();
    for (int i = 0; i < CalibrationData::kCornerCount; ++i) {
        const QJsonValue corner = corners.value(kCornerKeys[i]);
        if (version == kFirstVersion) {
            const auto pixel = readPixel(corner);
            data.corners[std::size_t(i)] = pixel ? std::optional<QPointF>(*pixel) : std::nullopt;
        } else {
            data.corners[std::size_t(i)] = readPlace(corner);
        }
    }
    data.centre = readPixel(root.value("centre"));
}

QJsonObject lensObject(const CameraLens& lens)
{
    return QJsonObject { { "k1", lens.k1 }, { "k2", lens.k2 },
        { "centre", pair(QPointF(lens.cx, lens.cy)) } };
}

// An absent lens is the pinhole camera; a damaged one is refused.
bool readLens(const QJsonValue& value, CameraLens& lens)
{
    if (value.isUndefined())
        return true;
    const QJsonObject object = value.toObject();
    const QJsonValue k1 = object.value("k1");
    const QJsonValue k2 = object.value("k2");
    const auto centre = readPlace(object.value("centre"));
    if (!k1.isDouble() || !k2.isDouble() || !centre || !std::isfinite(k1.toDouble())
        || !std::isfinite(k2.toDouble()))
        return false;
    lens = { k1.toDouble(), k2.toDouble(), centre->x(), centre->y() };
    return true;
}

QJsonArray landmarkArray(const std::vector<CalibrationData::Landmark>& landmarks)
{
    QJsonArray array;
    for (const auto& landmark : landmarks) {
        array.append(QJsonObject { { "name", landmark.name },
            { "picture", pair(landmark.picture) }, { "pitch", pair(landmark.pitch) } });
    }
    return array;
}

bool readLandmarks(const QJsonValue& value, CalibrationData& data)
{
    for (const QJsonValue& item : value.toArray()) {
        const QJsonObject object = item.toObject();
        const auto picture = readPlace(object.value("picture"));
        const auto pitch = readPlace(object.value("pitch"));
        if (!picture || !pitch)
            return false;
        data.landmarks.push_back({ object.value("name").toString(), *picture, *pitch });
    }
    return true;
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
        { "pitch", pitchObject(data) },
        { "click_sigma_px", data.clickSigmaPx }, { "lens", lensObject(data.lens) },
        { "measurements", measurementArray(data.measurements) } };
    QJsonObject corners;
    for (int i = 0; i < CalibrationData::kCornerCount; ++i) {
        if (const auto& corner = data.corners[std::size_t(i)])
            corners.insert(kCornerKeys[i], pair(*corner));
    }
    root.insert("corners", corners);
    if (data.centre)
        root.insert("centre", pair(QPointF(*data.centre)));
    if (!data.landmarks.empty())
        root.insert("landmarks", landmarkArray(data.landmarks));
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
    const int version = root.value("version").toInt();
    if (version < kFirstVersion || version > kVersion)
        return fail(tr("it has version %1; this program reads versions %2 to %3")
                        .arg(root.value("version").toVariant().toString())
                        .arg(kFirstVersion)
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
    data.centreCircleM = readCentreCircle(pitch.value("centre_circle"));
    data.view = readView(pitch.value("view"));
    data.clickSigmaPx = root.value("click_sigma_px").toDouble(1.0);
    readPoints(root, version, data);
    if (!readMeasurements(root.value("measurements"), data))
        return fail(tr("a measurement in it is damaged"));
    if (!readLens(root.value("lens"), data.lens))
        return fail(tr("its lens is damaged"));
    if (!readLandmarks(root.value("landmarks"), data))
        return fail(tr("a landmark in it is damaged"));
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
