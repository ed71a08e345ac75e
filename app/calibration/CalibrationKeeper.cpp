#include "calibration/CalibrationKeeper.h"

#include "calibration/EngineCalibration.h"
#include "calibration/FieldControls.h"
#include "measuring/MeasurementModel.h"

#include <QFile>
#include <QTimer>

CalibrationKeeper::CalibrationKeeper(
    VistrelInterface* engine, FieldControls* field, MeasurementModel* measurements, QObject* parent)
    : QObject(parent)
    , engine(engine)
    , field(field)
    , measurements(measurements)
    , saveTimer(new QTimer(this))
{
    saveTimer->setSingleShot(true);
    saveTimer->setInterval(0);
    connect(saveTimer, &QTimer::timeout, this, &CalibrationKeeper::save);
    connect(field, &FieldControls::signalOverlayChanged, this, &CalibrationKeeper::scheduleSave);
    connect(field, &FieldControls::clickSigmaChanged, this, &CalibrationKeeper::scheduleSave);
    connect(field, &FieldControls::pitchViewChanged, this, &CalibrationKeeper::scheduleSave);
    connect(field->centreCircleSetting(), &CentreCircleSetting::radiusChanged, this,
        &CalibrationKeeper::scheduleSave);
    connect(measurements, &MeasurementModel::measurementsChanged, this,
        &CalibrationKeeper::scheduleSave);
}

CalibrationKeeper::~CalibrationKeeper() { flush(); }

void CalibrationKeeper::videoOpened(const QString& path)
{
    flush();
    file = std::make_unique<CalibrationFile>(path);
    video = path;
    facts = EngineCalibration::videoFacts(engine, path);
    dataFolderTold = false;
    failureTold = false;
    measurements->clear();
    const CalibrationFile::Loaded loaded = file->load(facts.size);
    lastPath = loaded.path;
    if (loaded.data) {
        CalibrationData data = *loaded.data;
        // Times follow the video as it is now, not as it was described.
        data.video = facts;
        field->applyCalibration(data);
        field->setClickSigma(data.clickSigmaPx);
        for (const Measurement& measurement : EngineCalibration::measurementsOf(data))
            measurements->add(measurement);
    } else if (!loaded.error.isEmpty()) {
        emit notice(tr("The calibration in %1 was not used: %2. The file is kept.")
                        .arg(loaded.path, loaded.error));
    }
    // Putting the file's contents back changed nothing worth writing.
    saveTimer->stop();
}

bool CalibrationKeeper::importFrom(const QString& path, QString* error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    const std::optional<CalibrationData> data = CalibrationFile::fromJson(in.readAll(), error);
    if (!data)
        return false;
    if (!file) {
        *error = tr("no video is open to take it");
        return false;
    }
    if (data->video.size != facts.size) {
        *error = tr("it belongs to a video of %1 x %2 pixels, the open one has %3 x %4")
                     .arg(data->video.size.width())
                     .arg(data->video.size.height())
                     .arg(facts.size.width())
                     .arg(facts.size.height());
        return false;
    }
    field->importCalibration(*data);
    return true;
}

void CalibrationKeeper::flush()
{
    if (saveTimer->isActive())
        save();
}

void CalibrationKeeper::scheduleSave()
{
    if (file)
        saveTimer->start();
}

void CalibrationKeeper::save()
{
    saveTimer->stop();
    if (!file)
        return;
    QString error;
    bool usedDataFolder = false;
    if (!file->save(
            EngineCalibration::read(facts, *field, *measurements), &error, &usedDataFolder)) {
        if (!failureTold)
            emit notice(tr("The calibration cannot be saved: %1").arg(error));
        failureTold = true;
        return;
    }
    lastPath = usedDataFolder ? file->inDataFolder() : file->besideVideo();
    if (usedDataFolder && !dataFolderTold)
        emit notice(
            tr("The video's folder cannot be written: calibration kept in %1").arg(lastPath));
    dataFolderTold = dataFolderTold || usedDataFolder;
}
