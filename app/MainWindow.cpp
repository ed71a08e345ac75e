#include "MainWindow.h"

#include "MainException.h"
#include "calibration/CalibrationKeeper.h"
#include "calibration/FieldControls.h"
#include "calibration/FindPitchAction.h"
#include "calibration/LandmarkPanel.h"
#include "calibration/StraightenLines.h"
#include "calibration/MovementWarning.h"
#include "export/ExportController.h"
#include "measuring/MeasureActions.h"
#include "measuring/MeasurementsPanel.h"
#include "playback/VideoControls.h"
#include "players/PlayerActions.h"
#include "screens/VideoScreenAdapter.h"
#include "window/Actions.h"
#include "window/FileActions.h"
#include "window/PlaybackActions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>


namespace {

constexpr const char* kFieldControlsIcon = ":/images/FieldControls.png";
constexpr const char* kVideoControlsIcon = ":/images/VideoControls.png";
constexpr const char* kProgramIcon = ":/images/TarvolaIcon.png";
// How long a passing note stays in the status bar.
constexpr int kNoticeMs = 8000;
// The share of the display's free area the window takes when it opens.
constexpr double kStartShareOfDisplay = 0.75;
// How long a notice about the calibration file stays in the status bar.
constexpr int kFileNoticeMs = 15000;

static_assert(MainWindow::kRecentFileCount == FileActions::kRecentFileCount);

} // namespace

MainWindow::MainWindow(bool useOpenGL, VistrelInterface* engine)
    : QMainWindow(nullptr)
    , engine(engine)
    , screenScalesPicture(useOpenGL)
{
    if (!engine)
        MainException::endForMissingEngine();
    setWindowTitle(tr("Tarvola"));
    createParts();
    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    createDocks();
    setCentralWidget(videoScreen);
    // The picture starts with the focus, so that the playback keys work
    // until the user types into an edit.
    videoScreen->setFocus();
    setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    setAcceptDrops(true);
    resize(usefulSize());
    connectParts();
    connectStatus();
}

MainWindow::~MainWindow() = default;

// The panels, the screen and the parts that act on them. The calibration
// keeper reads the measurements, so it comes after them.
void MainWindow::createParts()
{
    videoControls = new VideoControls(engine);
    fieldControls = new FieldControls(engine);
    screenAdapter = std::make_unique<VideoScreenAdapter>(
        screenScalesPicture, videoControls, fieldControls);
    videoScreen = screenAdapter->screen();
    measuring = new MeasureActions(engine, fieldControls, screenAdapter.get(), this);
    keeper = std::make_unique<CalibrationKeeper>(engine, fieldControls, measuring->model());
    files = new FileActions(videoControls, keeper.get(), measuring->model(), this);
    playback = new PlaybackActions(videoControls, this);
    findPitch = new FindPitchAction(engine, videoControls, fieldControls, this);
    straightenLines = new StraightenLines(engine, videoControls, fieldControls, this);
    fieldControls->addButton(straightenLines->action());
    landmarks = new LandmarkPanel(engine, fieldControls);
    landmarks->attachTo(screenAdapter.get());
    movementWarning
        = new MovementWarning(engine, videoControls, fieldControls, findPitch->action(), this);
    exporter = new ExportController(
        engine, videoControls, measuring->model(), screenScalesPicture, this);
    players = new PlayerActions(engine, videoControls, fieldControls, screenAdapter.get(), this);
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

void MainWindow::openVideo(const QString& path) { videoControls->loadFile(path); }

QStringList MainWindow::recentFiles() const { return files->recentFiles(); }

bool MainWindow::importCalibration(const QString& path) { return files->importCalibration(path); }

bool MainWindow::exportMeasurements(const QString& path)
{
    return files->exportMeasurements(path);
}

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
    setWindowTitle(tr("%1 - Tarvola").arg(QFileInfo(path).fileName()));
    measuring->forgetHistory();
    keeper->videoOpened(path);
    files->noteOpened(path);
    players->videoOpened(path);
    movementWarning->restart();
    updateStatusBar();
}

// The window's own actions: showing and hiding the panels, and Help.
void MainWindow::createActions()
{
    fieldControlsAction = makeAction(this, tr("Field Controls"), tr("Ctrl+F"),
        tr("Show/Hide field controls"), kFieldControlsIcon, "fieldControlsAction");
    fieldControlsAction->setCheckable(true);
    connect(fieldControlsAction, &QAction::triggered, this,
        [this] { toggleDock(fieldControlsDock, fieldControlsAction); });

    videoControlsAction = makeAction(this, tr("Video Controls"), tr("Ctrl+P"),
        tr("Show/Hide video playback controls"), kVideoControlsIcon, "videoControlsAction");
    videoControlsAction->setCheckable(true);
    connect(videoControlsAction, &QAction::triggered, this,
        [this] { toggleDock(videoControlsDock, videoControlsAction); });

    aboutAction = makeAction(
        this, tr("&About Tarvola"), QString(), tr("About Tarvola"), kProgramIcon, "aboutAction");
    connect(aboutAction, &QAction::triggered, this, &MainWindow::about);

    aboutQtAction
        = makeAction(this, tr("About &Qt"), QString(), tr("About Qt"), nullptr, "aboutQtAction");
    connect(aboutQtAction, &QAction::triggered, qApp, &QApplication::aboutQt);
}

void MainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(tr("&File"));
    files->fillMenu(fileMenu);
    exporter->addActionsTo(fileMenu, files->exitAction());
    fileMenu->insertAction(files->exitAction(), players->exportAction());

    QMenu* playbackMenu = menuBar()->addMenu(tr("&Playback"));
    playback->addTo(playbackMenu);
    playbackMenu->addAction(measuring->undoAction());

    QMenu* measureMenu = menuBar()->addMenu(tr("&Measure"));
    measureMenu->addActions(
        { findPitch->action(), straightenLines->action(), measuring->measureAction(),
            measuring->deleteAction(), players->trackAction(), players->liveAction() });

    windowMenu = menuBar()->addMenu(tr("&Window"));
    windowMenu->addAction(fieldControlsAction);
    windowMenu->addAction(videoControlsAction);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(aboutAction);
    helpMenu->addAction(aboutQtAction);
}

void MainWindow::createToolBars()
{
    QToolBar* fileToolBar = addToolBar(tr("&File"));
    fileToolBar->setObjectName(QStringLiteral("fileToolBar"));
    fileToolBar->addAction(files->openAction());
    fileToolBar->addAction(playback->playAction());

    QToolBar* controlsToolBar = addToolBar(tr("&Controls"));
    controlsToolBar->setObjectName(QStringLiteral("controlsToolBar"));
    controlsToolBar->addAction(fieldControlsAction);
    controlsToolBar->addAction(videoControlsAction);
    controlsToolBar->addAction(findPitch->action());
    controlsToolBar->addAction(measuring->measureAction());
}

void MainWindow::createStatusBar()
{
    statusLabel = new QLabel(tr("Status"));
    statusBar()->addWidget(statusLabel, 0);
    statusBar()->addPermanentWidget(measuring->readout());
    movementWarning->addTo(statusBar());
}

// The field controls float on the right and start hidden; the video controls
// are docked at the bottom and start visible; the measurements open on the
// right with Measure mode.
void MainWindow::createDocks()
{
    fieldControlsDock = addDock(tr("Field Controls"), "fieldControlsDockWidget", fieldControls,
        Qt::RightDockWidgetArea, Qt::RightDockWidgetArea);
    fieldControlsDock->setFeatures(QDockWidget::DockWidgetFloatable);
    fieldControlsDock->setFloating(true);
    fieldControlsDock->close();

    videoControlsDock = addDock(tr("Video Controls"), "videoControlsDockWidget", videoControls,
        Qt::BottomDockWidgetArea, Qt::BottomDockWidgetArea);
    videoControlsAction->setChecked(true);

    measurementsDock = addDock(tr("Measurements"), "measurementsDockWidget", measuring->panel(),
        Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea, Qt::RightDockWidgetArea);
    measurementsDock->close();
    windowMenu->addAction(measurementsDock->toggleViewAction());

    QDockWidget* landmarksDock = addDock(tr("Landmarks"), "landmarksDockWidget", landmarks,
        Qt::RightDockWidgetArea | Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea);
    landmarksDock->close();
    windowMenu->addAction(landmarksDock->toggleViewAction());
    players->addDocksTo(this, windowMenu);
}

QDockWidget* MainWindow::addDock(const QString& title, const char* name, QWidget* content,
    Qt::DockWidgetAreas areas, Qt::DockWidgetArea area)
{
    auto* dock = new QDockWidget(title);
    dock->setObjectName(QString::fromLatin1(name));
    dock->setWidget(content);
    dock->setAllowedAreas(areas);
    addDockWidget(area, dock);
    return dock;
}

void MainWindow::connectParts()
{
    connect(videoControls, &VideoControls::giveNewVideoResolution, this, [this] {
        updateGeometry();
        growToVideo();
    });
    connect(videoControls, &VideoControls::videoOpened, this, &MainWindow::videoOpened);
    connect(videoControls, &VideoControls::openFailed, files, &FileActions::showOpenError);
    connect(keeper.get(), &CalibrationKeeper::notice, statusBar(),
        [this](const QString& text) { statusBar()->showMessage(text, kFileNoticeMs); });
    connect(findPitch, &FindPitchAction::notice, this, &MainWindow::showNotice);
    connect(straightenLines, &StraightenLines::notice, this, &MainWindow::showNotice);
    connect(landmarks, &LandmarkPanel::notice, this, &MainWindow::showNotice);
    connect(players, &PlayerActions::notice, this, &MainWindow::showNotice);
    connect(findPitch, &FindPitchAction::found, movementWarning, &MovementWarning::restart);
    connect(measuring, &MeasureActions::measuringChanged, this, [this](bool on) {
        if (on)
            measurementsDock->show();
        updateStatusBar();
    });
    connect(measuring, &MeasureActions::statusChanged, this, &MainWindow::updateStatusBar);
    connect(movementWarning, &MovementWarning::fitRefreshed, this, &MainWindow::updateStatusBar);
}

void MainWindow::showNotice(const QString& text) { statusBar()->showMessage(text, kNoticeMs); }

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
void MainWindow::toggleDock(QDockWidget* dock, QAction* action)
{
    const bool show = dock->isHidden();
    if (show)
        dock->show();
    else
        dock->close();
    action->setChecked(show);
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
    const QString playbackState = playbackText();
    // Measure mode takes the clicks, so the corners cannot be given in it.
    const QString calibration = measuring->isMeasuring() && !fieldControls->cornersComplete()
        ? tr("Click the four corners first")
        : calibrationText();
    return playbackState.isEmpty() ? calibration : calibration + tr("  |  ") + playbackState;
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
