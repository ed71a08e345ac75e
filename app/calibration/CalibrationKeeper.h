#pragma once

#include "calibration/CalibrationFile.h"

#include <QObject>

#include <memory>

class FieldControls;
class MeasurementModel;
class QTimer;
class VistrelInterface;

// Keeps the open video's calibration file in step with the program: loads it
// when a video opens and puts the pitch and the measurements back, and saves
// every change of them. Changes made within one turn of the event loop are
// saved together; the last one is never lost, as a pending save is done
// before another video opens and when the keeper goes.
class CalibrationKeeper : public QObject
{
    Q_OBJECT

public:
    CalibrationKeeper(VistrelInterface* engine, FieldControls* field,
        MeasurementModel* measurements, QObject* parent = nullptr);
    ~CalibrationKeeper() override;

    // The engine has just opened path: saves what is pending for the video
    // before, then loads path's file. Measurements of the video before are
    // cleared; with no file, the pitch stays as it is (a fixed camera).
    void videoOpened(const QString& path);
    // Takes the corners, centre and dimensions from another video's file, as
    // one step of the field controls' undo.
    // False with `error` set when the file is unusable or its video has
    // another size than the open one.
    bool importFrom(const QString& path, QString* error);
    // Saves now if a save is pending.
    void flush();

    QString videoPath() const { return video; }
    // The file last written or read for the open video.
    QString filePath() const { return lastPath; }

signals:
    // Something the user should read once, for the status bar.
    void notice(const QString& text);

private:
    void scheduleSave();
    void save();

    VistrelInterface* engine = nullptr;
    FieldControls* field = nullptr;
    MeasurementModel* measurements = nullptr;
    QTimer* saveTimer = nullptr;
    std::unique_ptr<CalibrationFile> file;
    QString video;
    CalibrationData::VideoFacts facts;
    QString lastPath;
    // Told once per video.
    bool dataFolderTold = false;
    bool failureTold = false;
};
