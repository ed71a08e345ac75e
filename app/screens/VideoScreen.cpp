#include "screens/VideoScreen.h"

#include "screens/ExportedFrame.h"
#include "measuring/MeasureTool.h"
#include "screens/PictureLayer.h"
#include "screens/PaintOverlay.h"
#include "playback/VideoControls.h"

#include <QAction>
#include <QApplication>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kStartWidthPx = 415;
constexpr int kStartHeightPx = 255;
// The screen is this much larger than the picture; the layout margins share
// it so that the view, fixed to the picture's size, is never clipped.
constexpr int kBorderPx = 15;
constexpr int kLeadingMarginPx = kBorderPx / 2;
constexpr int kTrailingMarginPx = kBorderPx - kLeadingMarginPx;
constexpr double kSnapRingRadiusPx = 3.0;
const QColor kSnapColour(255, 255, 0, 220);

} // namespace

VideoScreen::VideoScreen(VideoControls* videoControls, QWidget* /*parent*/)
    : PanelDialog(nullptr)
    , videoControls(videoControls)
{
    scene = new QGraphicsScene(this);
    view = new QGraphicsView(this);
    view->setScene(scene);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Picture pixel (0, 0) sits at the view's top-left pixel, so a click maps
    // to the video by subtracting the view's position alone; the screen
    // itself receives the mouse events.
    view->setFrameShape(QFrame::NoFrame);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->setBackgroundBrush(Qt::black);
    view->setRenderHint(QPainter::SmoothPixmapTransform);
    view->setMinimumSize(1, 1);
    frameItem = scene->addPixmap(QPixmap());

    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(
        kLeadingMarginPx, kLeadingMarginPx, kTrailingMarginPx, kTrailingMarginPx);
    layout->addWidget(view);
    setLayout(layout);
    overlay = new PaintOverlay([this](QPainter& painter) { paintOverlay(painter); }, this);
    setMouseTracking(true);

    // A click on the picture takes the focus from an edit, so that the
    // playback keys work again.
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    markAction = createAction(tr("Mark"), &VideoScreen::setMarkPointsMode);
    markAction->setCheckable(true);
    markAction->setChecked(true);
    selectAction = createAction(tr("Select"), &VideoScreen::setSelectCornersMode);
    selectAction->setCheckable(true);
    cleanAction = createAction(tr("Clean"), &VideoScreen::clean);
    addActions({ markAction, selectAction, cleanAction });
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QAction* VideoScreen::createAction(const QString& text, void (VideoScreen::*slot)())
{
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void VideoScreen::changeImageSize()
{
    imageWidth = videoControls->frameWidth();
    imageHeight = videoControls->frameHeight();
    scene->setSceneRect(0, 0, imageWidth, imageHeight);
    frameItem->setPixmap(QPixmap());
    pictureStale = true;
    updateGeometry();
    fitPicture();
}

QSize VideoScreen::sizeHint() const
{
    if (imageWidth <= 0 || imageHeight <= 0)
        return QSize(kStartWidthPx, kStartHeightPx);
    return QSize(imageWidth + kBorderPx, imageHeight + kBorderPx);
}

QSize VideoScreen::minimumSizeHint() const { return QSize(kStartWidthPx, kStartHeightPx); }

void VideoScreen::resizeEvent(QResizeEvent* event)
{
    PanelDialog::resizeEvent(event);
    fitPicture();
}

void VideoScreen::setMeasureTool(MeasureTool* tool)
{
    measureTool = tool;
    connect(tool, &MeasureTool::changed, overlay, qOverload<>(&QWidget::update));
}

void VideoScreen::addLayer(PictureLayer* layer)
{
    layers.add(layer);
    connect(layer, &PictureLayer::changed, overlay, qOverload<>(&QWidget::update));
}

QPointF VideoScreen::toVideoF(const QPointF& widgetPosition) const
{
    return videoToWidget().inverted().map(widgetPosition + QPointF(0.5, 0.5));
}

// Video pixel (x, y) covers the square of `scale` widget pixels whose centre
// this maps it to, as the view draws it.
QTransform VideoScreen::videoToWidget() const
{
    const QPointF origin = QPointF(view->pos()) + QPointF(0.5 * scale, 0.5 * scale);
    return QTransform(scale, 0, 0, scale, origin.x(), origin.y());
}

// Measurements and the loupe, over the view in the overlay's own pixels.
void VideoScreen::paintOverlay(QPainter& painter) const
{
    if (frameImage.isNull())
        return;
    const QTransform toOverlay
        = videoToWidget() * QTransform::fromTranslate(-overlay->x(), -overlay->y());
    layers.paint(painter, toOverlay);
    if (!measureTool)
        return;
    const bool loupe = measureTool->isActive() || mode == InteractionMode::MarkPoints;
    measureTool->paint(painter, toOverlay, frameImage, overlay->rect(), loupe);
}

// Tells the tool where the mouse is; true while it is over the picture.
bool VideoScreen::hover(const QPointF& widgetPosition)
{
    if (!measureTool || frameImage.isNull())
        return false;
    const QPointF video = toVideoF(widgetPosition);
    if (!insidePicture(toVideo(widgetPosition.toPoint()))) {
        if (measureTool->cursor())
            measureTool->leave();
        return false;
    }
    measureTool->hover(video);
    return true;
}

void VideoScreen::leaveEvent(QEvent* event)
{
    PanelDialog::leaveEvent(event);
    if (measureTool && measureTool->cursor())
        measureTool->leave();
}

// Shows the picture whole in the view: at its own size where there is room,
// scaled down evenly where there is not. Never enlarged, so that a small
// video stays sharp.
void VideoScreen::fitPicture()
{
    scale = 1.0;
    if (imageWidth > 0 && imageHeight > 0) {
        const double across = double(view->width()) / imageWidth;
        const double down = double(view->height()) / imageHeight;
        scale = std::clamp(std::min(across, down), 0.01, 1.0);
    }
    view->setTransform(QTransform::fromScale(scale, scale));
    overlay->setGeometry(rect());
    overlay->raise();
}

void VideoScreen::updateImage()
{
    // Read before the fetch: a picture drawn meanwhile is fetched next time.
    const unsigned long long serial = videoControls->frameSerial();
    if (!pictureStale && serial != 0 && serial == shownSerial)
        return;
    auto buffer = videoControls->currentFrame();
    // The buffer holds exactly the size the engine reports now; a frame of
    // another size than the one shown is skipped rather than misread.
    if (videoControls->frameWidth() != imageWidth || videoControls->frameHeight() != imageHeight)
        return;
    const QImage image = ExportedFrame::toImage(buffer, imageWidth, imageHeight);
    if (image.isNull())
        return;
    frameImage = image;
    frameItem->setPixmap(QPixmap::fromImage(image, Qt::ColorOnly));
    shownSerial = serial;
    pictureStale = false;
}

void VideoScreen::overlayChanged()
{
    updateImage();
    view->viewport()->update();
}

void VideoScreen::showSnapMoves(const std::vector<QLineF>& moves)
{
    for (QGraphicsItem* item : snapItems)
        delete item;
    snapItems.clear();
    // A cosmetic pen stays one screen pixel thin however the picture is scaled.
    QPen pen(kSnapColour);
    pen.setCosmetic(true);
    // Each video pixel's centre lies half a pixel into its square.
    const QPointF centre(0.5, 0.5);
    for (const QLineF& move : moves) {
        snapItems.push_back(scene->addLine(move.translated(centre), pen));
        const QPointF at = move.p2() + centre;
        snapItems.push_back(scene->addEllipse(at.x() - kSnapRingRadiusPx,
            at.y() - kSnapRingRadiusPx, 2 * kSnapRingRadiusPx, 2 * kSnapRingRadiusPx, pen));
    }
    // Over the frame, which is replaced in place and keeps its place below.
    for (QGraphicsItem* item : snapItems)
        item->setZValue(1.0);
}

// The video pixel shown under a screen position: the inverse of the view's
// scaling, each video pixel covering a square of scale screen pixels.
QPoint VideoScreen::toVideo(const QPoint& screenPosition) const
{
    const QPoint inView = screenPosition - view->pos();
    return QPoint(
        int(std::floor(inView.x() / scale + 1e-9)), int(std::floor(inView.y() / scale + 1e-9)));
}

bool VideoScreen::insidePicture(const QPoint& video) const
{
    return video.x() >= 0 && video.y() >= 0 && video.x() < imageWidth && video.y() < imageHeight;
}

void VideoScreen::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (measureTool && measureTool->isActive()) {
        pressPosition = event->position();
        if (hover(event->position()))
            measureTool->press(toVideoF(event->position()));
        return;
    }
    // A click beside the picture is no point of the video.
    const QPoint video = toVideo(event->position().toPoint());
    if (insidePicture(video) && layers.press(toVideoF(event->position()), scale))
        return;
    if (mode == InteractionMode::SelectCorners) {
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (insidePicture(video))
        emit givePoint(video.x(), video.y(), event->modifiers().testFlag(Qt::AltModifier));
}

void VideoScreen::mouseMoveEvent(QMouseEvent* event)
{
    hover(event->position());
    if (measureTool && measureTool->isActive())
        return;
    if (layers.drag(toVideoF(event->position()), QSizeF(imageWidth, imageHeight)))
        return;
    if (event->buttons() != Qt::LeftButton || mode != InteractionMode::MarkPoints)
        return;
    if (imageWidth <= 0 || imageHeight <= 0)
        return;
    // A drag that leaves the picture follows its edge.
    const QPoint video = toVideo(event->position().toPoint());
    emit givePoint(std::clamp(video.x(), 0, imageWidth - 1),
        std::clamp(video.y(), 0, imageHeight - 1), event->modifiers().testFlag(Qt::AltModifier));
}

void VideoScreen::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && measureTool && measureTool->isActive()) {
        hover(event->position());
        measureTool->releaseOnPicture(toVideoF(event->position()), QSize(imageWidth, imageHeight),
            (event->position() - pressPosition).manhattanLength());
        return;
    }
    if (event->button() == Qt::LeftButton
        && layers.release(toVideoF(event->position()), QSizeF(imageWidth, imageHeight),
            event->modifiers().testFlag(Qt::AltModifier)))
        return;
    if (event->button() == Qt::LeftButton && mode == InteractionMode::SelectCorners)
        setCursor(Qt::OpenHandCursor);
}

void VideoScreen::setMarkPointsMode()
{
    markAction->setChecked(false);
    selectAction->setChecked(false);
    mode = InteractionMode::MarkPoints;
    markAction->setChecked(true);
    setCursor(Qt::CrossCursor);
}

void VideoScreen::setSelectCornersMode()
{
    markAction->setChecked(false);
    selectAction->setChecked(false);
    mode = InteractionMode::SelectCorners;
    selectAction->setChecked(true);
    setCursor(Qt::OpenHandCursor);
}

void VideoScreen::clean() { emit resetPoints(); }
