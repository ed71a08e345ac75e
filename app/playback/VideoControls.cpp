#include "playback/VideoControls.h"

#include "engine/EngineFunctions.h"
#include "MainException.h"
#include "playback/ProgressSlider.h"
#include "VistrelInterface.h"
#include "playback/WorkerThread.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <utility>

namespace {

constexpr const char* kOpenIcon = ":/images/Open.png";
constexpr const char* kPlayIcon = ":/images/Play.png";
constexpr const char* kPauseIcon = ":/images/Pause.png";
constexpr const char* kStopIcon = ":/images/Stop.png";
constexpr const char* kStepForwardIcon = ":/images/StepForward.png";
constexpr const char* kStepBackwardIcon = ":/images/StepBackward.png";

constexpr int kFrameTimerMs = 25;
constexpr int kClockTimerMs = 30;
constexpr int kSmallIconPx = 24;
constexpr int kLargeIconPx = 32;
constexpr int kInitialJumpStepMs = 100;
constexpr int kMaxJumpStepMs = 5000;
constexpr int kJumpEditWidthPx = 50;
constexpr int kSpeedSliderWidthPx = 50;
constexpr int kSpeedTickInterval = 25;
constexpr int kProgressSliderMinWidthPx = 250;
constexpr int kTimeLabelWidthPx = 80;
constexpr int kInitialSpeed = 50;
constexpr int kSpeedLabelWidthPx = 40;
// The slider spans two octaves either side of real time: x0.25 ... x4.
constexpr double kSpeedRangeFactor = 4.0;
// The pace when the file names no usable frame rate.
constexpr double kFallbackFps = 25.0;

// A jump is served by the playback loop within one pass; the bound only
// matters when the loop cannot serve it (it is ending, or stuck in a decode).
constexpr int kJumpWaitLimitMs = 2000;
constexpr std::chrono::milliseconds kJumpPollInterval { 1 };
// StopPlayback is repeated while the worker still runs: a loop that had not
// yet started when the stop came would otherwise clear the stop request.
constexpr int kStopPollMs = 5;

constexpr float kBytesPerGiB = 1073741824.0f;
constexpr float kBytesPerMiB = 1048576.0f;
constexpr float kBytesPerKiB = 1024.0f;

QString twoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

} // namespace

VideoControls::VideoControls(VistrelInterface* engine, QWidget* parent)
    : PanelDialog(parent)
    , engine(engine)
    , frames(EngineFunctions::of(engine))
{
    if (!engine) {
        MainException error(tr("Could not load the Vistrel library."));
        error.showErrorMessage();
        std::exit(-1);
    }
    openButton = makeButton(kOpenIcon, tr("Open video file"), kSmallIconPx);
    playPauseButton = makeButton(kPlayIcon, tr("Play/Pause video playback"), kLargeIconPx);

    speedSlider = new QSlider(Qt::Horizontal, this);
    speedSlider->setRange(0, 100);
    speedSlider->setTickPosition(QSlider::TicksAbove);
    speedSlider->setTickInterval(kSpeedTickInterval);
    speedSlider->setSingleStep(1);
    speedSlider->setValue(kInitialSpeed);
    speedSlider->setMinimumWidth(kSpeedSliderWidthPx);
    speedSlider->setMaximumWidth(kSpeedSliderWidthPx);
    speedSlider->setFocusPolicy(Qt::NoFocus);
    speedLabel = new QLabel(this);
    speedLabel->setFixedWidth(kSpeedLabelWidthPx);
    playbackSpeed(kInitialSpeed);

    stopButton = makeButton(kStopIcon, tr("Stop video playback"), kSmallIconPx);
    jumpForwardButton = makeButton(kStepForwardIcon, tr("Jump forward"), kSmallIconPx);
    engine->setJumpStep(kInitialJumpStepMs);
    jumpEdit = new QLineEdit(tr("100"), this);
    jumpEdit->setValidator(new QIntValidator(0, kMaxJumpStepMs, jumpEdit));
    jumpEdit->setFixedWidth(kJumpEditWidthPx);
    jumpBackButton = makeButton(kStepBackwardIcon, tr("Jump backward"), kSmallIconPx);

    progressSlider = new ProgressSlider(Qt::Horizontal, this);
    progressSlider->setMinimumWidth(kProgressSliderMinWidthPx);
    progressSlider->setFocusPolicy(Qt::NoFocus);
    connect(progressSlider, &QSlider::sliderPressed, this, &VideoControls::slotSliderPressed);
    connect(progressSlider, &QSlider::sliderReleased, this, &VideoControls::slotSliderReleased);

    fileLabel = new QLabel(this);
    resolutionLabel = new QLabel(this);
    sizeLabel = new QLabel(this);
    dateLabel = new QLabel(this);
    timeLabel = new QLabel(this);
    durationLabel = new QLabel(this);
    timeLabel->setFixedWidth(kTimeLabelWidthPx);
    resetInfoLabels();

    worker = std::make_unique<WorkerThread>(engine);

    connect(openButton, &QPushButton::released, this, &VideoControls::openFile);
    connect(playPauseButton, &QPushButton::released, this, &VideoControls::playPauseVideo);
    connect(stopButton, &QPushButton::released, this, &VideoControls::stopVideo);
    connect(jumpBackButton, &QPushButton::released, this, &VideoControls::jumpBack);
    connect(jumpForwardButton, &QPushButton::released, this, &VideoControls::jumpForward);
    connect(speedSlider, &QSlider::valueChanged, this, &VideoControls::playbackSpeed);
    connect(
        worker.get(), &WorkerThread::playbackFinished, this, &VideoControls::playbackLoopFinished);

    createLayout();
    nameChildren();
    updateTime(0);
}

// Names for tests and accessibility tools.
void VideoControls::nameChildren()
{
    const std::pair<QObject*, const char*> names[] = { { openButton, "openButton" },
        { playPauseButton, "playPauseButton" }, { speedSlider, "speedSlider" },
        { speedLabel, "speedLabel" }, { stopButton, "stopButton" },
        { jumpForwardButton, "jumpForwardButton" }, { jumpEdit, "jumpEdit" },
        { jumpBackButton, "jumpBackButton" }, { progressSlider, "progressSlider" },
        { fileLabel, "fileLabel" }, { resolutionLabel, "resolutionLabel" },
        { sizeLabel, "sizeLabel" }, { dateLabel, "dateLabel" }, { timeLabel, "timeLabel" },
        { durationLabel, "durationLabel" } };
    for (const auto& [object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

VideoControls::~VideoControls()
{
    if (worker)
        stopPlaybackLoop();
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
    fileInfoLayout->addLayout(row({ openButton, fileLabel }));
    fileInfoLayout->addLayout(row({ resolutionLabel, sizeLabel, dateLabel }));
    fileInfo->hide();

    auto* panel = new QVBoxLayout(this);
    panel->addLayout(row({ timeLabel, progressSlider, durationLabel }));
    panel->addLayout(row({ playPauseButton, speedSlider, speedLabel, stopButton, jumpBackButton,
        jumpEdit, jumpForwardButton }));
    panel->addStretch();
}

void VideoControls::resetInfoLabels()
{
    fileLabel->setText(tr("File: "));
    resolutionLabel->setText(tr("Resolution: "));
    sizeLabel->setText(tr("Size: "));
    dateLabel->setText(tr("Date: "));
}

int VideoControls::frameWidth() const { return engine->getFrameWidth(); }

int VideoControls::frameHeight() const { return engine->getFrameHeight(); }

std::shared_ptr<unsigned char[]> VideoControls::currentFrame() const
{
    ++fetchCount;
    return engine->exportFrame();
}

QString VideoControls::openFilter()
{
    return tr("Video files (*.avi *.mpg *.mp4 *.mkv *.wmv *.mov *.m4v *.mts *.webm);;"
              "All files (*)");
}

void VideoControls::openFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open video file"), QStringLiteral("."), openFilter());
    if (path.isEmpty())
        return;
    loadFile(path);
}

bool VideoControls::loadFile(const QString& path)
{
    if (const QString reason = unopenableReason(path); !reason.isEmpty()) {
        emit openFailed(path, reason);
        return false;
    }
    const QString previous = fileName;
    const long long previousFrame = currentFrameIndex();
    if (!fileName.isEmpty())
        haltPlayback();
    if (!openInEngine(path)) {
        if (!previous.isEmpty())
            reopen(previous, previousFrame);
        emit openFailed(path, tr("It holds no video that can be decoded."));
        return false;
    }
    fileName = path;
    resetInfoLabels();
    showFileInfo(path);
    progressSlider->setRange(0, 100);
    emit giveNewVideoResolution();
    showFrame(0);
    emit videoOpened(path);
    emit stateChanged();
    return true;
}

// Why the file cannot even be handed to the engine; empty when it can.
QString VideoControls::unopenableReason(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return tr("The file does not exist.");
    if (info.isDir())
        return tr("It is a folder, not a file.");
    if (!info.isReadable())
        return tr("The file cannot be read (permission denied).");
    return {};
}

// The engine opens 8-bit paths; the file system's encoding keeps non-ASCII
// names intact. A capture that opens but delivers no picture is no video.
bool VideoControls::openInEngine(const QString& path)
{
    frameShown = false;
    if (engine->LoadVideo(QFile::encodeName(path).toStdString()) != 0)
        return false;
    if (engine->getFrameWidth() <= 0 || engine->getFrameHeight() <= 0)
        return false;
    const double rate = engine->getFps();
    engine->setPlaybackRate(float(std::isfinite(rate) && rate > 0.0 ? rate : kFallbackFps));
    return true;
}

// Puts the video that was open back where it was, after a new one failed.
void VideoControls::reopen(const QString& path, long long frameIndex)
{
    if (!openInEngine(path)) {
        fileName.clear();
        resetInfoLabels();
        emit giveNewVideoResolution();
        emit stateChanged();
        return;
    }
    emit giveNewVideoResolution();
    showFrame(std::max(frameIndex, 0LL));
    emit stateChanged();
}

void VideoControls::showFileInfo(const QString& path)
{
    const QFileInfo info(path);
    fileLabel->setText(fileLabel->text() + info.fileName());
    resolutionLabel->setText(resolutionLabel->text() + QString::number(engine->getFrameWidth())
        + tr(" x ") + QString::number(engine->getFrameHeight()));
    dateLabel->setText(dateLabel->text() + info.lastModified().toString(Qt::TextDate));
    setDuration(engine->getFrameCount(), engine->getFps());
    updateTime(float(engine->getPosition()));
    setFileSize(float(info.size()));
}

bool VideoControls::showsPicture() const { return frameShown || !stoppedFlag; }

bool VideoControls::isPlaying() const { return !stoppedFlag && !engine->isPaused(); }

long long VideoControls::currentFrameIndex() const
{
    if (fileName.isEmpty())
        return -1;
    return frames.frameIndex();
}

// Decodes the frame with this index into the export picture and shows it,
// with the position display following; false when the engine cannot.
bool VideoControls::showFrame(long long index)
{
    if (fileName.isEmpty() || frames.seekFrame(index) != 0)
        return false;
    frameShown = true;
    emit giveNewImage();
    updateTime(float(currentPositionMs()));
    emit stateChanged();
    return true;
}

void VideoControls::stepForward() { stepBy(1); }

void VideoControls::stepBack() { stepBy(-1); }

void VideoControls::showFirstFrame()
{
    if (!isPlaying())
        showFrame(0);
}

void VideoControls::stepBy(long long count)
{
    if (fileName.isEmpty() || isPlaying())
        return;
    const long long index = frames.frameIndex();
    if (index >= 0)
        showFrame(std::max(index + count, 0LL));
}

void VideoControls::redrawFrame()
{
    if (fileName.isEmpty() || isPlaying())
        return;
    if (frames.redrawFrame() == 0)
        emit giveNewImage();
}

void VideoControls::playPauseVideo()
{
    if (fileName.isEmpty())
        return;
    stoppedFlag = false;
    if (!worker->isRunning()) {
        startPlayback();
        return;
    }
    const bool wasPaused = engine->isPaused();
    engine->ThPause();
    setPlayPauseIcon(wasPaused ? kPauseIcon : kPlayIcon);
    if (wasPaused)
        emit pause();
    else
        emit play();
    emit stateChanged();
}

void VideoControls::startPlayback()
{
    // A pause toggled while the previous loop was ending must not carry over
    // into this playback: the controls are about to offer pausing.
    engine->setPaused(false);
    ++startedRuns;
    worker->start(QThread::InheritPriority);
    setPlayPauseIcon(kPauseIcon);
    stopTimers();
    startTimers();
    emit pause();
    emit stateChanged();
}

void VideoControls::stopVideo()
{
    if (fileName.isEmpty())
        return;
    haltPlayback();
    // Back at the start, and showing it where the engine can.
    if (!showFrame(0))
        emit giveNewImage();
    emit stateChanged();
}

void VideoControls::haltPlayback()
{
    stoppedFlag = true;
    frameShown = false;
    stopTimers();
    stopPlaybackLoop();
    updateTime(0);
    setPlayPauseIcon(kPlayIcon);
    emit play();
}

void VideoControls::stopPlaybackLoop()
{
    engine->StopPlayback();
    while (worker->isRunning()) {
        engine->StopPlayback();
        worker->wait(QDeadlineTimer(kStopPollMs));
    }
}

void VideoControls::playbackLoopFinished()
{
    ++finishedRuns;
    if (finishedRuns < startedRuns)
        return; // a newer playback is running; this finish was an older run's
    stopVideo();
}

bool VideoControls::loopRunning() const { return worker->isRunning() && !engine->isStopped(); }

void VideoControls::jumpBack() { jump(Jump::Back); }

void VideoControls::jumpForward() { jump(Jump::Forward); }

void VideoControls::jump(Jump direction)
{
    if (fileName.isEmpty() || !loopRunning())
        return;
    stopTimers();
    const int step = jumpEdit->text().toInt(); // no number reads as 0
    engine->setJumpStep(clampedStep(direction, step));
    requestJump(direction);
    updateTime(float(engine->getPosition()));
    startTimers();
}

// Keeps the jump's target inside the video: not before its start, not past
// its last frame.
int VideoControls::clampedStep(Jump direction, int stepMs) const
{
    const int position = std::max(engine->getPosition(), 0);
    const int room = direction == Jump::Back ? position : std::max(lastFrameMs() - position, 0);
    return std::clamp(stepMs, 0, room);
}

int VideoControls::lastFrameMs() const
{
    if (frameCount < 1.0 || !(fps > 0.0))
        return INT_MAX;
    const double ms = (frameCount - 1.0) * 1000.0 / fps;
    return ms < double(INT_MAX) ? int(ms) : INT_MAX;
}

// Hands a jump request to the playback loop and waits until the loop has
// served it. The wait ends as well when the loop is no longer running, and in
// any case after kJumpWaitLimitMs; a request left unserved is withdrawn so
// that a later playback does not perform it.
void VideoControls::requestJump(Jump direction)
{
    const bool back = direction == Jump::Back;
    auto pending
        = [&] { return back ? engine->isJumpBackPending() : engine->isJumpForwardPending(); };
    back ? engine->setJumpBack(true) : engine->setJumpForward(true);
    const QDeadlineTimer deadline(kJumpWaitLimitMs);
    while (pending() && worker->isRunning() && !deadline.hasExpired())
        std::this_thread::sleep_for(kJumpPollInterval);
    if (pending())
        back ? engine->setJumpBack(false) : engine->setJumpForward(false);
}

void VideoControls::stopTimers()
{
    if (frameTimer)
        killTimer(frameTimer);
    if (clockTimer)
        killTimer(clockTimer);
    frameTimer = clockTimer = 0;
}

// The refresh and the position display only change while the loop runs;
// single frames shown while stopped update both themselves.
void VideoControls::startTimers()
{
    if (!worker->isRunning())
        return;
    frameTimer = startTimer(kFrameTimerMs);
    clockTimer = startTimer(kClockTimerMs);
}

void VideoControls::slotSliderPressed() { sliderFollows = false; }

void VideoControls::slotSliderReleased()
{
    if (fileName.isEmpty()) {
        sliderFollows = true;
        return;
    }
    if (frames.canShowFrames())
        seekToSlider();
    else if (loopRunning())
        jumpToSlider();
    sliderFollows = true;
}

// A seek to the frame at the slider's share of the frames the video really
// has; served by the loop while it runs, and shown at once otherwise.
void VideoControls::seekToSlider()
{
    const long long total = frames.frameTotal();
    if (total <= 0)
        return;
    const auto wanted = (long long)(std::floor(progressSlider->value() / 100.0 * double(total)));
    stopTimers();
    if (loopRunning() && frames.seekFrame(std::clamp(wanted, 0LL, total - 1)) == 0) {
        sliderFollows = false;
        updateTime(float(currentPositionMs()));
    } else if (!loopRunning()) {
        showFrame(std::clamp(wanted, 0LL, total - 1));
    }
    startTimers();
}

// Without frame seeking: one jump from the current position to the slider's
// share of the duration. The jump step is set for this jump only; every jump
// sets its own, so none is restored (the loop may read it late).
void VideoControls::jumpToSlider()
{
    stopTimers();
    const int current = engine->getPosition();
    const double wanted = progressSlider->value() / 100.0 * durationSeconds * 1000.0;
    const int target = int(std::clamp(wanted, 0.0, double(lastFrameMs())));
    const int diff = target - current;
    engine->setJumpStep(std::abs(diff));
    requestJump(diff < 0 ? Jump::Back : Jump::Forward);
    // The display shows the target; the slider stays where the user put it
    // rather than at a frame position the loop may not have renewed yet.
    sliderFollows = false;
    updateTime(float(target));
    startTimers();
}

void VideoControls::slotSliderMoved(int) { }

double VideoControls::speedFactorFor(int speed)
{
    return std::pow(kSpeedRangeFactor, (std::clamp(speed, 0, 100) - 50) / 50.0);
}

// The engine paces to the file's frame rate (set when it opens); the delay
// factor stretches or shortens that pace.
float VideoControls::delayFactorFor(int speed) { return float(1.0 / speedFactorFor(speed)); }

void VideoControls::playbackSpeed(int value)
{
    engine->setDelayFactor(delayFactorFor(value));
    speedLabel->setText(tr("x%1").arg(speedFactorFor(value), 0, 'g', 2));
}

void VideoControls::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == frameTimer)
        emit giveNewImage();
    else if (event->timerId() == clockTimer)
        followPosition();
    else
        PanelDialog::timerEvent(event);
}

void VideoControls::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        playPauseVideo();
        return;
    }
    PanelDialog::keyPressEvent(event);
}

// The position display, and a state change when the frame on screen is
// another (a pass that was under way when a pause came still ends).
void VideoControls::followPosition()
{
    updateTime(float(currentPositionMs()));
    const long long index = currentFrameIndex();
    if (index != reportedFrame && !isPlaying()) {
        reportedFrame = index;
        emit stateChanged();
    }
}

// By frame where the engine tells the frame on screen, else its position.
double VideoControls::currentPositionMs() const
{
    const long long index = currentFrameIndex();
    if (index < 0 || !(fps > 0.0))
        return engine->getPosition();
    return double(index) * 1000.0 / fps;
}

double VideoControls::progressPercent() const
{
    const long long total = frames.frameTotal();
    const long long index = frames.frameIndex();
    if (fileName.isEmpty() || total <= 0 || index < 0)
        return frameCount > 0.0 ? engine->getFramePosition() / frameCount * 100.0 : 0.0;
    return double(index) / double(total) * 100.0;
}

void VideoControls::updateTime(float ms)
{
    long double rest = ms;
    const auto hours = qint64(std::trunc(rest / 3600000.0L));
    rest -= hours * 3600000.0L;
    const auto minutes = qint64(std::trunc(rest / 60000.0L));
    rest -= minutes * 60000.0L;
    const auto seconds = qint64(std::trunc(rest / 1000.0L));
    rest -= seconds * 1000.0L;
    const auto millis = qint64(std::trunc(rest));
    timeLabel->setText(
        tr("%1:%2:%3:%4")
            .arg(twoDigits(hours), twoDigits(minutes), twoDigits(seconds), twoDigits(millis)));

    if (!sliderFollows || !(frameCount > 0.0))
        return;
    const double percent = std::trunc(progressPercent());
    progressSlider->setValue(int(
        std::clamp(percent, double(progressSlider->minimum()), double(progressSlider->maximum()))));
}

void VideoControls::setDuration(double frames, double rate)
{
    frameCount = frames;
    fps = rate;
    // An unopened file reports no frames and no rate: no duration, and no
    // division by a rate of 0.
    const float seconds = rate > 0.0 ? float(frames) / float(rate) : 0.0f;
    durationSeconds = std::isfinite(seconds) && seconds > 0.0f ? double(seconds) : 0.0;
    const auto secs = qint64(std::trunc(durationSeconds));
    durationLabel->setText(
        tr("%1:%2:%3")
            .arg(twoDigits(secs / 3600), twoDigits((secs / 60) % 60), twoDigits(secs % 60)));
}

void VideoControls::setFileSize(float bytes)
{
    float value = bytes;
    QString unit = tr(" Bytes");
    if (bytes > kBytesPerGiB) {
        value = bytes / kBytesPerGiB;
        unit = tr(" GB");
    } else if (bytes > kBytesPerMiB) {
        value = bytes / kBytesPerMiB;
        unit = tr(" MB");
    } else if (bytes > kBytesPerKiB) {
        value = bytes / kBytesPerKiB;
        unit = tr(" KB");
    }
    sizeLabel->setText(tr("Size: ") + QString::number(double(value), 'g', 6) + unit);
}

void VideoControls::setPlayPauseIcon(const char* icon)
{
    playPauseButton->setIcon(QIcon(QString::fromLatin1(icon)));
}
