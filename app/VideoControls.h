#pragma once

#include <QDialog>

#include <memory>

class ProgressSlider;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class VistrelInterface;
class WorkerThread;

// The playback panel: opens a video in the engine, plays, pauses, stops,
// jumps by a step in milliseconds, seeks with the progress slider, sets the
// speed, and shows the position and the duration. It owns the worker thread
// that runs the engine's playback loop and paces the screen refresh with
// giveNewImage() every 25 ms.
class VideoControls : public QDialog
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
    bool isVideoStopped() const { return stoppedFlag; }

    // Opens the file as if it had been chosen in the open dialog.
    void loadFile(const QString& path);

    // Label updates: position (ms), duration, file size.
    void updateTime(float ms);
    void setDuration(double frames, double rate);
    void setFileSize(float bytes);

    // The engine's delay factor for a speed slider value (0 slowest, 100 fastest).
    static float delayFactorFor(int speed);

signals:
    void giveNewVideoResolution();
    void giveNewImage();
    void play();
    void pause();

public slots:
    void openFile();
    void stopVideo();
    void playPauseVideo();

private slots:
    void jumpBack();
    void jumpForward();
    void playbackSpeed(int value);
    void slotSliderPressed();
    void slotSliderReleased();
    void slotSliderMoved(int moved);
    void playbackLoopFinished();

protected:
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Jump { Back, Forward };

    QPushButton* makeButton(const char* icon, const QString& tip, int iconSidePx);
    void createLayout();
    void nameChildren();
    void resetInfoLabels();
    void showFileInfo(const QString& path);
    void startPlayback();
    void stopPlaybackLoop();
    bool loopRunning() const;
    void jump(Jump direction);
    int clampedStep(Jump direction, int stepMs) const;
    int lastFrameMs() const;
    void requestJump(Jump direction);
    void stopTimers();
    void startTimers();
    void setPlayPauseIcon(const char* icon);

    VistrelInterface* engine;
    QPushButton* openButton = nullptr;
    QPushButton* playPauseButton = nullptr;
    QSlider* speedSlider = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* jumpForwardButton = nullptr;
    QLineEdit* jumpEdit = nullptr;
    QPushButton* jumpBackButton = nullptr;
    ProgressSlider* progressSlider = nullptr;
    QLabel* fileLabel = nullptr;
    QLabel* resolutionLabel = nullptr;
    QLabel* sizeLabel = nullptr;
    QLabel* dateLabel = nullptr;
    QLabel* timeLabel = nullptr;
    QLabel* durationLabel = nullptr;
    QString fileName;
    std::unique_ptr<WorkerThread> worker;
    double frameCount = 0.0;
    double fps = 0.0;
    double durationSeconds = 0.0;
    bool stoppedFlag = true;
    bool sliderFollows = true;
    int frameTimer = 0;
    int clockTimer = 0;
    // Each playback run ends with one queued playbackFinished(); a finish that
    // arrives after a newer run was started belongs to an older run.
    quint64 startedRuns = 0;
    quint64 finishedRuns = 0;
};
