#pragma once

#include "calibration/PitchLandmarks.h"
#include "engine/CameraLens.h"

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// What is kept of the work on one video: the pitch, the corners and centre
// clicked on it, the camera's lens, the landmarks given for a calibration
// from known points, the click accuracy and the measurements.
struct CalibrationData
{
    struct VideoFacts
    {
        QString file; // the video's file name, without folder
        QSize size;
        qint64 frames = 0;
        double fps = 0.0;
        bool operator==(const VideoFacts&) const = default;
    };
    struct StoredMeasurement
    {
        qint64 frame = 0;
        QPointF from;
        QPointF to;
        bool operator==(const StoredMeasurement&) const = default;
    };
    // A known pitch point the user placed in the picture.
    struct Landmark
    {
        QString name;
        QPointF picture; // video pixels, as recorded (before the lens)
        QPointF pitch; // pitch metres, from the bottom-left corner
        bool operator==(const Landmark&) const = default;
    };
    static constexpr int kCornerCount = 4;
    // The circle painted round the centre of a full-size pitch.
    static constexpr double kFullSizeCentreCircleM = 9.15;

    VideoFacts video;
    double length = 0.0;
    double width = 0.0;
    double radius = 0.0;
    // The painted centre circle's radius in metres; 0: none painted.
    double centreCircleM = kFullSizeCentreCircleM;
    // Whether the dimensions are the whole pitch or the half in view; none
    // in files written before the choice was kept (it is left as it is).
    std::optional<PitchLandmarks::View> view;
    // Top left, top right, bottom left, bottom right; absent until clicked.
    // Clicked corners are whole pixels; corners fitted to landmarks need
    // not be, and may lie outside the picture.
    std::array<std::optional<QPointF>, kCornerCount> corners;
    std::optional<QPoint> centre;
    CameraLens lens; // the pinhole camera unless straightened
    std::vector<Landmark> landmarks;
    double clickSigmaPx = 1.0;
    std::vector<StoredMeasurement> measurements;

    bool operator==(const CalibrationData&) const = default;
};

// The calibration file kept beside a video ("match.mp4.tarvola.json"), or in
// the user's data folder where the video's folder cannot be written. Writes
// replace the old file only when complete; a file that cannot be used is
// never overwritten but moved aside to "....json.bad" first.
class CalibrationFile
{
public:
    // Version 1 files (whole-pixel corners, no lens, no landmarks) are read too.
    static constexpr int kVersion = 2;

    struct Loaded
    {
        std::optional<CalibrationData> data; // empty: nothing usable
        QString path; // the file read, empty when there was none
        QString error; // why a file that exists was not used
    };

    explicit CalibrationFile(const QString& videoPath);

    // The file beside the video, and the one in the user's data folder.
    QString besideVideo() const;
    QString inDataFolder() const;
    // The file of this suffix kept for a video in the user's data folder
    // (the files that go beside a video where its folder takes them).
    static QString inDataFolder(const QString& videoPath, const QString& suffix);

    // Reads the video's file (beside it first). A file that cannot be parsed,
    // is of another format or version, or belongs to a video of another size
    // is reported in `error` and remembered, so that save() moves it aside.
    Loaded load(const QSize& videoSize);
    // Writes atomically. True on success; `usedDataFolder` tells whether
    // the file went to the data folder because the video's could not be written.
    bool save(const CalibrationData& data, QString* error = nullptr, bool* usedDataFolder = nullptr);

    static QByteArray toJson(const CalibrationData& data);
    // Empty with `error` set when the text is not a usable file of version
    // 1 or 2.
    static std::optional<CalibrationData> fromJson(const QByteArray& json, QString* error);

private:
    bool writeTo(const QString& path, const QByteArray& json, QString* error);
    static bool moveAside(const QString& path);

    QString videoPath;
    QString badFile; // a file found unusable, to be moved aside before writing
};
