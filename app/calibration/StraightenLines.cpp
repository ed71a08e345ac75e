#include "calibration/StraightenLines.h"

#include "calibration/FieldControls.h"
#include "engine/EngineFunctions.h"
#include "playback/VideoControls.h"
#include "window/Actions.h"

#include <QAction>
#include <QThread>

#include <memory>

StraightenLines::StraightenLines(VistrelInterface* engine, VideoControls* videoControls,
    FieldControls* fieldControls, QObject* parent)
    : QObject(parent)
    , engine(engine)
    , videoControls(videoControls)
    , fieldControls(fieldControls)
{
    straighten = makeAction(this, tr("Straighten lines"), QString(),
        tr("Find the camera's lens distortion from the painted lines of this frame and "
           "correct it"),
        nullptr, "straightenLinesAction");
    straighten->setEnabled(EngineFunctions::of(engine).canModelLens());
    connect(straighten, &QAction::triggered, this, &StraightenLines::start);
}

// The engine holds its lock for the estimate; the thread is waited for, as
// the engine outlives this.
StraightenLines::~StraightenLines()
{
    if (worker)
        worker->wait();
}

QString StraightenLines::foundText(const CameraLens& lens, double straightPx)
{
    const QString k1 = QString::number(lens.k1, 'f', 2);
    if (straightPx < 0.0)
        return tr("lens k1 %1: the painted lines are now straight").arg(k1);
    return tr("lens k1 %1: the painted lines are now straight to %2 px")
        .arg(k1, QString::number(straightPx, 'f', 1));
}

void StraightenLines::start()
{
    const QString video = videoControls->currentFile();
    if (video.isEmpty()) {
        emit notice(tr("Open a video first: the lines are straightened on its picture"));
        return;
    }
    if (worker)
        return;
    const EngineFunctions functions = EngineFunctions::of(engine);
    CameraLens before;
    if (functions.lens(&before) != 0) {
        emit notice(tr("The lens cannot be estimated without a picture"));
        return;
    }
    auto estimate = std::make_shared<Estimate>();
    worker = QThread::create([functions, estimate] {
        estimate->found = functions.estimateLens(&estimate->lens) == 0;
        if (estimate->found && functions.lensStraightness(&estimate->straightPx) != 0)
            estimate->straightPx = -1.0;
    });
    connect(worker, &QThread::finished, this, [this, estimate, before, video] {
        worker->deleteLater();
        worker = nullptr;
        straighten->setEnabled(true);
        conclude(*estimate, before, video);
        emit finished();
    });
    straighten->setEnabled(false);
    emit notice(tr("Straightening lines..."));
    worker->start();
}

void StraightenLines::conclude(
    const Estimate& estimate, const CameraLens& before, const QString& video)
{
    // Another video opened meanwhile: its own calibration stands.
    if (video != videoControls->currentFile())
        return;
    if (!estimate.found) {
        emit notice(tr("No lens distortion found: too few long painted lines in the picture, "
                       "or they are straight already. The lens is unchanged."));
        return;
    }
    fieldControls->setLens(estimate.lens, before);
    emit notice(foundText(estimate.lens, estimate.straightPx));
}
