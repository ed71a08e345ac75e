#pragma once

#include <QObject>

class ProgressSlider;
class QLabel;
class QWidget;

// The position and file facts on the playback panel: the time of the frame
// on screen, the duration, the progress slider (which follows the position
// unless the user holds it), and the file's name, resolution, size and date.
class PositionDisplay : public QObject
{
    Q_OBJECT

public:
    // The widgets are the panel's children.
    explicit PositionDisplay(QWidget* panel);

    ProgressSlider* slider() const { return progressSlider; }
    QLabel* fileLabel() const { return file; }
    QLabel* resolutionLabel() const { return resolution; }
    QLabel* sizeLabel() const { return size; }
    QLabel* dateLabel() const { return date; }
    QLabel* timeLabel() const { return time; }
    QLabel* durationLabel() const { return duration; }

    // The file labels without a file.
    void resetInfo();
    // The file labels for an opened file of this picture size.
    void showFileInfo(const QString& path, int width, int height);

    // Position as hh:mm:ss:mmm.
    void showTime(float ms);
    // Moves the slider to this share of the video (0 ... 100), unless it is
    // held or no duration is known.
    void showProgress(double percent);
    void setDuration(double frames, double rate);
    void setFileSize(float bytes);

    bool sliderFollows() const { return follows; }
    void setSliderFollows(bool follow) { follows = follow; }
    double frameCount() const { return frames; }
    double fps() const { return rate; }
    double durationSeconds() const { return seconds; }
    // The time of the last frame; INT_MAX when the duration is unknown.
    int lastFrameMs() const;

private:
    void nameChildren();

    ProgressSlider* progressSlider = nullptr;
    QLabel* file = nullptr;
    QLabel* resolution = nullptr;
    QLabel* size = nullptr;
    QLabel* date = nullptr;
    QLabel* time = nullptr;
    QLabel* duration = nullptr;
    double frames = 0.0;
    double rate = 0.0;
    double seconds = 0.0;
    bool follows = true;
};
