#include "playback/VideoFiles.h"

#include "engine/EngineFunctions.h"

#include <QFileInfo>
#include <QSettings>

namespace {

constexpr qlonglong kFrameCacheMiB = 256;

} // namespace

QString VideoFiles::openFilter()
{
    return tr("Video files (*.avi *.mpg *.mp4 *.mkv *.wmv *.mov *.m4v *.mts *.webm);;"
              "All files (*)");
}

QString VideoFiles::unopenableReason(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return tr("The file does not exist.");
    if (info.isDir())
        return tr("It is a folder, not a file.");
    if (!info.isReadable())
        return tr("The file cannot be read (permission denied).");
    return {};
}

void VideoFiles::applyFrameCacheSetting(VistrelInterface* engine)
{
    using SetBytes = int (*)(VistrelInterface*, long long);
    const auto set
        = reinterpret_cast<SetBytes>(EngineFunctions::symbol(engine, "VistrelSetFrameCacheBytes"));
    const qlonglong mib
        = QSettings().value(QStringLiteral("playback/frameCacheMiB"), kFrameCacheMiB).toLongLong();
    if (set && mib >= 0)
        set(engine, mib << 20);
}
