#include "calibration/MovementWarning.h"

#include "calibration/FieldControls.h"
#include "calibration/MovementWatch.h"
#include "playback/VideoControls.h"

#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

MovementWarning::MovementWarning(VistrelInterface* engine, VideoControls* videoControls,
    FieldControls* fieldControls, QAction* findPitch, QObject* parent)
    : QObject(parent)
    , videoControls(videoControls)
    , fieldControls(fieldControls)
{
    // Permanent in the status bar, so that passing notes do not hide it.
    label = new QLabel;
    label->setObjectName(QStringLiteral("movementWarning"));
    label->setStyleSheet(QStringLiteral("color: #c00000"));
    label->hide();
    findAgainButton = new QToolButton;
    findAgainButton->setObjectName(QStringLiteral("findPitchAgainButton"));
    findAgainButton->setDefaultAction(findPitch);
    findAgainButton->hide();

    watch = new MovementWatch(engine, this);
    watch->setObjectName(QStringLiteral("movementWatch"));
    connect(watch, &MovementWatch::cameraMoved, this, &MovementWarning::show);
    connect(watch, &MovementWatch::cameraSettled, this, &MovementWarning::hide);
    connect(videoControls, &VideoControls::stateChanged, this, &MovementWarning::followPlayback);
    connect(fieldControls, &FieldControls::signalOverlayChanged, this,
        &MovementWarning::followCalibration);
    followCalibration();
}

void MovementWarning::addTo(QStatusBar* statusBar)
{
    statusBar->addPermanentWidget(label);
    statusBar->addPermanentWidget(findAgainButton);
}

void MovementWarning::restart() { watch->restart(); }

void MovementWarning::followCalibration()
{
    watch->setCalibration(
        fieldControls->corners(), fieldControls->fieldLength(), fieldControls->fieldWidth());
    followPlayback();
}

void MovementWarning::followPlayback()
{
    if (videoControls->isPlaying() && fieldControls->cornersComplete())
        watch->start();
    else
        watch->stop();
}

void MovementWarning::show(double meanPx)
{
    label->setText(meanPx >= 0.0
            ? tr("The camera seems to have moved: the lines are %1 px off. Find pitch (Ctrl+K) "
                 "again?")
                  .arg(meanPx, 0, 'f', 1)
            : tr("The camera seems to have moved: the painted lines are no longer near the "
                 "calibrated ones. Find pitch (Ctrl+K) again?"));
    label->show();
    findAgainButton->show();
    refreshFitReadout();
}

void MovementWarning::hide()
{
    label->hide();
    findAgainButton->hide();
    refreshFitReadout();
}

// The fit readout is otherwise renewed only while nothing plays; beside the
// warning it must not go on showing the fit from before the movement.
void MovementWarning::refreshFitReadout()
{
    fieldControls->refreshFit();
    emit fitRefreshed();
}
