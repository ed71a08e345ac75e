#pragma once

#include <QCoreApplication>
#include <QString>

class VistrelInterface;

// What the program knows about video files before the engine sees them:
// the types the open dialog offers, why a path cannot be opened at all, and
// how much memory the engine may keep of the frames it decoded last.
class VideoFiles
{
    Q_DECLARE_TR_FUNCTIONS(VideoFiles)

public:
    // The file types the open dialog offers.
    static QString openFilter();
    // Why the file cannot even be handed to the engine; empty when it can.
    static QString unopenableReason(const QString& path);
    // Gives the engine the frame-cache budget of the settings
    // (playback/frameCacheMiB); the engine keeps its own default when the
    // setting is missing or the library has no cache.
    static void applyFrameCacheSetting(VistrelInterface* engine);
};
