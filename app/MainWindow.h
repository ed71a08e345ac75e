#pragma once

#include <QMainWindow>

#include <memory>

class CalibrationKeeper;
class ExportController;
class FieldControls;
class MeasureTool;
class MeasurementModel;
class MeasurementsPanel;
class MovementWatch;
class PitchMeasurer;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QUndoStack;
class VideoControls;
class VideoScreenAdapter;
class VistrelInterface;

// The program's main window: wires the video controls, the field controls and
// the video screen together and offers the menus, tool bars and shortcuts.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(bool useOpenGL, VistrelInterface* engine);
    ~MainWindow() override;

    static constexpr int kRecentFileCount = 8;

    // Opens a video as if it had been chosen in the open dialog.
    void openVideo(const QString& path);
    // The files opened last, newest first, as File > Open Recent lists them.
    QStringList recentFiles() const;
    QString statusText() const;
    // Takes the corners, centre and dimensions from a calibration file; a
    // refusal is told in a box. False when refused.
    bool importCalibration(const QString& path);
    // Writes the measurements as CSV; a failure is told in a box.
    bool exportMeasurements(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void about();
    void showFieldControls();
    void showVideoControls();
    void updateStatusBar();
    void openVideoFile();
    void updatePlay();
    void updatePause();
    void videoOpened(const QString& path);
    void showOpenError(const QString& path, const QString& reason);
    void rebuildRecentMenu();
    void setMeasuring(bool on);
    void addMeasurement(const QPointF& from, const QPointF& to);
    void deleteMeasurement(int row);
    void deleteSelectedMeasurement();
    void undo();
    void showPitchPosition(const QPointF& video);
    void applyClickSigma(double sigmaPx);
    void chooseCalibrationToImport();
    void chooseMeasurementsExport();
    void findPitch();
    void showMovementWarning(double meanPx);
    void hideMovementWarning();
    void followPlayback();

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void createDocks();
    void createPlaybackActions();
    void connectStatus();
    void createMeasuring();
    void createMovementWatch();
    void followCalibration();
    void refreshFitReadout();
    void createExportActions();
    bool calibrated() const;
    QSize usefulSize() const;
    QString calibrationText() const;
    QString playbackText() const;
    void createFileActions();
    void showFileError(const QString& title, const QString& text, const QString& reason);
    void growToVideo();
    QAction* makeAction(const QString& text, const QString& shortcut, const QString& tip,
        const char* icon, const char* name);

    VistrelInterface* engine;
    // The OpenGL screen scales the picture to its own size; the plain one
    // shows it at the video's size and sizes itself.
    bool screenScalesPicture;
    VideoControls* videoControls = nullptr;
    // A relay that is never shown, so no widget parent owns it.
    std::unique_ptr<VideoScreenAdapter> screenAdapter;
    QWidget* videoScreen = nullptr;
    FieldControls* fieldControls = nullptr;
    std::unique_ptr<PitchMeasurer> measurer;
    // Saves the calibration of the open video; gone before the panels it reads.
    std::unique_ptr<CalibrationKeeper> keeper;
    MeasurementModel* measurements = nullptr;
    MeasureTool* measureTool = nullptr;
    MeasurementsPanel* measurementsPanel = nullptr;
    // Measurements added and deleted; Ctrl+Z in Measure mode walks it back.
    QUndoStack* measureHistory = nullptr;
    QAction* measureAction = nullptr;
    // Ctrl+K: the engine looks for the pitch's corners on the current frame.
    QAction* findPitchAction = nullptr;
    MovementWatch* movementWatch = nullptr;
    QLabel* movementLabel = nullptr;
    QToolButton* findAgainButton = nullptr;
    QAction* deleteMeasurementAction = nullptr;
    QMenu* measureMenu = nullptr;
    QLabel* readoutLabel = nullptr;
    QDockWidget* measurementsDock = nullptr;
    QAction* openAction = nullptr;
    QAction* importCalibrationAction = nullptr;
    QAction* exportMeasurementsAction = nullptr;
    // File > Export video and File > Save picture.
    ExportController* exporter = nullptr;
    QAction* playAction = nullptr;
    QAction* stepForwardAction = nullptr;
    QAction* stepBackAction = nullptr;
    QAction* firstFrameAction = nullptr;
    QAction* undoPointAction = nullptr;
    QAction* fieldControlsAction = nullptr;
    QAction* videoControlsAction = nullptr;
    QAction* exitAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* aboutQtAction = nullptr;
    QMenu* fileMenu = nullptr;
    QMenu* recentMenu = nullptr;
    QMenu* playbackMenu = nullptr;
    QMenu* windowMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QToolBar* fileToolBar = nullptr;
    QToolBar* controlsToolBar = nullptr;
    QLabel* statusLabel = nullptr;
    QDockWidget* fieldControlsDock = nullptr;
    QDockWidget* videoControlsDock = nullptr;
};
