#include "cli/BatchExport.h"

#include "cli/TracksExport.h"

#include "calibration/CalibrationFile.h"
#include "calibration/EngineCalibration.h"
#include "engine/EngineFunctions.h"
#include "measuring/MeasurementModel.h"
#include "engine/PitchMeasurer.h"
#include "export/VideoExporter.h"
#include "VistrelInterface.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr int kFullPercent = 100;

QString tr(const char* text) { return QCoreApplication::translate("BatchExport", text); }

bool complete(const CalibrationData& data)
{
    return std::all_of(data.corners.begin(), data.corners.end(),
               [](const auto& corner) { return corner.has_value(); })
        && data.length > 0.0 && data.width > 0.0;
}

} // namespace

BatchExport::BatchExport(VistrelInterface* engine, std::FILE* messages)
    : engine(engine)
    , messages(messages)
{ }

BatchExport::~BatchExport() = default;

int BatchExport::run(Kind kind, const QString& out, const QString& video)
{
    if (!engine)
        return fail(tr("the Vistrel library could not be loaded"));
    if (!openCalibrated(video))
        return kExitFailed;
    if (kind == Kind::Tracks)
        return exportTracks(out);
    return kind == Kind::Video ? exportVideo(out) : exportCsv(out);
}

int BatchExport::fail(const QString& message) const
{
    std::fprintf(messages, "tarvola: %s\n", message.toLocal8Bit().constData());
    std::fflush(messages);
    return kExitFailed;
}

// Opens the video in the engine and gives it the calibration saved for it.
bool BatchExport::openCalibrated(const QString& video)
{
    if (!QFileInfo(video).isFile() || engine->LoadVideo(QFile::encodeName(video).toStdString()) != 0
        || engine->getFrameWidth() <= 0 || engine->getFrameHeight() <= 0) {
        fail(tr("%1 cannot be opened as a video").arg(video));
        return false;
    }
    CalibrationFile file(video);
    const CalibrationFile::Loaded loaded
        = file.load(QSize(engine->getFrameWidth(), engine->getFrameHeight()));
    if (!loaded.data) {
        fail(loaded.error.isEmpty() ? tr("%1 has no saved calibration").arg(video)
                                    : tr("%1: %2").arg(loaded.path, loaded.error));
        return false;
    }
    if (!complete(*loaded.data) || !EngineCalibration::apply(engine, *loaded.data)) {
        fail(tr("%1: the saved calibration is incomplete or refused").arg(loaded.path));
        return false;
    }
    VistrelInterface* const forEngine = engine;
    measurer = std::make_unique<PitchMeasurer>(
        engine, [forEngine](const char* name) { return EngineFunctions::symbol(forEngine, name); });
    measurements = std::make_unique<MeasurementModel>(measurer.get());
    for (const Measurement& m : EngineCalibration::measurementsOf(*loaded.data))
        measurements->add(m);
    return true;
}

int BatchExport::exportVideo(const QString& out)
{
    const VideoExporter exporter(engine, measurements->measurements());
    const std::atomic<bool> never { false };
    const VideoExporter::Result result = exporter.run(
        out, 0, -1, never, [this](long long done, long long total) { showProgress(done, total); });
    if (!result.written)
        return fail(tr("%1: %2").arg(out, result.error));
    if (result.path != out)
        std::fprintf(messages, "tarvola: written to %s\n", result.path.toLocal8Bit().constData());
    return kExitDone;
}

int BatchExport::exportCsv(const QString& out)
{
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(measurements->toCsv().toUtf8()) < 0
        || !file.commit())
        return fail(tr("%1 cannot be written: %2").arg(out, file.errorString()));
    showProgress(1, 1);
    return kExitDone;
}

int BatchExport::exportTracks(const QString& out)
{
    const QString problem = TracksExport(engine, messages).run(out);
    return problem.isEmpty() ? kExitDone : fail(tr("%1: %2").arg(out, problem));
}

void BatchExport::showProgress(long long done, long long total)
{
    const int percent
        = total > 0 ? int(std::min<long long>(done * kFullPercent / total, kFullPercent)) : 0;
    if (percent == shownPercent)
        return;
    shownPercent = percent;
    std::fprintf(messages, "%d%%\n", percent);
    std::fflush(messages);
}
