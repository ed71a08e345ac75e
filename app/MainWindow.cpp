#include "MainWindow.h"

#include "calibration/CalibrationKeeper.h"
#include "engine/EngineFunctions.h"
#include "export/ExportController.h"
#include "calibration/FieldControls.h"
#include "MainException.h"
#include "measuring/MeasureTool.h"
#include "measuring/MeasurementCommand.h"
#include "measuring/MeasurementModel.h"
#include "measuring/MeasurementsPanel.h"
#include "calibration/MovementWatch.h"
#include "engine/PitchMeasurer.h"
#include "playback/VideoControls.h"
#include "screens/VideoScreenAdapter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

constexpr const char* kOpenIcon = ":/images/Open.png";
constexpr const char* kPlayFastIcon = ":/images/PlayFast.png";
constexpr const char* kPauseFastIcon = ":/images/PauseFast.png";
constexpr const char* kFieldControlsIcon = ":/images/FieldControls.png";
constexpr const char* kVideoControlsIcon = ":/images/VideoControls.png";
constexpr const char* kExitIcon = ":/images/Exit.png";
constexpr const char* kProgramIcon = ":/images/TarvolaIcon.png";
constexpr const char* kRecentFilesKey = "recentFiles";
// How long a passing note stays in the status bar.
constexpr int kNoticeMs = 8000;
// Found corners further out than this are not believed (and would overflow
// the conversion to pixels).
constexpr double kCornerLimitPx = 1e6;
// The share of the display's free area the window takes when it opens.
constexpr double kStartShareOfDisplay = 0.75;
// How long a notice about the calibration file stays in the status bar.
constexpr int kFileNoticeMs = 15000;

QSettings settings() { return QSettings(QStringLiteral("Tarvola"), QStringLiteral("Tarvola")); }

QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

} // namespace

MainWindow::MainWindow(bool useOpenGL, VistrelInterface* engine)
    : QMainWindow(nullptr)
    , engine(engine)
    , screenScalesPicture(useOpenGL)
{
    if (!engine) {
        MainException error(tr("Could not load the Vistrel library."));
        error.showErrorMessage();
        std::exit(-1);
    }
    setWindowTitle(tr("Tarvola"));
    videoControls = new VideoControls(engine);
    fieldControls = new FieldControls(engine);
    screenAdapter = std::make_unique<VideoScreenAdapter>(useOpenGL, videoControls, fieldControls);
    videoScreen = screenAdapter->screen();
    createMeasuring();
    keeper = std::make_unique<CalibrationKeeper>(engine, fieldControls, measurements);

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    createDocks();
    createExportActions();
    setCentralWidget(videoScreen);
    // The picture starts with the focus, so that the playback keys work
    // until the user types into an edit.
    videoScreen->setFocus();
    setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
    fieldControlsDock->close();
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    setAcceptDrops(true);
    resize(usefulSize());

    connect(
        videoControls, &VideoControls::giveNewVideoResolution, this, &MainWindow::openVideoFile);
    connect(videoControls, &VideoControls::videoOpened, this, &MainWindow::videoOpened);
    connect(videoControls, &VideoControls::openFailed, this, &MainWindow::showOpenError);
    connect(keeper.get(), &CalibrationKeeper::notice, statusBar(),
        [this](const QString& text) { statusBar()->showMessage(text, kFileNoticeMs); });
    connectStatus();
    createMovementWatch();
    rebuildRecentMenu();
}

// Most of the display, whatever its size, rather than the few hundred
// pixels the panels alone would ask for.
QSize MainWindow::usefulSize() const
{
    const QScreen* display = screen();
    if (!display)
        return sizeHint();
    const QSize available = display->availableGeometry().size();
    return (QSizeF(available) * kStartShareOfDisplay).toSize().expandedTo(minimumSizeHint());
}

MainWindow::~MainWindow() = default;

void MainWindow::openVideo(const QString& path) { videoControls->loadFile(path); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    keeper->flush();
    QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    openVideo(urls.first().toLocalFile());
}

void MainWindow::videoOpened(const QString& path)
{
    setWindowTitle(tr("%1 - Tarvola").arg(fileNameOf(path)));
    // The measurements belong to the video before; their history goes with them.
    measureHistory->clear();
    keeper->videoOpened(path);
    importCalibrationAction->setEnabled(true);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    settings().setValue(QString::fromLatin1(kRecentFilesKey), files.mid(0, kRecentFileCount));
    rebuildRecentMenu();
    movementWatch->restart();
    updateStatusBar();
}

// Told in a window-modal box that does not block: the video that was open
// plays on behind it.
void MainWindow::showOpenError(const QString& path, const QString& reason)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Cannot open video"),
        tr("%1 cannot be opened.").arg(fileNameOf(path)), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("openErrorBox"));
    box->setInformativeText(reason);
    box->setDetailedText(path);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QStringList MainWindow::recentFiles() const
{
    return settings().value(QString::fromLatin1(kRecentFilesKey)).toStringList();
}

void MainWindow::rebuildRecentMenu()
{
    recentMenu->clear();
    const QStringList files = recentFiles();
    for (const QString& path : files) {
        QAction* entry = recentMenu->addAction(fileNameOf(path));
        entry->setStatusTip(path);
        connect(entry, &QAction::triggered, this, [this, path] { openVideo(path); });
    }
    recentMenu->setEnabled(!files.isEmpty());
}
QAction* MainWindow::makeAction(const QString& text, const QString& shortcut, const QString& tip,
    const char* icon, const char* name)
{
    auto* action = new QAction(text, this);
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut));
    action->setStatusTip(tip);
    if (icon)
        action->setIcon(QIcon(QString::fromLatin1(icon)));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void MainWindow::createActions()
{
    openAction
        = makeAction(tr("&Open"), tr("Ctrl+O"), tr("Open video file"), kOpenIcon, "openAction");
    connect(openAction, &QAction::triggered, videoControls, &VideoControls::openFile);

    playAction = makeAction(
        tr("Pla&y"), tr("Ctrl+Y"), tr("Play/Pause video playback"), kPlayFastIcon, "playAction");
    connect(playAction, &QAction::triggered, videoControls, &VideoControls::playPauseVideo);
    connect(videoControls, &VideoControls::play, this, &MainWindow::updatePlay);
    connect(videoControls, &VideoControls::pause, this, &MainWindow::updatePause);

    fieldControlsAction = makeAction(tr("Field Controls"), tr("Ctrl+F"),
        tr("Show/Hide field controls"), kFieldControlsIcon, "fieldControlsAction");
    fieldControlsAction->setCheckable(true);
    connect(fieldControlsAction, &QAction::triggered, this, &MainWindow::showFieldControls);

    videoControlsAction = makeAction(tr("Video Controls"), tr("Ctrl+P"),
        tr("Show/Hide video playback controls"), kVideoControlsIcon, "videoControlsAction");
    videoControlsAction->setCheckable(true);
    connect(videoControlsAction, &QAction::triggered, this, &MainWindow::showVideoControls);

    exitAction = makeAction(
        tr("E&xit"), tr("Ctrl+Q"), tr("Exit the application"), kExitIcon, "exitAction");
    connect(exitAction, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    createFileActions();

    aboutAction = makeAction(
        tr("&About Tarvola"), QString(), tr("About Tarvola"), kProgramIcon, "aboutAction");
    connect(aboutAction, &QAction::triggered, this, &MainWindow::about);

    aboutQtAction
        = makeAction(tr("About &Qt"), QString(), tr("About Qt"), nullptr, "aboutQtAction");
    connect(aboutQtAction, &QAction::triggered, qApp, &QApplication::aboutQt);
    createPlaybackActions();
}

// Keys that work wherever the focus is in the window. A line edit with the
// focus still takes Space, the arrows and Home for its own typing.
void MainWindow::createPlaybackActions()
{
    playAction->setShortcuts({ QKeySequence(tr("Ctrl+Y")), QKeySequence(Qt::Key_Space) });

    stepForwardAction = makeAction(tr("Step &Forward"), QString(),
        tr("Show the next frame (while stopped or paused)"), nullptr, "stepForwardAction");
    stepForwardAction->setShortcuts({ QKeySequence(Qt::Key_Period), QKeySequence(Qt::Key_Right) });
    connect(stepForwardAction, &QAction::triggered, videoControls, &VideoControls::stepForward);

    stepBackAction = makeAction(tr("Step &Back"), QString(),
        tr("Show the previous frame (while stopped or paused)"), nullptr, "stepBackAction");
    stepBackAction->setShortcuts({ QKeySequence(Qt::Key_Comma), QKeySequence(Qt::Key_Left) });
    connect(stepBackAction, &QAction::triggered, videoControls, &VideoControls::stepBack);

    firstFrameAction = makeAction(tr("F&irst Frame"), QString(),
        tr("Show the first frame (while stopped or paused)"), nullptr, "firstFrameAction");
    firstFrameAction->setShortcut(QKeySequence(Qt::Key_Home));
    connect(firstFrameAction, &QAction::triggered, videoControls, &VideoControls::showFirstFrame);

    undoPointAction = makeAction(tr("&Undo"), QString(),
        tr("Take back the last corner or centre point; in Measure mode the last measurement "
           "added or deleted"),
        nullptr, "undoPointAction");
    undoPointAction->setShortcut(QKeySequence::Undo);
    connect(undoPointAction, &QAction::triggered, this, &MainWindow::undo);

    measureAction = makeAction(tr("&Measure"), QString(),
        tr("Measure distances: click two points or drag from one to the other"), nullptr,
        "measureAction");
    measureAction->setShortcut(QKeySequence(Qt::Key_M));
    measureAction->setCheckable(true);
    connect(measureAction, &QAction::toggled, this, &MainWindow::setMeasuring);

    deleteMeasurementAction = makeAction(tr("&Delete Measurement"), QString(),
        tr("Delete the selected measurement"), nullptr, "deleteMeasurementAction");
    deleteMeasurementAction->setShortcut(QKeySequence::Delete);
    connect(
        deleteMeasurementAction, &QAction::triggered, this, &MainWindow::deleteSelectedMeasurement);

    findPitchAction = makeAction(tr("Find &Pitch"), tr("Ctrl+K"),
        tr("Find the pitch's four corners on this frame and calibrate with them"), nullptr,
        "findPitchAction");
    findPitchAction->setEnabled(EngineFunctions::of(engine).canFindCorners());
    connect(findPitchAction, &QAction::triggered, this, &MainWindow::findPitch);
}

void MainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(openAction);
    recentMenu = fileMenu->addMenu(tr("Open &Recent"));
    recentMenu->setObjectName(QStringLiteral("recentMenu"));
    fileMenu->addSeparator();
    fileMenu->addActions({ importCalibrationAction, exportMeasurementsAction });
    fileMenu->addSeparator();
    fileMenu->addAction(exitAction);

    playbackMenu = menuBar()->addMenu(tr("&Playback"));
    playbackMenu->addActions(
        { playAction, stepBackAction, stepForwardAction, firstFrameAction, undoPointAction });

    measureMenu = menuBar()->addMenu(tr("&Measure"));
    measureMenu->addActions({ findPitchAction, measureAction, deleteMeasurementAction });

    windowMenu = menuBar()->addMenu(tr("&Window"));
    windowMenu->addAction(fieldControlsAction);
    windowMenu->addAction(videoControlsAction);

    helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(aboutAction);
    helpMenu->addAction(aboutQtAction);
}

void MainWindow::createToolBars()
{
    fileToolBar = addToolBar(tr("&File"));
    fileToolBar->setObjectName(QStringLiteral("fileToolBar"));
    fileToolBar->addAction(openAction);
    fileToolBar->addAction(playAction);

    controlsToolBar = addToolBar(tr("&Controls"));
    controlsToolBar->setObjectName(QStringLiteral("controlsToolBar"));
    controlsToolBar->addAction(fieldControlsAction);
    controlsToolBar->addAction(videoControlsAction);
    controlsToolBar->addAction(findPitchAction);
    controlsToolBar->addAction(measureAction);
}

void MainWindow::createStatusBar()
{
    statusLabel = new QLabel(tr("Status"));
    statusBar()->addWidget(statusLabel, 0);
    readoutLabel = new QLabel;
    readoutLabel->setObjectName(QStringLiteral("pitchReadout"));
    statusBar()->addPermanentWidget(readoutLabel);
    // Permanent, so that passing notes do not hide the warning.
    movementLabel = new QLabel;
    movementLabel->setObjectName(QStringLiteral("movementWarning"));
    movementLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    movementLabel->hide();
    statusBar()->addPermanentWidget(movementLabel);
    findAgainButton = new QToolButton;
    findAgainButton->setObjectName(QStringLiteral("findPitchAgainButton"));
    findAgainButton->setDefaultAction(findPitchAction);
    findAgainButton->hide();
    statusBar()->addPermanentWidget(findAgainButton);
}

// The field controls float on the right and start hidden; the video controls
// are docked at the bottom and start visible.
void MainWindow::createDocks()
{
    fieldControlsDock = new QDockWidget(tr("Field Controls"));
    fieldControlsDock->setFeatures(QDockWidget::DockWidgetFloatable);
    fieldControlsDock->setObjectName(QStringLiteral("fieldControlsDockWidget"));
    fieldControlsDock->setWidget(fieldControls);
    fieldControlsDock->setAllowedAreas(Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, fieldControlsDock);
    fieldControlsDock->setFloating(true);
    fieldControlsDock->close();

    videoControlsDock = new QDockWidget(tr("Video Controls"));
    videoControlsDock->setObjectName(QStringLiteral("videoControlsDockWidget"));
    videoControlsDock->setWidget(videoControls);
    videoControlsDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    videoControlsAction->setChecked(true);
    addDockWidget(Qt::BottomDockWidgetArea, videoControlsDock);

    measurementsDock = new QDockWidget(tr("Measurements"));
    measurementsDock->setObjectName(QStringLiteral("measurementsDockWidget"));
    measurementsDock->setWidget(measurementsPanel);
    measurementsDock->setAllowedAreas(Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, measurementsDock);
    measurementsDock->close();
    windowMenu->addAction(measurementsDock->toggleViewAction());
}

void MainWindow::about()
{
    QMessageBox::about(this, tr("About Tarvola"),
        tr("<h2>Tarvola 1.0 alpha</h2>"
           "<p>Tarvola is a software tool for measuring distances in soccer game video "
           "recordings. Distances can be accurately measured despite perspective. "
           "<p>It is required to know the dimensions of the field and the four corners of the "
           "field should be visible. The full field must be visible and there should be very "
           "little distortion from the camera lens in order to achieve good results. The camera "
           "must not have changed position while recording the game."));
}

// The action's own check toggle is overwritten with the dock's new visibility.
void MainWindow::showFieldControls()
{
    const bool show = fieldControlsDock->isHidden();
    if (show)
        fieldControlsDock->show();
    else
        fieldControlsDock->close();
    fieldControlsAction->setChecked(show);
    updateGeometry();
}

void MainWindow::showVideoControls()
{
    const bool show = videoControlsDock->isHidden();
    if (show)
        videoControlsDock->show();
    else
        videoControlsDock->close();
    videoControlsAction->setChecked(show);
    updateGeometry();
}

void MainWindow::connectStatus()
{
    // A step, a seek or a pause shows another frame to compare the
    // calibration with; played frames are not compared, it takes milliseconds.
    connect(videoControls, &VideoControls::stateChanged, this, [this] {
        if (!videoControls->isPlaying())
            fieldControls->refreshFit();
    });
    connect(videoControls, &VideoControls::stateChanged, this, &MainWindow::updateStatusBar);
    connect(
        fieldControls, &FieldControls::signalOverlayChanged, this, &MainWindow::updateStatusBar);
    // A point given or a dimension typed while nothing plays shows at once
    // on the plain screen too, whose overlay the engine draws.
    connect(fieldControls, &FieldControls::signalOverlayChanged, videoControls,
        &VideoControls::redrawFrame);
    updateStatusBar();
}

void MainWindow::updateStatusBar() { statusLabel->setText(statusText()); }

QString MainWindow::statusText() const
{
    if (videoControls->currentFile().isEmpty())
        return tr("Open a video (Ctrl+O) or drop one on the window");
    const QString playback = playbackText();
    // Measure mode takes the clicks, so the corners cannot be given in it.
    const QString calibration = measureAction->isChecked() && !fieldControls->cornersComplete()
        ? tr("Click the four corners first")
        : calibrationText();
    return playback.isEmpty() ? calibration : calibration + tr("  |  ") + playback;
}

QString MainWindow::calibrationText() const
{
    switch (fieldControls->remainingCorners()) {
    case 4:
        return tr("Click the top left corner");
    case 3:
        return tr("Click the top right corner");
    case 2:
        return tr("Click the bottom left corner");
    case 1:
        return tr("Click the bottom right corner");
    default: {
        const QString calibrated = tr("Calibrated: %1 x %2 m")
                                       .arg(double(fieldControls->fieldLength()))
                                       .arg(double(fieldControls->fieldWidth()));
        const QString fit = fieldControls->fitText();
        return fit.isEmpty() ? calibrated : calibrated + tr(", ") + fit;
    }
    }
}

QString MainWindow::playbackText() const
{
    if (videoControls->isPlaying())
        return tr("Playing");
    const long long frame = videoControls->currentFrameIndex();
    if (frame < 0)
        return QString();
    if (videoControls->isVideoStopped())
        return tr("Stopped at frame %1").arg(frame);
    return tr("Paused at frame %1").arg(frame);
}

void MainWindow::openVideoFile()
{
    updateGeometry();
    growToVideo();
}

// A newly opened video is shown at its own size where the display has room
// for it: the window grows (it never shrinks) by what the picture area
// lacks, within the display's free area. A maximised window keeps its size.
void MainWindow::growToVideo()
{
    const QSize video(videoControls->frameWidth(), videoControls->frameHeight());
    if (video.isEmpty() || isMaximized() || isFullScreen())
        return;
    // The plain screen asks for the video plus its border.
    const QSize picture = screenScalesPicture ? video : videoScreen->sizeHint();
    QSize wanted = size() + (picture - videoScreen->size()).expandedTo(QSize(0, 0));
    if (const QScreen* display = screen()) {
        const QSize decorations = frameGeometry().size() - size();
        wanted = wanted.boundedTo(display->availableGeometry().size() - decorations);
    }
    resize(wanted.expandedTo(size()));
}

void MainWindow::updatePlay()
{
    playAction->setIcon(QIcon(QString::fromLatin1(kPlayFastIcon)));
    playAction->setStatusTip(tr("Play video"));
}

void MainWindow::updatePause()
{
    playAction->setIcon(QIcon(QString::fromLatin1(kPauseFastIcon)));
    playAction->setStatusTip(tr("Pause video playback"));
}

// The measuring parts: the engine's measuring functions, the table of
// measurements, the tool the screens share, the dock and the undo history.
void MainWindow::createMeasuring()
{
    VistrelInterface* const forEngine = engine;
    measurer = std::make_unique<PitchMeasurer>(
        engine, [forEngine](const char* name) { return EngineFunctions::symbol(forEngine, name); });
    measurements = new MeasurementModel(measurer.get(), this);
    measurements->setObjectName(QStringLiteral("measurementModel"));
    measureTool = new MeasureTool(
        measurements, [this] { return calibrated(); }, this);
    screenAdapter->setMeasureTool(measureTool);
    measurementsPanel = new MeasurementsPanel(measurements);
    measureHistory = new QUndoStack(this);
    applyClickSigma(fieldControls->clickSigma());

    connect(measureTool, &MeasureTool::measured, this, &MainWindow::addMeasurement);
    connect(measureTool, &MeasureTool::notCalibrated, this, &MainWindow::updateStatusBar);
    connect(measureTool, &MeasureTool::cursorMoved, this, &MainWindow::showPitchPosition);
    connect(measureTool, &MeasureTool::cursorLeft, this, [this] { readoutLabel->clear(); });
    connect(measurementsPanel, &MeasurementsPanel::selectionChanged, measureTool,
        &MeasureTool::setSelectedRow);
    connect(measurementsPanel, &MeasurementsPanel::deleteRequested, this,
        &MainWindow::deleteMeasurement);
    connect(fieldControls, &FieldControls::signalOverlayChanged, measurements,
        &MeasurementModel::recalculate);
    connect(fieldControls, &FieldControls::clickSigmaChanged, this, &MainWindow::applyClickSigma);
}

bool MainWindow::calibrated() const
{
    return fieldControls->cornersComplete() && measurer->available();
}

void MainWindow::setMeasuring(bool on)
{
    measureTool->setActive(on);
    if (on)
        measurementsDock->show();
    updateStatusBar();
}

// Kept with the frame on screen when it was measured and the engine's
// position then.
void MainWindow::addMeasurement(const QPointF& from, const QPointF& to)
{
    Measurement measurement;
    measurement.frame = EngineFunctions::of(engine).frameIndex();
    measurement.timeMs = engine->getPosition();
    measurement.from = from;
    measurement.to = to;
    measureHistory->push(new MeasurementCommand(
        measurements, MeasurementCommand::Kind::Add, measurements->rowCount(), measurement));
    measurementsPanel->selectRow(measurements->rowCount() - 1);
}

void MainWindow::deleteMeasurement(int row)
{
    if (row < 0 || row >= measurements->rowCount())
        return;
    measureHistory->push(
        new MeasurementCommand(measurements, MeasurementCommand::Kind::Remove, row));
}

void MainWindow::deleteSelectedMeasurement()
{
    deleteMeasurement(measurementsPanel->selectedRow());
}

// One key, two histories: in Measure mode the measurements', otherwise the
// corner and centre points'.
void MainWindow::undo()
{
    if (measureAction->isChecked())
        measureHistory->undo();
    else
        fieldControls->undoLastPoint();
}

void MainWindow::showPitchPosition(const QPointF& video)
{
    if (!calibrated()) {
        readoutLabel->clear();
        return;
    }
    const std::optional<QPointF> pitch = measurer->toPitch(video);
    readoutLabel->setText(pitch
            ? tr("x %1 m  y %2 m").arg(pitch->x(), 0, 'f', 2).arg(pitch->y(), 0, 'f', 2)
            : tr("Off the pitch plane"));
}

void MainWindow::applyClickSigma(double sigmaPx)
{
    measurer->setClickSigma(sigmaPx);
    measurementsPanel->showClickSigma(measurer->clickSigma());
    measurements->recalculate();
}

// File menu entries for the calibration file and the measurements.
void MainWindow::createFileActions()
{
    importCalibrationAction = makeAction(tr("&Import Calibration..."), QString(),
        tr("Take the corners and dimensions from another video of the same camera"), nullptr,
        "importCalibrationAction");
    importCalibrationAction->setEnabled(false);
    connect(
        importCalibrationAction, &QAction::triggered, this, &MainWindow::chooseCalibrationToImport);

    exportMeasurementsAction = makeAction(tr("&Export Measurements..."), QString(),
        tr("Save the measurements as a CSV file"), nullptr, "exportMeasurementsAction");
    connect(
        exportMeasurementsAction, &QAction::triggered, this, &MainWindow::chooseMeasurementsExport);
}

void MainWindow::chooseCalibrationToImport()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Import calibration"),
        QFileInfo(keeper->videoPath()).absolutePath(),
        tr("Tarvola calibrations (*.tarvola.json);;All files (*)"));
    if (!path.isEmpty())
        importCalibration(path);
}

bool MainWindow::importCalibration(const QString& path)
{
    QString reason;
    if (keeper->importFrom(path, &reason))
        return true;
    showFileError(tr("Cannot import calibration"),
        tr("The calibration in %1 cannot be used.").arg(fileNameOf(path)), reason);
    return false;
}

void MainWindow::chooseMeasurementsExport()
{
    const QString video = keeper->videoPath();
    const QString suggested
        = video.isEmpty() ? QString() : video + QStringLiteral(".measurements.csv");
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export measurements"), suggested, tr("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        exportMeasurements(path);
}

// Written whole or not at all: an old file of that name stays until the
// new one is complete.
bool MainWindow::exportMeasurements(const QString& path)
{
    const QByteArray csv = measurements->toCsv().toUtf8();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size() && file.commit())
        return true;
    showFileError(tr("Cannot export measurements"),
        tr("The measurements cannot be written to %1.").arg(fileNameOf(path)), file.errorString());
    return false;
}

// A window-modal box that does not block, as for a video that cannot open.
void MainWindow::showFileError(const QString& title, const QString& text, const QString& reason)
{
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("fileErrorBox"));
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// The watch runs while a calibrated video plays and judges the calibration
// in place.
void MainWindow::createMovementWatch()
{
    movementWatch = new MovementWatch(engine, this);
    movementWatch->setObjectName(QStringLiteral("movementWatch"));
    connect(movementWatch, &MovementWatch::cameraMoved, this, &MainWindow::showMovementWarning);
    connect(movementWatch, &MovementWatch::cameraSettled, this, &MainWindow::hideMovementWarning);
    connect(videoControls, &VideoControls::stateChanged, this, &MainWindow::followPlayback);
    connect(
        fieldControls, &FieldControls::signalOverlayChanged, this, &MainWindow::followCalibration);
    followCalibration();
}

void MainWindow::followCalibration()
{
    movementWatch->setCalibration(
        fieldControls->corners(), fieldControls->fieldLength(), fieldControls->fieldWidth());
    followPlayback();
}

void MainWindow::followPlayback()
{
    if (videoControls->isPlaying() && fieldControls->cornersComplete())
        movementWatch->start();
    else
        movementWatch->stop();
}

void MainWindow::showMovementWarning(double meanPx)
{
    movementLabel->setText(meanPx >= 0.0
            ? tr("The camera seems to have moved: the lines are %1 px off. Find pitch (Ctrl+K) "
                 "again?")
                  .arg(meanPx, 0, 'f', 1)
            : tr("The camera seems to have moved: the painted lines are no longer near the "
                 "calibrated ones. Find pitch (Ctrl+K) again?"));
    movementLabel->show();
    findAgainButton->show();
    refreshFitReadout();
}

void MainWindow::hideMovementWarning()
{
    movementLabel->hide();
    findAgainButton->hide();
    refreshFitReadout();
}

// The fit readout is otherwise renewed only while nothing plays; beside the
// warning it must not go on showing the fit from before the movement.
void MainWindow::refreshFitReadout()
{
    fieldControls->refreshFit();
    updateStatusBar();
}

// The search runs on the current frame under the engine's lock and takes
// tens of milliseconds: short enough to wait for here, behind a busy cursor.
void MainWindow::findPitch()
{
    if (videoControls->currentFile().isEmpty()) {
        statusBar()->showMessage(
            tr("Open a video first: the pitch is found on its picture"), kNoticeMs);
        return;
    }
    double found[8] = {};
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = EngineFunctions::of(engine).findCorners(found);
    QGuiApplication::restoreOverrideCursor();
    const bool believable = std::all_of(std::begin(found), std::end(found),
        [](double v) { return std::isfinite(v) && std::abs(v) < kCornerLimitPx; });
    if (result != 0 || !believable) {
        statusBar()->showMessage(tr("No pitch found on this frame: all four corners must be in "
                                    "the picture. The calibration is unchanged."),
            kNoticeMs);
        return;
    }
    std::array<QPoint, FieldControls::kCornerCount> corners;
    for (std::size_t i = 0; i < corners.size(); ++i)
        corners[i] = QPoint(int(std::lround(found[2 * i])), int(std::lround(found[2 * i + 1])));
    fieldControls->setFoundCorners(corners);
    movementWatch->restart();
    statusBar()->showMessage(tr("Pitch found and calibrated; Ctrl+Z takes it back"), kNoticeMs);
    fieldControls->offerMarkedSize();
}

// Grouped in the File menu above Exit; they need an open video.
void MainWindow::createExportActions()
{
    exporter = new ExportController(engine, videoControls, measurements, screenScalesPicture, this);
    QAction* exportVideo = makeAction(tr("Export &Video..."), QString(),
        tr("Write the video with the overlay and the measurements burnt in"), nullptr,
        "exportVideoAction");
    connect(exportVideo, &QAction::triggered, exporter, &ExportController::exportVideo);
    QAction* savePicture = makeAction(tr("Save &Picture..."), tr("Ctrl+Shift+S"),
        tr("Save the frame on screen with the overlay and the measurements as PNG"), nullptr,
        "savePictureAction");
    connect(savePicture, &QAction::triggered, exporter, &ExportController::savePicture);
    for (QAction* action : { exportVideo, savePicture }) {
        action->setEnabled(false);
        connect(videoControls, &VideoControls::videoOpened, action,
            [action] { action->setEnabled(true); });
    }
    fileMenu->insertActions(exitAction, { exportVideo, savePicture });
    fileMenu->insertSeparator(exitAction);
}
