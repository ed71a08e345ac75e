#include "screens/VideoScreenGL.h"

#include "screens/ExportedFrame.h"
#include "calibration/FieldControls.h"
#include "measuring/MeasureTool.h"
#include "screens/PictureWindow.h"
#include "playback/VideoControls.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLPaintDevice>
#include <QPainter>
#include <QTextDocument>

#include <GL/gl.h>

#include <algorithm>
#include <array>

namespace {

constexpr int kMinimumWidthPx = 415;
constexpr int kMinimumHeightPx = 255;
constexpr int kTipMarginPx = 23;
constexpr int kTipPaddingPx = 6;
constexpr float kPickRadiusSquaredPx = 36.0f; // 6 video pixels
constexpr float kEndPointSizePx = 2.0f;
constexpr float kCornerSizePx = 8.0f;
constexpr float kSelectedCornerSizePx = 4.0f;
constexpr double kDepthRange = 10.0;
// Scaled by nearest texel, a widget pixel centre can fall exactly on a texel
// edge (every fifth pixel at x1.25). Shifting the texture by this share of
// a texel sends such pixels to the lower texel, as Qt's raster scaling does,
// so both screens and grabbed images show the same pixels.
constexpr float kTexelBias = 1.0f / 256.0f;

const QColor kInitialFieldLinesColour(100, 100, 191, 150);
const QColor kInitialCentreLinesColour(255, 255, 255, 100);
const QColor kMarkerColour(200, 50, 50, 150);
const QColor kSelectedCornerColour(255, 255, 0, 200);
const QColor kSnapColour(255, 255, 0, 220);
constexpr float kSnapLineWidthPx = 1.0f;
constexpr float kSnappedCornerSizePx = 6.0f;

bool altHeld(const QMouseEvent* event) { return event->modifiers().testFlag(Qt::AltModifier); }

void glColour(const QColor& colour)
{
    glColor4ub(GLubyte(colour.red()), GLubyte(colour.green()), GLubyte(colour.blue()),
        GLubyte(colour.alpha()));
}

// Saves the OpenGL state and makes one unit one widget pixel, y growing
// downwards; the caller pops both matrices and the attributes.
void beginWidgetPixels(int width, int height)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -kDepthRange, kDepthRange);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

} // namespace

VideoScreenGL::VideoScreenGL(
    VideoControls* videoControls, FieldControls* fieldControls, Qt::WindowFlags /*flags*/)
    : QWidget(nullptr)
    , picture(new PictureWindow(this))
    , videoControls(videoControls)
    , fieldControls(fieldControls)
    , fieldColour(kInitialFieldLinesColour)
    , centreColour(kInitialCentreLinesColour)
    , fieldWidthPx(fieldControls->fieldLinesThickness())
    , centreWidthPx(fieldControls->centreLinesThickness())
{
    // Display lists and immediate mode need the fixed-function pipeline.
    QSurfaceFormat surfaceFormat = QSurfaceFormat::defaultFormat();
    surfaceFormat.setProfile(QSurfaceFormat::CompatibilityProfile);
    picture->setFormat(surfaceFormat);
    picture->initialize = [this] { initializeGL(); };
    picture->paint = [this] { paintGL(); };
    pictureContainer = QWidget::createWindowContainer(picture, this);
    pictureContainer->setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    // A click on the picture takes the focus from an edit, so that the
    // playback keys work again.
    setFocusPolicy(Qt::ClickFocus);
    showCursor(Qt::CrossCursor);
    setMinimumSize(kMinimumWidthPx, kMinimumHeightPx);

    fieldControls->setDrawFieldLines(false);

    markAction = createAction(tr("Mark"), &VideoScreenGL::setMarkPointsMode);
    markAction->setCheckable(true);
    markAction->setChecked(true);
    selectAction = createAction(tr("Select"), &VideoScreenGL::setSelectCornersMode);
    selectAction->setCheckable(true);
    cleanAction = createAction(tr("Clean"), &VideoScreenGL::clean);
    addActions({ markAction, selectAction, cleanAction });
    setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(fieldControls, &FieldControls::signalResetPoints, this, &VideoScreenGL::clean);
    connect(fieldControls, &FieldControls::signalSelectFieldLinesColor, this,
        &VideoScreenGL::slotSelectFieldLinesColor);
    connect(fieldControls, &FieldControls::signalSelectCenterLinesColor, this,
        &VideoScreenGL::slotSelectCenterLinesColor);
    connect(fieldControls, &FieldControls::signalSetFieldLinesThickness, this,
        &VideoScreenGL::slotSetFieldLinesThickness);
    connect(fieldControls, &FieldControls::signalSetCenterLinesThickness, this,
        &VideoScreenGL::slotSetCenterLinesThickness);
    // Typed dimensions, an undo or a point given while nothing plays must
    // show without waiting for a frame.
    connect(
        fieldControls, &FieldControls::signalOverlayChanged, this, &VideoScreenGL::overlayChanged);
}

VideoScreenGL::~VideoScreenGL()
{
    releaseGlResources();
    // The base class destroys the context; by then this object is no longer
    // a VideoScreenGL to be told about it.
    if (picture->context())
        disconnect(picture->context(), nullptr, this, nullptr);
}

QAction* VideoScreenGL::createAction(const QString& text, void (VideoScreenGL::*slot)())
{
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void VideoScreenGL::initializeGL()
{
    // The context goes away with the top-level window (also when the widget
    // moves to another one); the lists are freed with it and compiled anew
    // in the next context.
    connect(picture->context(), &QOpenGLContext::aboutToBeDestroyed, this,
        &VideoScreenGL::releaseGlResources, Qt::UniqueConnection);
    listsStale = true;
    textureStale = !frame.isNull();
}

void VideoScreenGL::releaseGlResources()
{
    if (!picture->context())
        return;
    picture->makeCurrent();
    deleteLists();
    deleteTexture();
    picture->doneCurrent();
}

void VideoScreenGL::repaintPicture() { picture->update(); }

// The native window keeps its own cursor; the widget's is the one tests
// and a window without a native picture see.
void VideoScreenGL::showCursor(Qt::CursorShape shape)
{
    setCursor(shape);
    picture->setCursor(shape);
}

QImage VideoScreenGL::grabFramebuffer()
{
    // The window makes its context when it is first shown.
    constexpr qint64 kReadyWaitMs = 2000;
    QElapsedTimer waited;
    waited.start();
    while (!picture->isValid() && isVisible() && waited.elapsed() < kReadyWaitMs) {
        picture->update();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (!picture->isValid())
        return QImage();
    picture->makeCurrent();
    // Without alpha, as the window: blended lines leave no partly
    // transparent pixels that a read-back would take as premultiplied.
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    format.setInternalTextureFormat(GL_RGB8);
    QOpenGLFramebufferObject buffer(size(), format);
    buffer.bind();
    {
        QOpenGLPaintDevice device(size());
        paintOn(device);
    }
    const QImage image = buffer.toImage();
    buffer.release();
    picture->doneCurrent();
    return image;
}

void VideoScreenGL::deleteTexture()
{
    if (texture != 0)
        glDeleteTextures(1, &texture);
    texture = 0;
    textureSize = QSize();
    textureStale = !frame.isNull();
}

void VideoScreenGL::deleteLists()
{
    if (fieldLinesList != 0)
        glDeleteLists(fieldLinesList, 1);
    if (cornersList != 0)
        glDeleteLists(cornersList, 1);
    fieldLinesList = 0;
    cornersList = 0;
}

void VideoScreenGL::changeImageSize()
{
    imageWidth = videoControls->frameWidth();
    imageHeight = videoControls->frameHeight();
    frame = QImage();
    textureStale = false;
    pictureStale = true;
    fit(width(), height());
    videoControls->updateGeometry();
    fieldControls->updateGeometry();
    updateGeometry();
}

void VideoScreenGL::updateImage()
{
    const bool shows = videoControls->showsPicture();
    const bool shownChanged = shows != pictureShown;
    pictureShown = shows;
    const bool fetched = shows && fetchFrame();
    if (fetched || shownChanged)
        repaintPicture();
}

// Takes the engine's picture when it is another than the one in the
// texture; true when it did.
bool VideoScreenGL::fetchFrame()
{
    // Read before the fetch: a picture drawn meanwhile is fetched next time.
    const unsigned long long serial = videoControls->frameSerial();
    if (!pictureStale && serial != 0 && serial == shownSerial)
        return false;
    auto buffer = videoControls->currentFrame();
    // The buffer holds exactly the size the engine reports now; a frame of
    // another size than the one fitted is skipped rather than misread.
    if (videoControls->frameWidth() != imageWidth || videoControls->frameHeight() != imageHeight)
        return false;
    const QImage image = ExportedFrame::toImage(buffer, imageWidth, imageHeight);
    if (image.isNull())
        return false;
    frame = image;
    textureStale = true;
    shownSerial = serial;
    pictureStale = false;
    return true;
}

void VideoScreenGL::overlayChanged()
{
    listsStale = true;
    repaintPicture();
}

void VideoScreenGL::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    pictureContainer->setGeometry(rect());
    fit(width(), height());
}

void VideoScreenGL::fit(int widgetWidth, int widgetHeight)
{
    if (imageWidth == 0 || imageHeight == 0) {
        offsetX = 0;
        offsetY = 0;
        repaintPicture();
        return;
    }
    const float w = float(widgetWidth);
    const float h = float(widgetHeight);
    const float iw = float(imageWidth);
    const float ih = float(imageHeight);
    scale = (w / h > iw / ih) ? h / ih : w / iw;
    offsetY = int(int(h - ih * scale) * 0.5);
    offsetX = int(int(w - iw * scale) * 0.5);
    recreateLinesDL();
}

// The centre of the widget area that shows video pixel (x, y); a click
// anywhere in that area maps back to (x, y), and a line drawn through it lies
// on the very pixel the engine named.
QPointF VideoScreenGL::toWidget(int x, int y) const
{
    return QPointF(
        float(offsetX) + (float(x) + 0.5f) * scale, float(offsetY) + (float(y) + 0.5f) * scale);
}

QPoint VideoScreenGL::toVideo(const QPoint& widgetPosition) const
{
    return QPoint(int(float(widgetPosition.x() - offsetX) / scale),
        int(float(widgetPosition.y() - offsetY) / scale));
}

QTransform VideoScreenGL::videoToWidget() const
{
    const double s = scale;
    return QTransform(s, 0, 0, s, offsetX + 0.5 * s, offsetY + 0.5 * s);
}

// A widget position names the pixel whose centre is half a pixel further.
QPointF VideoScreenGL::toVideoF(const QPointF& widgetPosition) const
{
    return videoToWidget().inverted().map(widgetPosition + QPointF(0.5, 0.5));
}

void VideoScreenGL::setMeasureTool(MeasureTool* tool)
{
    measureTool = tool;
    setMouseTracking(true);
    connect(tool, &MeasureTool::changed, this, &VideoScreenGL::repaintPicture);
}

// Tells the tool where the mouse is; true while it is over the picture.
bool VideoScreenGL::hover(const QPointF& widgetPosition)
{
    if (!measureTool || frame.isNull())
        return false;
    if (!insidePicture(widgetPosition.toPoint())) {
        if (measureTool->cursor())
            measureTool->leave();
        return false;
    }
    measureTool->hover(toVideoF(widgetPosition));
    return true;
}

void VideoScreenGL::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (measureTool && measureTool->cursor())
        measureTool->leave();
}

bool VideoScreenGL::insidePicture(const QPoint& widgetPosition) const
{
    const int pictureWidth = int(float(imageWidth) * scale);
    const int pictureHeight = int(float(imageHeight) * scale);
    return QRect(offsetX, offsetY, pictureWidth, pictureHeight).contains(widgetPosition);
}

// The video pixel under a widget position, held to the picture: a drag that
// leaves the picture follows its edge.
QPoint VideoScreenGL::toVideoInPicture(const QPoint& widgetPosition) const
{
    const QPoint video = toVideo(widgetPosition);
    return QPoint(
        std::clamp(video.x(), 0, imageWidth - 1), std::clamp(video.y(), 0, imageHeight - 1));
}

void VideoScreenGL::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (measureTool && measureTool->isActive()) {
        pressPosition = event->position();
        if (hover(event->position()))
            measureTool->press(toVideoF(event->position()));
        return;
    }
    const QPoint position = event->position().toPoint();
    if (mode == InteractionMode::SelectCorners) {
        showCursor(Qt::ClosedHandCursor);
        if (fieldControls->cornersComplete())
            pickCorner(toVideo(position));
        return;
    }
    // A click in the black margins is no point of the video.
    if (!insidePicture(position))
        return;
    const QPoint video = toVideoInPicture(position);
    emit givePoint(video.x(), video.y(), altHeld(event));
    if (fieldControls->cornersComplete())
        recreateLinesDL();
}

void VideoScreenGL::mouseMoveEvent(QMouseEvent* event)
{
    hover(event->position());
    if (measureTool && measureTool->isActive())
        return;
    if (event->buttons() != Qt::LeftButton) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // Before the corners are complete a drag gives no points, so that each
    // corner takes exactly one click.
    if (!fieldControls->cornersComplete() || imageWidth <= 0 || imageHeight <= 0)
        return;
    const QPoint video = toVideoInPicture(event->position().toPoint());
    if (mode == InteractionMode::MarkPoints) {
        emit givePoint(video.x(), video.y(), altHeld(event));
    } else if (selectedCorner >= 0) {
        fieldControls->moveCorner(selectedCorner, video.x(), video.y());
        recreateLinesDL();
    }
}

void VideoScreenGL::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (measureTool && measureTool->isActive()) {
        hover(event->position());
        measureTool->releaseOnPicture(toVideoF(event->position()), QSize(imageWidth, imageHeight),
            (event->position() - pressPosition).manhattanLength());
        return;
    }
    if (mode != InteractionMode::SelectCorners)
        return;
    showCursor(Qt::OpenHandCursor);
    // A dragged corner settles on the crossing of the lines it was dropped near.
    if (selectedCorner >= 0)
        fieldControls->settleCorner(selectedCorner, altHeld(event));
}

void VideoScreenGL::pickCorner(const QPoint& video)
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
    selectedCorner
        = candidates[0].distanceSquared < kPickRadiusSquaredPx ? candidates[0].index : -1;
    repaintPicture();
}

void VideoScreenGL::setMarkPointsMode()
{
    markAction->setChecked(false);
    selectAction->setChecked(false);
    showCorners = false;
    mode = InteractionMode::MarkPoints;
    markAction->setChecked(true);
    showCursor(Qt::CrossCursor);
    repaintPicture();
}

void VideoScreenGL::setSelectCornersMode()
{
    markAction->setChecked(false);
    selectAction->setChecked(false);
    mode = InteractionMode::SelectCorners;
    selectAction->setChecked(true);
    showCursor(Qt::OpenHandCursor);
    showCorners = true;
    repaintPicture();
}

void VideoScreenGL::clean()
{
    emit resetPoints();
    if (picture->context()) {
        picture->makeCurrent();
        deleteLists();
        picture->doneCurrent();
    }
    listsStale = false;
    selectedCorner = -1;
    repaintPicture();
}

// The lists are compiled at the next paint, which is asked for now.
void VideoScreenGL::recreateLinesDL() { overlayChanged(); }

void VideoScreenGL::slotSelectFieldLinesColor()
{
    const QColor colour
        = QColorDialog::getColor(fieldColour, this, tr("Lines"), QColorDialog::ShowAlphaChannel);
    if (!colour.isValid())
        return;
    fieldColour = colour;
    recreateLinesDL();
}

void VideoScreenGL::slotSelectCenterLinesColor()
{
    const QColor colour = QColorDialog::getColor(
        centreColour, this, tr("Game center"), QColorDialog::ShowAlphaChannel);
    if (colour.isValid())
        centreColour = colour;
    repaintPicture();
}

void VideoScreenGL::slotSetFieldLinesThickness(int thickness)
{
    fieldWidthPx = thickness;
    recreateLinesDL();
}

void VideoScreenGL::slotSetCenterLinesThickness(int thickness)
{
    centreWidthPx = thickness;
    repaintPicture();
}

QString VideoScreenGL::tipHtml(int remainingCorners, InteractionMode mode)
{
    if (remainingCorners <= 0)
        return QString();
    QString html = QStringLiteral(R"(<h3 align="center">Tip</h3><p align="center">)");
    if (mode == InteractionMode::SelectCorners)
        return html + tr("Right click on the image and select Mark.");
    switch (remainingCorners) {
    case 4:
        return html + tr("Click on the<br> <b>top left corner</b><br>of the football field.");
    case 3:
        return html + tr("Click on the <br><b>top right corner </b><br>of the football field.");
    case 2:
        return html + tr("Click on the <br><b>bottom left corner </b><br>of the football field.");
    default:
        return html + tr("Click on the <br><b>bottom right corner </b><br>of the football field.");
    }
}

// The tip lies over the picture and under the lines, as the lines are
// drawn natively after it.
void VideoScreenGL::paintGL() { paintOn(*picture); }

void VideoScreenGL::paintOn(QPaintDevice& device)
{
    QPainter painter(&device);
    painter.fillRect(rect(), Qt::black);
    if (!videoControls->showsPicture())
        return;
    painter.beginNativePainting();
    drawPicture();
    painter.endNativePainting();
    drawTip(painter);
    painter.beginNativePainting();
    if (listsStale)
        compileLists();
    drawOverlay();
    painter.endNativePainting();
    if (measureTool) {
        const bool loupe = measureTool->isActive() || mode == InteractionMode::MarkPoints;
        measureTool->paint(painter, videoToWidget(), frame, rect(), loupe);
    }
}

// Fills the texture from the newest frame: in place while the size stays,
// a new image otherwise.
void VideoScreenGL::uploadTexture()
{
    textureStale = false;
    if (frame.isNull())
        return;
    if (texture == 0)
        glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (textureSize != frame.size()) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frame.width(), frame.height(), 0, GL_RGB,
            GL_UNSIGNED_BYTE, frame.constBits());
        textureSize = frame.size();
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, frame.width(), frame.height(), GL_RGB,
            GL_UNSIGNED_BYTE, frame.constBits());
    }
    glPopClientAttrib();
}

// The texture on the picture's rectangle, one widget pixel per unit.
void VideoScreenGL::drawPicture()
{
    if (textureStale)
        uploadTexture();
    if (texture == 0 || textureSize.isEmpty())
        return;
    const float left = float(offsetX);
    const float top = float(offsetY);
    const float right = left + float(int(float(imageWidth) * scale));
    const float bottom = top + float(int(float(imageHeight) * scale));
    beginWidgetPixels(width(), height());
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float s0 = -kTexelBias / float(textureSize.width());
    const float t0 = -kTexelBias / float(textureSize.height());
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(left, top);
    glTexCoord2f(1.0f + s0, t0);
    glVertex2f(right, top);
    glTexCoord2f(1.0f + s0, 1.0f + t0);
    glVertex2f(right, bottom);
    glTexCoord2f(s0, 1.0f + t0);
    glVertex2f(left, bottom);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

void VideoScreenGL::drawTip(QPainter& painter) const
{
    const QString html = tipHtml(fieldControls->remainingCorners(), mode);
    if (html.isEmpty())
        return;
    QTextDocument document;
    document.setDefaultStyleSheet(QStringLiteral("* { color: #FFFFAA }"));
    document.setHtml(html);
    document.setTextWidth(document.size().width());
    const QSize size = document.size().toSize();
    painter.save();
    painter.translate(
        width() - size.width() - kTipMarginPx, height() - size.height() - kTipMarginPx);
    painter.setPen(QColor(255, 239, 239, 255));
    painter.setBrush(QColor(255, 0, 0, 31));
    painter.drawRect(0, 0, size.width() + 2 * kTipPaddingPx, size.height() + 2 * kTipPaddingPx);
    painter.translate(kTipPaddingPx, kTipPaddingPx);
    document.drawContents(&painter);
    painter.restore();
}

void VideoScreenGL::drawOverlay() const
{
    beginWidgetPixels(width(), height());

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_MULTISAMPLE);

    if (fieldLinesList != 0)
        glCallList(fieldLinesList);
    if (showCorners && cornersList != 0)
        glCallList(cornersList);
    drawCentreLines();
    drawSnapMoves();
    if (selectedCorner >= 0 && mode == InteractionMode::SelectCorners)
        drawSelectedCorner();

    glDisable(GL_POINT_SMOOTH);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

void VideoScreenGL::drawCentreLines() const
{
    glColour(centreColour);
    glLineWidth(GLfloat(centreWidthPx));
    glBegin(GL_LINES);
    for (const FieldLine& line : fieldControls->centreLines()) {
        const QPointF start = toWidget(line.x1, line.y1);
        const QPointF end = toWidget(line.x2, line.y2);
        glVertex3d(start.x(), start.y(), 0.0);
        glVertex3d(end.x(), end.y(), 0.0);
    }
    glEnd();
}

// A thin line from each click to the corner it snapped to, and a dot there.
void VideoScreenGL::drawSnapMoves() const
{
    const std::vector<QLineF> moves = fieldControls->snapMoves();
    if (moves.empty())
        return;
    glColour(kSnapColour);
    glLineWidth(kSnapLineWidthPx);
    glBegin(GL_LINES);
    for (const QLineF& move : moves) {
        const QPointF from = toWidget(int(move.x1()), int(move.y1()));
        const QPointF to = toWidget(int(move.x2()), int(move.y2()));
        glVertex3d(from.x(), from.y(), 0.0);
        glVertex3d(to.x(), to.y(), 0.0);
    }
    glEnd();
    glEnable(GL_POINT_SMOOTH);
    glPointSize(kSnappedCornerSizePx);
    glBegin(GL_POINTS);
    for (const QLineF& move : moves) {
        const QPointF to = toWidget(int(move.x2()), int(move.y2()));
        glVertex3d(to.x(), to.y(), 0.0);
    }
    glEnd();
    glDisable(GL_POINT_SMOOTH);
}

void VideoScreenGL::drawSelectedCorner() const
{
    const QPoint corner = fieldControls->corners()[selectedCorner];
    const QPointF at = toWidget(corner.x(), corner.y());
    glEnable(GL_POINT_SMOOTH);
    glColour(kSelectedCornerColour);
    glPointSize(kSelectedCornerSizePx);
    glBegin(GL_POINTS);
    glVertex3d(at.x(), at.y(), 0.0);
    glEnd();
    glDisable(GL_POINT_SMOOTH);
}

void VideoScreenGL::compileLists()
{
    glShadeModel(GL_FLAT);
    compileFieldLinesList();
    compileCornersList();
    listsStale = false;
}

void VideoScreenGL::compileFieldLinesList()
{
    if (fieldLinesList != 0)
        glDeleteLists(fieldLinesList, 1);
    fieldLinesList = glGenLists(1);
    glNewList(fieldLinesList, GL_COMPILE);
    std::vector<QPointF> ends;
    for (const FieldLine& line : fieldControls->fieldLines()) {
        ends.push_back(toWidget(line.x1, line.y1));
        ends.push_back(toWidget(line.x2, line.y2));
    }
    glColour(fieldColour);
    glLineWidth(GLfloat(fieldWidthPx));
    glBegin(GL_LINES);
    for (const QPointF& end : ends)
        glVertex3d(end.x(), end.y(), 0.0);
    glEnd();
    glEnable(GL_POINT_SMOOTH);
    glColour(kMarkerColour);
    glPointSize(kEndPointSizePx);
    glBegin(GL_POINTS);
    for (const QPointF& end : ends)
        glVertex3d(end.x(), end.y(), 0.0);
    glEnd();
    glEndList();
}

void VideoScreenGL::compileCornersList()
{
    if (cornersList != 0)
        glDeleteLists(cornersList, 1);
    cornersList = glGenLists(1);
    glNewList(cornersList, GL_COMPILE);
    glEnable(GL_POINT_SMOOTH);
    glColour(kMarkerColour);
    glPointSize(kCornerSizePx);
    glBegin(GL_POINTS);
    // Only the corners clicked so far: the others are placeholders.
    const std::vector<QPoint> corners = fieldControls->corners();
    const int given = FieldControls::kCornerCount - fieldControls->remainingCorners();
    for (int i = 0; i < given; ++i) {
        const QPointF at = toWidget(corners[i].x(), corners[i].y());
        glVertex3d(at.x(), at.y(), 0.0);
    }
    glEnd();
    glDisable(GL_POINT_SMOOTH);
    glEndList();
}
