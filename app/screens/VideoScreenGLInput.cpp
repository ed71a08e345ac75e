#include "screens/VideoScreenGLInput.h"

#include "calibration/FieldControls.h"
#include "measuring/MeasureTool.h"
#include "screens/VideoScreenGL.h"

#include <QAction>
#include <QMouseEvent>

#include <algorithm>
#include <array>

namespace {

constexpr float kPickRadiusSquaredPx = 36.0f; // 6 video pixels

bool altHeld(const QMouseEvent& event) { return event.modifiers().testFlag(Qt::AltModifier); }

} // namespace

VideoScreenGLInput::VideoScreenGLInput(VideoScreenGL* screen, FieldControls* fieldControls)
    : QObject(screen)
    , screen(screen)
    , fieldControls(fieldControls)
{
    markAction = createAction(tr("Mark"), &VideoScreenGLInput::setMarkPointsMode);
    markAction->setCheckable(true);
    markAction->setChecked(true);
    selectAction = createAction(tr("Select"), &VideoScreenGLInput::setSelectCornersMode);
    selectAction->setCheckable(true);
    cleanAction = createAction(tr("Clean"), &VideoScreenGLInput::clean);
    screen->addActions({ markAction, selectAction, cleanAction });
    screen->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(fieldControls, &FieldControls::signalResetPoints, this, &VideoScreenGLInput::clean);
}

QAction* VideoScreenGLInput::createAction(const QString& text, void (VideoScreenGLInput::*slot)())
{
    auto* action = new QAction(text, screen);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

// Tells the tool where the mouse is; true while it is over the picture.
bool VideoScreenGLInput::hover(const QPointF& widgetPosition)
{
    if (!measureTool || !screen->hasPicture())
        return false;
    if (!screen->insidePicture(widgetPosition.toPoint())) {
        if (measureTool->cursor())
            measureTool->leave();
        return false;
    }
    measureTool->hover(screen->toVideoF(widgetPosition));
    return true;
}

void VideoScreenGLInput::leave()
{
    if (measureTool && measureTool->cursor())
        measureTool->leave();
}

bool VideoScreenGLInput::press(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton)
        return false;
    if (measureTool && measureTool->isActive()) {
        pressPosition = event.position();
        if (hover(event.position()))
            measureTool->press(screen->toVideoF(event.position()));
        return true;
    }
    const QPoint position = event.position().toPoint();
    if (screen->insidePicture(position)
        && screen->layerStack().press(screen->toVideoF(event.position()), screen->pictureScale()))
        return true;
    if (interaction == InteractionMode::SelectCorners) {
        emit cursorChanged(Qt::ClosedHandCursor);
        if (fieldControls->cornersComplete())
            pickCorner(screen->toVideo(position));
        return true;
    }
    // A click in the black margins is no point of the video.
    if (!screen->insidePicture(position))
        return true;
    const QPoint video = screen->toVideoInPicture(position);
    emit givePoint(video.x(), video.y(), altHeld(event));
    if (fieldControls->cornersComplete())
        emit linesChanged();
    return true;
}

bool VideoScreenGLInput::move(const QMouseEvent& event)
{
    hover(event.position());
    if (measureTool && measureTool->isActive())
        return true;
    if (screen->layerStack().drag(screen->toVideoF(event.position()), screen->imageSize()))
        return true;
    if (event.buttons() != Qt::LeftButton)
        return false;
    // Before the corners are complete a drag gives no points, so that each
    // corner takes exactly one click.
    if (!fieldControls->cornersComplete() || screen->imageSize().isEmpty())
        return true;
    const QPoint video = screen->toVideoInPicture(event.position().toPoint());
    if (interaction == InteractionMode::MarkPoints) {
        emit givePoint(video.x(), video.y(), altHeld(event));
    } else if (selected >= 0) {
        fieldControls->moveCorner(selected, video.x(), video.y());
        emit linesChanged();
    }
    return true;
}

bool VideoScreenGLInput::release(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton)
        return false;
    if (measureTool && measureTool->isActive()) {
        hover(event.position());
        measureTool->releaseOnPicture(screen->toVideoF(event.position()), screen->imageSize(),
            (event.position() - pressPosition).manhattanLength());
        return true;
    }
    if (screen->layerStack().release(
            screen->toVideoF(event.position()), screen->imageSize(), altHeld(event)))
        return true;
    if (interaction != InteractionMode::SelectCorners)
        return true;
    emit cursorChanged(Qt::OpenHandCursor);
    // A dragged corner settles on the crossing of the lines it was dropped near.
    if (selected >= 0)
        fieldControls->settleCorner(selected, altHeld(event));
    return true;
}

void VideoScreenGLInput::pickCorner(const QPoint& video)
{
    struct Candidate
    {
        int index;
        float distanceSquared;
    };
    const std::vector<QPoint> corners = fieldControls->corners();
    std::array<Candidate, FieldControls::kCornerCount> candidates {};
    for (int i = 0; i < FieldControls::kCornerCount; ++i) {
        const float dx = float(corners[i].x() - video.x());
        const float dy = float(corners[i].y() - video.y());
        candidates[i] = { i, dx * dx + dy * dy };
    }
    // Equal distances keep the lower index first.
    std::stable_sort(
        candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.distanceSquared < b.distanceSquared;
        });
    selected = candidates[0].distanceSquared < kPickRadiusSquaredPx ? candidates[0].index : -1;
    emit repaintWanted();
}

void VideoScreenGLInput::setMarkPointsMode()
{
    selectAction->setChecked(false);
    interaction = InteractionMode::MarkPoints;
    markAction->setChecked(true);
    emit cursorChanged(Qt::CrossCursor);
    emit repaintWanted();
}

void VideoScreenGLInput::setSelectCornersMode()
{
    markAction->setChecked(false);
    interaction = InteractionMode::SelectCorners;
    selectAction->setChecked(true);
    emit cursorChanged(Qt::OpenHandCursor);
    emit repaintWanted();
}

void VideoScreenGLInput::clean()
{
    emit resetPoints();
    emit cleaned();
    selected = -1;
    emit repaintWanted();
}
