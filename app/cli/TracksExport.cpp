#include "cli/TracksExport.h"

#include "engine/EngineFunctions.h"
#include "VistrelTracking.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

namespace {

constexpr int kFullPercent = 100;

QString tr(const char* text) { return QCoreApplication::translate("TracksExport", text); }

} // namespace

TracksExport::TracksExport(VistrelInterface* engine, std::FILE* messages)
    : engine(engine)
    , messages(messages)
{ }

QString TracksExport::run(const QString& out)
{
    const auto track = reinterpret_cast<decltype(&VistrelTrackVideo)>(
        EngineFunctions::symbol(engine, "VistrelTrackVideo"));
    if (!track)
        return tr("this Vistrel library cannot track players");
    switch (track(engine, QFile::encodeName(out).constData(), &TracksExport::progress, this)) {
    case VISTREL_TRACK_DONE:
        return {};
    case VISTREL_TRACK_UNREADABLE:
        return tr("the video cannot be read to its end");
    case VISTREL_TRACK_UNWRITABLE:
        return tr("%1 cannot be written").arg(out);
    case VISTREL_TRACK_CANCELLED:
        return tr("the tracking was cancelled");
    default:
        return tr("the calibration does not show the pitch");
    }
}

int TracksExport::progress(void* self, long long done, long long total)
{
    auto* exporter = static_cast<TracksExport*>(self);
    const int percent
        = total > 0 ? int(std::min<long long>(done * kFullPercent / total, kFullPercent)) : 0;
    if (percent != exporter->shownPercent) {
        exporter->shownPercent = percent;
        std::fprintf(exporter->messages, "%d%%\n", percent);
        std::fflush(exporter->messages);
    }
    return 0;
}
