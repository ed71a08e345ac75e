#pragma once

// The calibration a user would save for a generated clip: its true corners,
// game centre and dimensions.

#include "calibration/CalibrationFile.h"
#include "ClipGenerator.h"

#include <QFileInfo>
#include <QPoint>
#include <QSize>
#include <QString>

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
