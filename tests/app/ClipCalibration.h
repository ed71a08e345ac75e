#pragma once

// The calibration a user would save for a generated clip: its true corners,
// game centre and dimensions.

#include "calibration/CalibrationFile.h"
#include "ClipGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

inline CalibrationData trueCalibration(const testclips::ClipSettings& clipSettings, const QString& path)
{
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    CalibrationData data;
    data.video = { QFileInfo(path).fileName(), QSize(clipSettings.width, clipSettings.height),
        clipSettings.frames, clipSettings.fps };
    data.length = clipSettings.fieldLength;
    data.width = clipSettings.fieldWidth;
    data.radius = clipSettings.radius;
    for (std::size_t i = 0; i < truth.corners.size(); ++i)
        data.corners[i] = QPoint(truth.corners[i].x, truth.corners[i].y);
    data.centre = QPoint(truth.centre().x, truth.centre().y);
    return data;
}

// A lossless match clip seen at an angle, 640x360.
inline testclips::ClipSettings smallMatchPlan(int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 640;
    clipSettings.height = 360;
    clipSettings.frames = frames;
    clipSettings.players = 0;
    clipSettings.match = true;
    clipSettings.tilt = 0.4;
    return clipSettings;
}

// Writes the clip as dir/name, with its true calibration saved beside it
// when asked; its path, or empty when either could not be written.
inline QString writeCalibratedClip(const testclips::ClipSettings& clipSettings,
    const QTemporaryDir& dir, const QString& name, bool calibrated)
{
    const QString path = dir.filePath(name);
    if (!testclips::writeClip(clipSettings, QFile::encodeName(path).toStdString(), nullptr, false))
        return {};
    if (!calibrated)
        return path;
    return CalibrationFile(path).save(trueCalibration(clipSettings, path)) ? path : QString();
}
