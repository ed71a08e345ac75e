#pragma once

#include <QObject>

// The clocks of a running playback: refresh() asks the screens to fetch the
// newest picture, tick() the position display to follow. The refresh
// follows the video: it looks for a new picture a quarter more often than
// the engine draws them (the video's frame rate times the speed), so that
// none is missed, and, where the engine draws more pictures than the screen
// can show, exactly at the screen's refresh rate, so that the frames left
// out are left out evenly. Neither clock runs while stopped; single frames
// shown then update the screens themselves.
class FramePacer : public QObject
{
    Q_OBJECT

public:
    explicit FramePacer(QObject* parent = nullptr);

    // The video's frame rate (<= 0: unknown, taken as 25) and the speed
    // factor (1 = real time); a running refresh takes the new pace at once.
    void setFrameRate(double fps);
    void setSpeed(double factor);
    // The screen's refresh rate in Hz (<= 0: unknown, taken as 60).
    void setDisplayRate(double hz);

    void start();
    void stop();
    bool isRunning() const { return refreshTimer != 0; }
    // The period of the refresh in milliseconds for these rates.
    static int refreshIntervalMs(double fps, double speed, double displayHz);
    int refreshIntervalMs() const;

signals:
    void refresh();
    void tick();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void restartRefresh();

    double frameRate = 0.0;
    double speedFactor = 1.0;
    double displayRate = 0.0;
    int refreshTimer = 0;
    int clockTimer = 0;
};
