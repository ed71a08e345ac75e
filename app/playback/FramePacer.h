#pragma once

#include <QObject>

// The clocks of a running playback: refresh() asks the screens to fetch the
// newest picture, tick() the position display to follow. Neither runs while
// stopped; single frames shown then update both themselves.
class FramePacer : public QObject
{
    Q_OBJECT

public:
    explicit FramePacer(QObject* parent = nullptr);

    void start();
    void stop();
    bool isRunning() const { return refreshTimer != 0; }

signals:
    void refresh();
    void tick();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    int refreshTimer = 0;
    int clockTimer = 0;
};
