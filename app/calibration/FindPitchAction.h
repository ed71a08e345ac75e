#pragma once

#include <QObject>

class FieldControls;
class QAction;
class VideoControls;
class VistrelInterface;

// Find Pitch (Ctrl+K): the engine looks for the pitch's four corners on the
// current frame, and the found corners become the calibration as one undo
// step. What happened is told as a passing note.
class FindPitchAction : public QObject
{
    Q_OBJECT

public:
    FindPitchAction(VistrelInterface* engine, VideoControls* videoControls,
        FieldControls* fieldControls, QObject* parent);

    QAction* action() const { return find; }

signals:
    void notice(const QString& text);
    // The pitch was found and calibrated with.
    void found();

private:
    void findPitch();

    VistrelInterface* engine;
    VideoControls* videoControls;
    FieldControls* fieldControls;
    QAction* find = nullptr;
};
