#pragma once

#include "engine/CameraLens.h"

#include <QObject>
#include <QString>

class FieldControls;
class QAction;
class QThread;
class VideoControls;
class VistrelInterface;

// Straighten lines: the engine estimates the camera's lens from the painted
// lines of the current frame, and the lens it finds becomes the camera's as
// one undo step. The estimate takes up to half a second on a large frame, so
// it runs on a thread of its own while the window stays responsive; what it
// found is told as a passing note.
class StraightenLines : public QObject
{
    Q_OBJECT

public:
    StraightenLines(VistrelInterface* engine, VideoControls* videoControls,
        FieldControls* fieldControls, QObject* parent);
    ~StraightenLines() override;

    QAction* action() const { return straighten; }
    bool isRunning() const { return worker != nullptr; }
    // "lens k1 0.26: the painted lines are now straight to 0.8 px"
    static QString foundText(const CameraLens& lens, double straightPx);

signals:
    void notice(const QString& text);
    // The estimate ended, found or not.
    void finished();

private:
    struct Estimate
    {
        bool found = false;
        CameraLens lens;
        double straightPx = -1.0;
    };

    void start();
    void conclude(const Estimate& estimate, const CameraLens& before, const QString& video);

    VistrelInterface* engine;
    VideoControls* videoControls;
    FieldControls* fieldControls;
    QAction* straighten = nullptr;
    QThread* worker = nullptr;
};
