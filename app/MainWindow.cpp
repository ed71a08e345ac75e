#include "MainWindow.h"

#include "FieldControls.h"
#include "MainException.h"
#include "VideoControls.h"
#include "VideoScreenAdapter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include <cstdlib>

namespace {

constexpr const char* kOpenIcon = ":/images/Open.png";
constexpr const char* kPlayFastIcon = ":/images/PlayFast.png";
constexpr const char* kPauseFastIcon = ":/images/PauseFast.png";
constexpr const char* kFieldControlsIcon = ":/images/FieldControls.png";
constexpr const char* kVideoControlsIcon = ":/images/VideoControls.png";
constexpr const char* kExitIcon = ":/images/Exit.png";
constexpr const char* kProgramIcon = ":/images/TarvolaIcon.png";

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

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    createDocks();
    setCentralWidget(videoScreen);
    setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
    fieldControlsDock->close();
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);

    connect(
        videoControls, &VideoControls::giveNewVideoResolution, this, &MainWindow::openVideoFile);
}

MainWindow::~MainWindow() = default;

void MainWindow::openVideo(const QString& path) { videoControls->loadFile(path); }

void MainWindow::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }

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

    aboutAction = makeAction(
        tr("&About Tarvola"), QString(), tr("About Tarvola"), kProgramIcon, "aboutAction");
    connect(aboutAction, &QAction::triggered, this, &MainWindow::about);

    aboutQtAction
        = makeAction(tr("About &Qt"), QString(), tr("About Qt"), nullptr, "aboutQtAction");
    connect(aboutQtAction, &QAction::triggered, qApp, &QApplication::aboutQt);
}

void MainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(openAction);
    fileMenu->addSeparator();
    fileMenu->addAction(exitAction);

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
}

void MainWindow::createStatusBar()
{
    statusLabel = new QLabel(tr("Status"));
    statusBar()->addWidget(statusLabel, 0);
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

void MainWindow::updateStatusBar() { }

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
    if (!screenScalesPicture || video.isEmpty() || isMaximized() || isFullScreen())
        return;
    QSize wanted = size() + (video - videoScreen->size()).expandedTo(QSize(0, 0));
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
