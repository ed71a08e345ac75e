#include "playback/VideoControls.h"

#include "VistrelInterface.h"
#include "engine/EngineFunctions.h"
#include "playback/FramePacer.h"
#include "playback/LoopJumper.h"
#include "playback/PositionDisplay.h"
#include "playback/ProgressSlider.h"
#include "playback/SpeedControl.h"
#include "playback/VideoFiles.h"
#include "playback/WorkerThread.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kPlayIcon = ":/images/Play.png";
constexpr const char* kPauseIcon = ":/images/Pause.png";

// The pace when the file names no usable frame rate.
constexpr double kFallbackFps = 25.0;

// StopPlayback is repeated while the worker still runs: a loop that had not
// yet started when the stop came would otherwise clear the stop request.
constexpr int kStopPollMs = 5;

} // namespace

VideoControls::~VideoControls()
{
    if (worker)
        stopPlaybackLoop();
}

int VideoControls::frameWidth() const { return engine->getFrameWidth(); }

int VideoControls::frameHeight() const { return engine->getFrameHeight(); }

std::shared_ptr<unsigned char[]> VideoControls::currentFrame() const
{
    ++fetchCount;
    return engine->exportFrame();
}

QString VideoControls::openFilter() { return VideoFiles::openFilter(); }

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
    if (const QString reason = VideoFiles::unopenableReason(path); !reason.isEmpty()) {
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
    position->resetInfo();
    showFileInfo(path);
    position->slider()->setRange(0, 100);
    emit giveNewVideoResolution();
    showFrame(0);
    emit videoOpened(path);
    emit stateChanged();
    return true;
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
    pacer->setFrameRate(rate);
    return true;
}

// Puts the video that was open back where it was, after a new one failed.
void VideoControls::reopen(const QString& path, long long frameIndex)
{
    if (!openInEngine(path)) {
        fileName.clear();
        position->resetInfo();
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
    position->showFileInfo(path, engine->getFrameWidth(), engine->getFrameHeight());
    setDuration(engine->getFrameCount(), engine->getFps());
    updateTime(float(engine->getPosition()));
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
    if (fileName.isEmpty())
        return;
    const int step = jumpEdit->text().toInt(); // no number reads as 0
    if (!loopRunning()) {
        seekBy(direction, step);
        return;
    }
    stopTimers();
    jumper->jumpBy(direction, step, position->lastFrameMs());
    updateTime(float(engine->getPosition()));
    startTimers();
}

// Without a running loop a jump is a seek by its length from the frame
// shown, held inside the video.
void VideoControls::seekBy(Jump direction, int stepMs)
{
    const long long index = frames.frameIndex();
    const double fps = position->fps();
    if (index < 0 || !(fps > 0.0) || !frames.canShowFrames())
        return;
    const int shownMs = LoopJumper::frameTimeMs(index, fps);
    const int step = LoopJumper::clampedStep(direction, stepMs, shownMs, position->lastFrameMs());
    const int targetMs = direction == Jump::Back ? shownMs - step : shownMs + step;
    showFrame(LoopJumper::frameAtTime(targetMs, fps));
}

void VideoControls::stopTimers() { pacer->stop(); }

// The refresh and the position display only change while the loop runs;
// single frames shown while stopped update both themselves.
void VideoControls::startTimers()
{
    if (!worker->isRunning())
        return;
    if (const QScreen* shownOn = screen())
        pacer->setDisplayRate(shownOn->refreshRate());
    pacer->start();
}

void VideoControls::slotSliderPressed() { position->setSliderFollows(false); }

void VideoControls::slotSliderReleased()
{
    if (fileName.isEmpty()) {
        position->setSliderFollows(true);
        return;
    }
    if (frames.canShowFrames())
        seekToSlider();
    else if (loopRunning())
        jumpToSlider();
    position->setSliderFollows(true);
}

// A seek to the frame at the slider's share of the frames the video really
// has; served by the loop while it runs, and shown at once otherwise.
void VideoControls::seekToSlider()
{
    const long long total = frames.frameTotal();
    if (total <= 0)
        return;
    const auto wanted
        = (long long)(std::floor(position->slider()->value() / 100.0 * double(total)));
    stopTimers();
    if (loopRunning() && frames.seekFrame(std::clamp(wanted, 0LL, total - 1)) == 0) {
        position->setSliderFollows(false);
        updateTime(float(currentPositionMs()));
    } else if (!loopRunning()) {
        showFrame(std::clamp(wanted, 0LL, total - 1));
    }
    startTimers();
}

// Without frame seeking: one jump from the current position to the slider's
// share of the duration.
void VideoControls::jumpToSlider()
{
    stopTimers();
    const double durationMs = position->durationSeconds() * 1000.0;
    const double wanted = position->slider()->value() / 100.0 * durationMs;
    const int target = int(std::clamp(wanted, 0.0, double(position->lastFrameMs())));
    jumper->jumpTo(target);
    // The display shows the target; the slider stays where the user put it
    // rather than at a frame position the loop may not have renewed yet.
    position->setSliderFollows(false);
    updateTime(float(target));
    startTimers();
}

void VideoControls::slotSliderMoved(int) { }

double VideoControls::speedFactorFor(int speed) { return SpeedControl::speedFactorFor(speed); }

float VideoControls::delayFactorFor(int speed) { return SpeedControl::delayFactorFor(speed); }

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
    const double fps = position->fps();
    if (index < 0 || !(fps > 0.0))
        return engine->getPosition();
    return double(index) * 1000.0 / fps;
}

double VideoControls::progressPercent() const
{
    const long long total = frames.frameTotal();
    const long long index = frames.frameIndex();
    if (fileName.isEmpty() || total <= 0 || index < 0)
        return position->frameCount() > 0.0
            ? engine->getFramePosition() / position->frameCount() * 100.0
            : 0.0;
    return double(index) / double(total) * 100.0;
}

void VideoControls::updateTime(float ms)
{
    position->showTime(ms);
    if (position->sliderFollows() && position->frameCount() > 0.0)
        position->showProgress(progressPercent());
}

void VideoControls::setDuration(double frames, double rate) { position->setDuration(frames, rate); }

void VideoControls::setFileSize(float bytes) { position->setFileSize(bytes); }

void VideoControls::setPlayPauseIcon(const char* icon)
{
    playPauseButton->setIcon(QIcon(QString::fromLatin1(icon)));
}
