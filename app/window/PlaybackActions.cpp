#include "window/PlaybackActions.h"

#include "playback/VideoControls.h"
#include "window/Actions.h"

#include <QAction>
#include <QIcon>
#include <QMenu>

namespace {

constexpr const char* kPlayFastIcon = ":/images/PlayFast.png";
constexpr const char* kPauseFastIcon = ":/images/PauseFast.png";

} // namespace

PlaybackActions::PlaybackActions(VideoControls* videoControls, QObject* parent)
    : QObject(parent)
{
    play = makeAction(this, tr("Pla&y"), tr("Ctrl+Y"), tr("Play/Pause video playback"),
        kPlayFastIcon, "playAction");
    play->setShortcuts({ QKeySequence(tr("Ctrl+Y")), QKeySequence(Qt::Key_Space) });
    connect(play, &QAction::triggered, videoControls, &VideoControls::playPauseVideo);
    connect(videoControls, &VideoControls::play, this, &PlaybackActions::showPlaying);
    connect(videoControls, &VideoControls::pause, this, &PlaybackActions::showPaused);

    stepForward = makeAction(this, tr("Step &Forward"), QString(),
        tr("Show the next frame (while stopped or paused)"), nullptr, "stepForwardAction");
    stepForward->setShortcuts({ QKeySequence(Qt::Key_Period), QKeySequence(Qt::Key_Right) });
    connect(stepForward, &QAction::triggered, videoControls, &VideoControls::stepForward);

    stepBack = makeAction(this, tr("Step &Back"), QString(),
        tr("Show the previous frame (while stopped or paused)"), nullptr, "stepBackAction");
    stepBack->setShortcuts({ QKeySequence(Qt::Key_Comma), QKeySequence(Qt::Key_Left) });
    connect(stepBack, &QAction::triggered, videoControls, &VideoControls::stepBack);

    jumpBack = makeAction(this, tr("&Jump Back"), QString(),
        tr("Jump back by the step set in the video controls"), nullptr, "jumpBackAction");
    jumpBack->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Left));
    connect(jumpBack, &QAction::triggered, videoControls, &VideoControls::jumpBack);

    jumpForward = makeAction(this, tr("Jump Forwar&d"), QString(),
        tr("Jump forward by the step set in the video controls"), nullptr, "jumpForwardAction");
    jumpForward->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Right));
    connect(jumpForward, &QAction::triggered, videoControls, &VideoControls::jumpForward);

    firstFrame = makeAction(this, tr("F&irst Frame"), QString(),
        tr("Show the first frame (while stopped or paused)"), nullptr, "firstFrameAction");
    firstFrame->setShortcut(QKeySequence(Qt::Key_Home));
    connect(firstFrame, &QAction::triggered, videoControls, &VideoControls::showFirstFrame);
}

void PlaybackActions::addTo(QMenu* menu) const
{
    menu->addActions({ play, stepBack, stepForward, jumpBack, jumpForward, firstFrame });
}

// The video controls say "play" when playback can be started and "pause"
// when it can be paused; the button shows what a press would do.
void PlaybackActions::showPlaying()
{
    play->setIcon(QIcon(QString::fromLatin1(kPlayFastIcon)));
    play->setStatusTip(tr("Play video"));
}

void PlaybackActions::showPaused()
{
    play->setIcon(QIcon(QString::fromLatin1(kPauseFastIcon)));
    play->setStatusTip(tr("Pause video playback"));
}
