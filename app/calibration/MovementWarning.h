#pragma once

#include <QObject>

class FieldControls;
class MovementWatch;
class QAction;
class QLabel;
class QStatusBar;
class QToolButton;
class VideoControls;
class VistrelInterface;

// The camera-movement warning: runs the movement watch while a calibrated
// video plays, and shows a red note with a Find Pitch button in the status
// bar while the painted lines lie off the calibrated ones.
class MovementWarning : public QObject
{
    Q_OBJECT

public:
    MovementWarning(VistrelInterface* engine, VideoControls* videoControls,
        FieldControls* fieldControls, QAction* findPitch, QObject* parent);

    // Puts the note and its button at the right of the status bar.
    void addTo(QStatusBar* statusBar);
    // A new video or a new calibration starts the judging afresh.
    void restart();

signals:
    // The fit readout was renewed with the warning.
    void fitRefreshed();

private:
    void followCalibration();
    void followPlayback();
    void show(double meanPx);
    void hide();
    void refreshFitReadout();

    VideoControls* videoControls;
    FieldControls* fieldControls;
    MovementWatch* watch = nullptr;
    QLabel* label = nullptr;
    QToolButton* findAgainButton = nullptr;
};
