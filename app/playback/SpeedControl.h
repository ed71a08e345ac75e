#pragma once

#include <QObject>

class QLabel;
class QSlider;
class QWidget;
class VistrelInterface;

// The speed slider and its label on the playback panel: two octaves either
// side of real time (x0.25 at 0, x1 at 50, x4 at 100), handed to the engine
// as the factor that stretches its pace.
class SpeedControl : public QObject
{
    Q_OBJECT

public:
    // The widgets are the panel's children.
    SpeedControl(VistrelInterface* engine, QWidget* panel);

    QSlider* slider() const { return speedSlider; }
    QLabel* label() const { return speedLabel; }
    // The speed the slider shows now (x1 = the file's own frame rate).
    double speedFactor() const;

    // The speed for a speed slider value: x0.25 at 0, x1 (the file's own
    // frame rate) at 50, x4 at 100.
    static double speedFactorFor(int speed);
    // The engine's delay factor for a speed slider value (0 slowest, 100 fastest).
    static float delayFactorFor(int speed);

signals:
    void speedChanged(double factor);

private:
    void setSpeed(int value);

    VistrelInterface* engine;
    QSlider* speedSlider = nullptr;
    QLabel* speedLabel = nullptr;
};
