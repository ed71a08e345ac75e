#pragma once

// Helpers shared by the display tests: the real engine, loaded from
// libVistrel.so as the program does, generated clips, and waits for frames.

#include "ClipGenerator.h"
#include "engine/EngineLibrary.h"
#include "VistrelInterface.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <string>

namespace displaytest {

// The process's one engine, as in the program; null when the library has no
// working factory. Tests reset the pitch model themselves.
inline VistrelInterface* engine()
{
    static VistrelInterface* const instance = EngineLibrary::bindLibrary(VISTREL_LIBRARY_PATH);
    return instance;
}

// A clip clipSettings whose pitch dimensions are the field controls' defaults, so
// that the overlay of a calibrated engine lies on the clip's own lines.
inline testclips::ClipSettings pitchSettings(int width, int height, int frames = 6)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = width;
    clipSettings.height = height;
    clipSettings.frames = frames;
    clipSettings.fieldLength = 36.0f;
    clipSettings.fieldWidth = 27.0f;
    clipSettings.radius = 5.0f;
    return clipSettings;
}

// Writes a lossless clip into dir; its path, empty on failure.
inline QString writeClip(
    const QTemporaryDir& dir, const testclips::ClipSettings& clipSettings, const QString& name)
{
    const QString path = dir.filePath(name);
    std::string error;
    if (!testclips::writeClip(clipSettings, QFile::encodeName(path).toStdString(), &error, false))
        return {};
    return path;
}

// The clip's frame as the screens show it (RGB).
inline QImage expectedFrame(const testclips::ClipSettings& clipSettings, int index)
{
    const cv::Mat bgr = testclips::renderFrame(clipSettings, index);
    QImage image(bgr.data, bgr.cols, bgr.rows, int(bgr.step), QImage::Format_BGR888);
    return image.convertToFormat(QImage::Format_RGB888);
}

// All frames of the clip, as the screens show them.
inline QList<QImage> expectedFrames(const testclips::ClipSettings& clipSettings)
{
    QList<QImage> frames;
    for (int i = 0; i < clipSettings.frames; ++i)
        frames << expectedFrame(clipSettings, i);
    return frames;
}

// Index of the frame the image shows exactly, or -1.
inline int matchingFrame(const QList<QImage>& frames, const QImage& shown)
{
    const QImage rgb = shown.convertToFormat(QImage::Format_RGB888);
    return int(frames.indexOf(rgb));
}

} // namespace displaytest
