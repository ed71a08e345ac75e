#pragma once

#include <QMainWindow>

#include <memory>

class CalibrationKeeper;
class ExportController;
class FieldControls;
class FileActions;
class FindPitchAction;
class MeasureActions;
class MovementWarning;
class PlaybackActions;
class PlayerActions;
class QAction;
class LandmarkPanel;
class StraightenLines;
class QDockWidget;
class QLabel;
class QMenu;
class VideoControls;
class VideoScreenAdapter;
class VistrelInterface;

// The program's main window: wires the video controls, the field controls,
// the video screen and the parts that hold the actions of each role (files,
// playback, measuring, finding the pitch, the movement warning, export)
// together into menus, tool bars, docks and the status bar.
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

private:
    void createParts();
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void createDocks();
    QDockWidget* addDock(const QString& title, const char* name, QWidget* content,
        Qt::DockWidgetAreas areas, Qt::DockWidgetArea area);
    void connectParts();
    void connectStatus();
    void videoOpened(const QString& path);
    void about();
    void toggleDock(QDockWidget* dock, QAction* action);
    void updateStatusBar();
    QString calibrationText() const;
    QString playbackText() const;
    void growToVideo();
    QSize usefulSize() const;
    void showNotice(const QString& text);

    VistrelInterface* engine;
    // The OpenGL screen scales the picture to its own size; the plain one
    // shows it at the video's size and sizes itself.
    bool screenScalesPicture;
    VideoControls* videoControls = nullptr;
    // A relay that is never shown, so no widget parent owns it.
    std::unique_ptr<VideoScreenAdapter> screenAdapter;
    QWidget* videoScreen = nullptr;
    FieldControls* fieldControls = nullptr;
    MeasureActions* measuring = nullptr;
    // Saves the calibration of the open video; gone before the panels it reads.
    std::unique_ptr<CalibrationKeeper> keeper;
    FileActions* files = nullptr;
    PlaybackActions* playback = nullptr;
    FindPitchAction* findPitch = nullptr;
    StraightenLines* straightenLines = nullptr;
    // Lives in its dock, which owns it.
    LandmarkPanel* landmarks = nullptr;
    MovementWarning* movementWarning = nullptr;
    // Track players, the pitch view and the players table.
    PlayerActions* players = nullptr;
    // File > Export video and File > Save picture.
    ExportController* exporter = nullptr;
    QAction* fieldControlsAction = nullptr;
    QAction* videoControlsAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* aboutQtAction = nullptr;
    QMenu* fileMenu = nullptr;
    QMenu* windowMenu = nullptr;
    QLabel* statusLabel = nullptr;
    QDockWidget* fieldControlsDock = nullptr;
    QDockWidget* videoControlsDock = nullptr;
    QDockWidget* measurementsDock = nullptr;
};
