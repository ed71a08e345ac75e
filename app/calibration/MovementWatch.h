#pragma once

#include "engine/EngineFunctions.h"

#include <QObject>
#include <QPoint>

#include <vector>

class QTimer;
class VistrelInterface;

// Watches a calibrated pitch for camera movement while a video plays. Every
// kCheckIntervalS of video it compares the painted markings on the current
// frame with the ones the calibration projects (the engine's calibration
// fit). Once a check has fitted, kPoorChecksInRow checks in a row that fit
// worse than kPoorFitPx, or find no markings at all, mean the camera was
// most likely knocked or its tripod sagged: cameraMoved() says so. A check
// that fits again, or a new calibration, ends the warning with
// cameraSettled().
//
// The checks run on the thread the watch lives in (the GUI thread): one
// takes a few milliseconds under the engine's lock, once per interval.
class MovementWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr double kCheckIntervalS = 2.0;
    static constexpr double kPoorFitPx = 3.0;
    static constexpr int kPoorChecksInRow = 3;
    // How often the frame index is looked at while watching.
    static constexpr int kPollMs = 100;

    explicit MovementWatch(VistrelInterface* engine, QObject* parent = nullptr);

    // While a calibrated video plays; stop() keeps what the checks so far
    // found, so a pause does not end a warning.
    void start();
    void stop();
    bool isWatching() const;
    // The calibration these checks judge: new corners or dimensions make
    // the earlier checks meaningless, so they are forgotten.
    void setCalibration(const std::vector<QPoint>& corners, float length, float width);
    // Forgets every check (a new video, the pitch found again).
    void restart();
    bool warns() const { return warning; }
    int checkCount() const { return checks; }

signals:
    // meanPx is the latest fit, or below 0 when the markings were no longer
    // found near the projected ones; frame is the index checked.
    void cameraMoved(double meanPx, long long frame);
    void cameraSettled();

private:
    void poll();
    void check(long long frame);

    VistrelInterface* engine;
    EngineFunctions functions;
    QTimer* pollTimer = nullptr;
    std::vector<QPoint> corners;
    float length = 0.0f;
    float width = 0.0f;
    // kCheckIntervalS in frames of the video playing.
    long long framesPerCheck = 1;
    long long lastChecked = -1;
    // A check that fitted since the calibration: only then does a poor one
    // tell of a movement rather than of a rough calibration.
    bool fitSeen = false;
    int poorInRow = 0;
    int checks = 0;
    bool warning = false;
};
