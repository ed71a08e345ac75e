#pragma once

#include "players/TrackSet.h"

#include <QObject>

class QAction;
class QTimer;
class TrackStore;
class VistrelInterface;

// The players of the frame on the screen, straight from the engine while it
// plays, for a video whose tracks are not kept: "Live players" (Measure
// menu) turns them on and off. While on, `store()` holds the players of the
// latest frame the engine tracked, each with the samples of its last few
// seconds for a trail; the views that show it follow playback through it.
class LivePlayers : public QObject
{
    Q_OBJECT

public:
    explicit LivePlayers(VistrelInterface* engine, QObject* parent = nullptr);
    ~LivePlayers() override;

    QAction* toggleAction() const { return toggle; }
    TrackStore* store() const { return live; }
    bool isOn() const;

    // Asks the engine for the live players; false, with `failed`, when it
    // cannot (no calibration, an engine without them).
    bool start();
    void stop();
    // Whether the toggle may be used: a calibrated video without kept
    // tracks. Turning it unavailable stops the live players.
    void setAvailable(bool available);

    // How often the engine is asked for the players, ms: faster than any
    // frame rate a video plays at.
    static constexpr int kPollMs = 20;

public slots:
    // Reads the players of the engine's latest tracked frame into store().
    void poll();

signals:
    void started();
    void stopped();
    void failed(const QString& message);

private:
    void toggled(bool on);
    void add(const struct VistrelLivePlayer* players, int count, qint64 frame);

    VistrelInterface* engine = nullptr;
    QAction* toggle = nullptr;
    QTimer* timer = nullptr;
    TrackStore* live = nullptr;
    TrackSet recent;
    qint64 lastFrame = -1;
};
