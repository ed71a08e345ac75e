#include "calibration/FindPitchAction.h"

#include "calibration/FieldControls.h"
#include "engine/EngineFunctions.h"
#include "playback/VideoControls.h"
#include "window/Actions.h"

#include <QAction>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Found corners further out than this are not believed (and would overflow
// the conversion to pixels).
constexpr double kCornerLimitPx = 1e6;

} // namespace

FindPitchAction::FindPitchAction(VistrelInterface* engine, VideoControls* videoControls,
    FieldControls* fieldControls, QObject* parent)
    : QObject(parent)
    , engine(engine)
    , videoControls(videoControls)
    , fieldControls(fieldControls)
{
    find = makeAction(this, tr("Find &Pitch"), tr("Ctrl+K"),
        tr("Find the pitch's four corners on this frame and calibrate with them"), nullptr,
        "findPitchAction");
    find->setEnabled(EngineFunctions::of(engine).canFindCorners());
    connect(find, &QAction::triggered, this, &FindPitchAction::findPitch);
}

// The search runs on the current frame under the engine's lock and takes
// tens of milliseconds: short enough to wait for here, behind a busy cursor.
void FindPitchAction::findPitch()
{
    if (videoControls->currentFile().isEmpty()) {
        emit notice(tr("Open a video first: the pitch is found on its picture"));
        return;
    }
    // x, y of the four corners in click order.
    double foundXy[8] = {};
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = EngineFunctions::of(engine).findCorners(foundXy);
    QGuiApplication::restoreOverrideCursor();
    const bool believable = std::all_of(std::begin(foundXy), std::end(foundXy),
        [](double v) { return std::isfinite(v) && std::abs(v) < kCornerLimitPx; });
    if (result != 0 || !believable) {
        emit notice(tr("No pitch found on this frame: all four corners must be in the picture. "
                       "The calibration is unchanged."));
        return;
    }
    std::array<QPoint, FieldControls::kCornerCount> corners;
    for (std::size_t i = 0; i < corners.size(); ++i)
        corners[i] = QPoint(
            int(std::lround(foundXy[2 * i])), int(std::lround(foundXy[2 * i + 1])));
    fieldControls->setFoundCorners(corners);
    emit found();
    emit notice(tr("Pitch found and calibrated; Ctrl+Z takes it back"));
    fieldControls->offerMarkedSize();
}
