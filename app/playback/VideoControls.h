#pragma once

#include "PanelDialog.h"
#include "engine/EngineFunctions.h"
#include "playback/LoopJumper.h"

#include <memory>

class FramePacer;
class PositionDisplay;
class QLineEdit;
class QPushButton;
class SpeedControl;
class VistrelInterface;
class WorkerThread;

// The playback panel: opens a video in the engine, plays, pauses, stops,
// jumps by a step in milliseconds, seeks with the progress slider, sets the
// speed (SpeedControl), and shows the position and the duration
// (PositionDisplay). It owns the worker thread
// that runs the engine's playback loop and paces the screen refresh with
// giveNewImage() at the pace of the video (FramePacer) while the loop runs
// (the screens fetch only when the picture changed); while stopped no timer
// runs. While
// stopped or paused it shows single frames: the first one as soon as a
// video opens and after a stop, and the next or previous one on a step.
class VideoControls : public PanelDialog
{
    Q_OBJECT

public:
    explicit VideoControls(VistrelInterface* engine, QWidget* parent = nullptr);
    // Stops a running playback loop and waits for the worker.
    ~VideoControls() override;

    // For the screens.
    int frameWidth() const;
    int frameHeight() const;
    std::shared_ptr<unsigned char[]> currentFrame() const;
    // Grows with every new picture the engine draws; 0 when the engine
    // cannot tell, and the screens then fetch on every refresh.
    unsigned long long frameSerial() const { return frames.frameSerial(); }
    // How many pictures the screens fetched so far.
    quint64 fetchedFrames() const { return fetchCount; }
    bool isVideoStopped() const { return stoppedFlag; }
    // Whether the export picture holds a frame of the open video (it plays,
    // or a single frame was shown); a screen shows black otherwise.
    bool showsPicture() const;
    bool isPlaying() const;
    QString currentFile() const { return fileName; }
    // The index of the frame on screen; -1 when unknown.
    long long currentFrameIndex() const;

    // Opens the file as if it had been chosen in the open dialog. A file
    // that cannot be opened leaves the video that was open in place and
    // emits openFailed; true when the new video is open.
    bool loadFile(const QString& path);

    // Decodes the frame with this index into the export picture and shows
    // it, with the position display following; false when the engine cannot.
    bool showFrame(long long index);

    // Label updates: position (ms), duration, file size.
    void updateTime(float ms);
    void setDuration(double frames, double rate);
    void setFileSize(float bytes);

    // The speed for a speed slider value: x0.25 at 0, x1 (the file's own
    // frame rate) at 50, x4 at 100.
    static double speedFactorFor(int speed);
    // The engine's delay factor for a speed slider value (0 slowest, 100 fastest).
    static float delayFactorFor(int speed);
    // The file types the open dialog offers.
    static QString openFilter();

signals:
    void giveNewVideoResolution();
    void giveNewImage();
    void play();
    void pause();
    void videoOpened(const QString& path);
    void openFailed(const QString& path, const QString& reason);
    // Playing, pausing, stopping or a step changed what the panel holds.
    void stateChanged();

public slots:
    void openFile();
    void stopVideo();
    void playPauseVideo();
    // Single frames while stopped or paused; ignored while the video plays.
    void stepForward();
    void stepBack();
    void showFirstFrame();
    // Jumps by the step typed in the panel, while playing, paused or stopped.
    void jumpBack();
    void jumpForward();
    // Draws the frame on screen again with the current overlay, when no
    // playing loop is about to do it.
    void redrawFrame();

private slots:
    void slotSliderPressed();
    void slotSliderReleased();
    void slotSliderMoved(int moved);
    void playbackLoopFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    using Jump = LoopJumper::Direction;

    QPushButton* makeButton(const char* icon, const QString& tip, int iconSidePx);
    void createLayout();
    void nameChildren();
    void showFileInfo(const QString& path);
    void startPlayback();
    void haltPlayback();
    void stopPlaybackLoop();
    bool loopRunning() const;
    bool openInEngine(const QString& path);
    void reopen(const QString& path, long long frameIndex);
    void stepBy(long long count);
    void seekToSlider();
    void jumpToSlider();
    void followPosition();
    double currentPositionMs() const;
    double progressPercent() const;
    void jump(Jump direction);
    void seekBy(Jump direction, int stepMs);
    void stopTimers();
    void startTimers();
    void setPlayPauseIcon(const char* icon);

    VistrelInterface* engine;
    EngineFunctions frames;
    QPushButton* openButton = nullptr;
    QPushButton* playPauseButton = nullptr;
    SpeedControl* speed = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* jumpForwardButton = nullptr;
    QLineEdit* jumpEdit = nullptr;
    QPushButton* jumpBackButton = nullptr;
    PositionDisplay* position = nullptr;
    QString fileName;
    std::unique_ptr<WorkerThread> worker;
    std::unique_ptr<LoopJumper> jumper;
    bool stoppedFlag = true;
    // A single frame was put into the export picture while nothing played.
    bool frameShown = false;
    FramePacer* pacer = nullptr;
    // Each playback run ends with one queued playbackFinished(); a finish that
    // arrives after a newer run was started belongs to an older run.
    quint64 startedRuns = 0;
    quint64 finishedRuns = 0;
    // The frame the last state change reported while not playing.
    long long reportedFrame = -1;
    mutable quint64 fetchCount = 0;
};
