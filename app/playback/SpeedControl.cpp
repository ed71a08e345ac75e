#include "playback/SpeedControl.h"

#include "VistrelInterface.h"

#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSpeedSliderWidthPx = 50;
constexpr int kSpeedTickInterval = 25;
constexpr int kInitialSpeed = 50;
constexpr int kSpeedLabelWidthPx = 40;
// The slider spans two octaves either side of real time: x0.25 ... x4.
constexpr double kSpeedRangeFactor = 4.0;

} // namespace

SpeedControl::SpeedControl(VistrelInterface* engine, QWidget* panel)
    : QObject(panel)
    , engine(engine)
    , speedSlider(new QSlider(Qt::Horizontal, panel))
    , speedLabel(new QLabel(panel))
{
    speedSlider->setRange(0, 100);
    speedSlider->setTickPosition(QSlider::TicksAbove);
    speedSlider->setTickInterval(kSpeedTickInterval);
    speedSlider->setSingleStep(1);
    speedSlider->setValue(kInitialSpeed);
    speedSlider->setMinimumWidth(kSpeedSliderWidthPx);
    speedSlider->setMaximumWidth(kSpeedSliderWidthPx);
    speedSlider->setFocusPolicy(Qt::NoFocus);
    speedSlider->setObjectName(QStringLiteral("speedSlider"));
    speedLabel->setFixedWidth(kSpeedLabelWidthPx);
    speedLabel->setObjectName(QStringLiteral("speedLabel"));
    setSpeed(kInitialSpeed);
    connect(speedSlider, &QSlider::valueChanged, this, &SpeedControl::setSpeed);
}

double SpeedControl::speedFactor() const { return speedFactorFor(speedSlider->value()); }

double SpeedControl::speedFactorFor(int speed)
{
    return std::pow(kSpeedRangeFactor, (std::clamp(speed, 0, 100) - 50) / 50.0);
}

// The engine paces to the file's frame rate (set when it opens); the delay
// factor stretches or shortens that pace.
float SpeedControl::delayFactorFor(int speed) { return float(1.0 / speedFactorFor(speed)); }

void SpeedControl::setSpeed(int value)
{
    engine->setDelayFactor(delayFactorFor(value));
    speedLabel->setText(tr("x%1").arg(speedFactorFor(value), 0, 'g', 2));
    emit speedChanged(speedFactorFor(value));
}
