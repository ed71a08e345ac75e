#pragma once

// Helpers shared by the shell's GUI tests: the real engine, loaded from
// libVistrel.so exactly as the program does, and generated clips.

#include "ClipGenerator.h"
#include "engine/EngineLibrary.h"
#include "VistrelInterface.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

namespace shelltest {

// A fresh engine from the library the build produced; null when it has none.
inline VistrelInterface* loadEngine() { return EngineLibrary::bindLibrary(VISTREL_LIBRARY_PATH); }

// Writes a small lossless clip into dir; returns its path, empty on failure.
inline QString makeClip(
    const QTemporaryDir& dir, const QString& name, int frames, int width = 160, int height = 120)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = width;
    clipSettings.height = height;
    clipSettings.frames = frames;
    clipSettings.fps = 25.0;
    const QString path = dir.filePath(name);
    std::string error;
    if (!testclips::writeClip(clipSettings, QFile::encodeName(path).toStdString(), &error, false))
        return {};
    return path;
}

// The same pitch lines, in the same order.
inline bool sameLines(const std::vector<FieldLine>& a, const std::vector<FieldLine>& b)
{
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](const FieldLine& l, const FieldLine& r) {
            return l.x1 == r.x1 && l.y1 == r.y1 && l.x2 == r.x2 && l.y2 == r.y2;
        });
}

} // namespace shelltest
