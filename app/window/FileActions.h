#pragma once

#include <QObject>
#include <QStringList>

class CalibrationKeeper;
class MeasurementModel;
class QAction;
class QMenu;
class QWidget;
class VideoControls;

// The File menu's own entries: Open, Open Recent, Import Calibration,
// Export Measurements and Exit, the list of recent files kept in the
// settings, and the boxes that tell why a file could not be used. The boxes
// are window-modal and do not block: the video that was open plays on.
class FileActions : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRecentFileCount = 8;

    FileActions(VideoControls* videoControls, CalibrationKeeper* keeper,
        MeasurementModel* measurements, QWidget* window);

    QAction* openAction() const { return open; }
    QAction* exitAction() const { return exit; }
    // Open, Open Recent, the calibration and measurement entries, Exit.
    void fillMenu(QMenu* fileMenu);

    // The files opened last, newest first, as File > Open Recent lists them.
    QStringList recentFiles() const;
    // Puts a video that opened at the top of the recent files.
    void noteOpened(const QString& path);
    void showOpenError(const QString& path, const QString& reason);
    // Takes the corners, centre and dimensions from a calibration file; a
    // refusal is told in a box. False when refused.
    bool importCalibration(const QString& path);
    // Writes the measurements as CSV; a failure is told in a box.
    bool exportMeasurements(const QString& path);

private:
    void rebuildRecentMenu();
    void chooseCalibrationToImport();
    void chooseMeasurementsExport();
    void showFileError(const QString& title, const QString& text, const QString& reason);

    VideoControls* videoControls;
    CalibrationKeeper* keeper;
    MeasurementModel* measurements;
    QWidget* window;
    QAction* open = nullptr;
    QAction* importCalibrationAction = nullptr;
    QAction* exportMeasurementsAction = nullptr;
    QAction* exit = nullptr;
    QMenu* recentMenu = nullptr;
};
