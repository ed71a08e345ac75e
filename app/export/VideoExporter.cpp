#include "export/VideoExporter.h"

#include "export/AnnotatedFrame.h"
#include "engine/EngineFunctions.h"
#include "export/VideoWriter.h"
#include "VistrelInterface.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFallbackFps = 25.0;

QString tr(const char* text) { return QCoreApplication::translate("VideoExporter", text); }

} // namespace

VideoExporter::VideoExporter(
    VistrelInterface* engine, std::vector<Measurement> measurements, bool screenDrawsLines)
    : engine(engine)
    , measurements(std::move(measurements))
    , screenDrawsLines(screenDrawsLines)
{ }

long long VideoExporter::frameTotal() const
{
    const long long known = EngineFunctions::of(engine).frameTotal();
    if (known > 0)
        return known;
    const double count = engine ? engine->getFrameCount() : 0.0;
    return std::isfinite(count) && count > 0.0 ? static_cast<long long>(count) : 0;
}

VideoExporter::Result VideoExporter::run(const QString& path, long long first, long long last,
    const std::atomic<bool>& cancel, const Progress& progress) const
{
    Result result;
    VideoWriter writer(engine);
    const auto target = writer.targetFor(path);
    if (!engine || !target) {
        result.error = tr("This machine has no video encoder the engine can use.");
        return result;
    }
    result.path = target->first;
    const QSize size(engine->getFrameWidth(), engine->getFrameHeight());
    const double rate = engine->getFps();
    const double fps = std::isfinite(rate) && rate > 0.0 ? rate : kFallbackFps;
    if (!writer.open(result.path, size, fps, target->second)) {
        result.error = tr("The file cannot be written there.");
        return result;
    }
    const long long total = frameTotal();
    const long long end = last < 0 || (total > 0 && last >= total) ? total - 1 : last;
    const long long expected = std::max(0LL, end - first + 1);
    const AnnotatedFrame frames(engine, measurements, screenDrawsLines);
    // A container may promise more frames than it holds: the video's real
    // end stops the loop, the promised one only the progress figure.
    for (long long index = std::max(0LL, first); last < 0 || index <= last; ++index) {
        if (cancel) {
            result.cancelled = true;
            return result;
        }
        const QImage picture = frames.at(index);
        if (picture.isNull())
            break;
        if (!writer.write(picture)) {
            result.error = tr("The encoder failed.");
            return result;
        }
        ++result.frames;
        if (progress)
            progress(result.frames, std::max(expected, result.frames));
    }
    if (result.frames == 0) {
        result.error = tr("No frame of the video could be read.");
        return result;
    }
    result.written = writer.finish();
    if (!result.written)
        result.error = tr("The finished file could not be moved into place.");
    return result;
}
