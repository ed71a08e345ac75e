#include "playback/VideoControls.h"

#include "MainException.h"
#include "VistrelInterface.h"
#include "engine/EngineFunctions.h"
#include "playback/FramePacer.h"
#include "playback/LoopJumper.h"
#include "playback/PositionDisplay.h"
#include "playback/ProgressSlider.h"
#include "playback/SpeedControl.h"
#include "playback/VideoFiles.h"
#include "playback/WorkerThread.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

// The transport panel's widgets, their connections and their layout.

namespace {

constexpr const char* kOpenIcon = ":/images/Open.png";
constexpr const char* kPlayIcon = ":/images/Play.png";
constexpr const char* kStopIcon = ":/images/Stop.png";
constexpr const char* kStepForwardIcon = ":/images/StepForward.png";
constexpr const char* kStepBackwardIcon = ":/images/StepBackward.png";

constexpr int kSmallIconPx = 24;
constexpr int kLargeIconPx = 32;
constexpr int kInitialJumpStepMs = 100;
constexpr int kMaxJumpStepMs = 5000;
constexpr int kJumpEditWidthPx = 50;

} // namespace

VideoControls::VideoControls(VistrelInterface* engine, QWidget* parent)
    : PanelDialog(parent)
    , engine(engine)
    , frames(EngineFunctions::of(engine))
{
    if (!engine)
        MainException::endForMissingEngine();
    openButton = makeButton(kOpenIcon, tr("Open video file"), kSmallIconPx);
    playPauseButton = makeButton(kPlayIcon, tr("Play/Pause video playback"), kLargeIconPx);

    speed = new SpeedControl(engine, this);

    stopButton = makeButton(kStopIcon, tr("Stop video playback"), kSmallIconPx);
    jumpForwardButton = makeButton(kStepForwardIcon, tr("Jump forward"), kSmallIconPx);
    engine->setJumpStep(kInitialJumpStepMs);
    jumpEdit = new QLineEdit(tr("100"), this);
    jumpEdit->setValidator(new QIntValidator(0, kMaxJumpStepMs, jumpEdit));
    jumpEdit->setFixedWidth(kJumpEditWidthPx);
    jumpBackButton = makeButton(kStepBackwardIcon, tr("Jump backward"), kSmallIconPx);

    position = new PositionDisplay(this);
    connect(position->slider(), &QSlider::sliderPressed, this, &VideoControls::slotSliderPressed);
    connect(position->slider(), &QSlider::sliderReleased, this, &VideoControls::slotSliderReleased);

    VideoFiles::applyFrameCacheSetting(engine);
    worker = std::make_unique<WorkerThread>(engine);
    jumper = std::make_unique<LoopJumper>(engine, worker.get());
    pacer = new FramePacer(this);
    connect(pacer, &FramePacer::refresh, this, &VideoControls::giveNewImage);
    connect(pacer, &FramePacer::tick, this, &VideoControls::followPosition);
    connect(speed, &SpeedControl::speedChanged, pacer, &FramePacer::setSpeed);
    pacer->setSpeed(speed->speedFactor());

    connect(openButton, &QPushButton::released, this, &VideoControls::openFile);
    connect(playPauseButton, &QPushButton::released, this, &VideoControls::playPauseVideo);
    connect(stopButton, &QPushButton::released, this, &VideoControls::stopVideo);
    connect(jumpBackButton, &QPushButton::released, this, &VideoControls::jumpBack);
    connect(jumpForwardButton, &QPushButton::released, this, &VideoControls::jumpForward);
    connect(
        worker.get(), &WorkerThread::playbackFinished, this, &VideoControls::playbackLoopFinished);

    createLayout();
    nameChildren();
    updateTime(0);
}

// Names for tests and accessibility tools.
void VideoControls::nameChildren()
{
    const std::pair<QObject*, const char*> names[]
        = { { openButton, "openButton" }, { playPauseButton, "playPauseButton" },
              { stopButton, "stopButton" }, { jumpForwardButton, "jumpForwardButton" },
              { jumpEdit, "jumpEdit" }, { jumpBackButton, "jumpBackButton" } };
    for (const auto& [object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

QPushButton* VideoControls::makeButton(const char* icon, const QString& tip, int iconSidePx)
{
    auto* button = new QPushButton(this);
    button->setIcon(QIcon(QString::fromLatin1(icon)));
    button->setToolTip(tip);
    button->setFlat(true);
    button->setIconSize(QSize(iconSidePx, iconSidePx));
    // Space belongs to play/pause wherever the focus is; a focused button
    // would take it and repeat its own action.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Rows 1 (open button, file name) and 2 (resolution, size, date) are built
// but kept in a hidden container: opening goes through the main window.
void VideoControls::createLayout()
{
    auto row = [](std::initializer_list<QWidget*> widgets) {
        auto* layout = new QHBoxLayout;
        for (QWidget* widget : widgets)
            layout->addWidget(widget, 0);
        layout->addStretch();
        return layout;
    };
    auto* fileInfo = new QWidget(this);
    auto* fileInfoLayout = new QVBoxLayout(fileInfo);
    fileInfoLayout->addLayout(row({ openButton, position->fileLabel() }));
    fileInfoLayout->addLayout(
        row({ position->resolutionLabel(), position->sizeLabel(), position->dateLabel() }));
    fileInfo->hide();

    auto* panel = new QVBoxLayout(this);
    panel->addLayout(row({ position->timeLabel(), position->slider(), position->durationLabel() }));
    panel->addLayout(row({ playPauseButton, speed->slider(), speed->label(), stopButton,
        jumpBackButton, jumpEdit, jumpForwardButton }));
    panel->addStretch();
}
