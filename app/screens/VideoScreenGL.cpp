#include "screens/VideoScreenGL.h"

#include "calibration/FieldControls.h"
#include "measuring/MeasureTool.h"
#include "screens/PictureLayer.h"
#include "playback/VideoControls.h"
#include "screens/ExportedFrame.h"
#include "screens/PictureWindow.h"
#include "screens/VideoScreenGLInput.h"

#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLPaintDevice>
#include <QPainter>

#include <GL/gl.h>

#include <algorithm>

namespace {

constexpr int kMinimumWidthPx = 415;
constexpr int kMinimumHeightPx = 255;
// Scaled by nearest texel, a widget pixel centre can fall exactly on a texel
// edge (every fifth pixel at x1.25). Shifting the texture by this share of
// a texel sends such pixels to the lower texel, as Qt's raster scaling does,
// so both screens and grabbed images show the same pixels.
constexpr float kTexelBias = 1.0f / 256.0f;

} // namespace

VideoScreenGL::VideoScreenGL(
    VideoControls* videoControls, FieldControls* fieldControls, Qt::WindowFlags /*flags*/)
    : QWidget(nullptr)
    , picture(new PictureWindow(this))
    , videoControls(videoControls)
    , fieldControls(fieldControls)
    , overlay(fieldControls, [this](int x, int y) { return toWidget(x, y); })
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
    input = new VideoScreenGLInput(this, fieldControls);
    connect(input, &VideoScreenGLInput::givePoint, this, &VideoScreenGL::givePoint);
    connect(input, &VideoScreenGLInput::resetPoints, this, &VideoScreenGL::resetPoints);
    connect(input, &VideoScreenGLInput::cleaned, this, &VideoScreenGL::clean);
    connect(input, &VideoScreenGLInput::cursorChanged, this, &VideoScreenGL::showCursor);
    connect(input, &VideoScreenGLInput::linesChanged, this, &VideoScreenGL::recreateLinesDL);
    connect(input, &VideoScreenGLInput::repaintWanted, this, &VideoScreenGL::repaintPicture);
    connectFieldControls();
}

void VideoScreenGL::connectFieldControls()
{
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

void VideoScreenGL::initializeGL()
{
    // The context goes away with the top-level window (also when the widget
    // moves to another one); the lists are freed with it and compiled anew
    // in the next context.
    connect(picture->context(), &QOpenGLContext::aboutToBeDestroyed, this,
        &VideoScreenGL::releaseGlResources, Qt::UniqueConnection);
    overlay.invalidate();
    textureStale = !frame.isNull();
}

void VideoScreenGL::releaseGlResources()
{
    if (!picture->context())
        return;
    picture->makeCurrent();
    overlay.deleteLists();
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
    overlay.invalidate();
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
    input->setMeasureTool(tool);
    setMouseTracking(true);
    connect(tool, &MeasureTool::changed, this, &VideoScreenGL::repaintPicture);
}

void VideoScreenGL::addLayer(PictureLayer* layer)
{
    layers.add(layer);
    connect(layer, &PictureLayer::changed, this, &VideoScreenGL::repaintPicture);
}

InteractionMode VideoScreenGL::interactionMode() const { return input->mode(); }

int VideoScreenGL::selectedCornerIndex() const { return input->selectedCorner(); }

void VideoScreenGL::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    input->leave();
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
    if (!input->press(*event))
        QWidget::mousePressEvent(event);
}

void VideoScreenGL::mouseMoveEvent(QMouseEvent* event)
{
    if (!input->move(*event))
        QWidget::mouseMoveEvent(event);
}

void VideoScreenGL::mouseReleaseEvent(QMouseEvent* event)
{
    if (!input->release(*event))
        QWidget::mouseReleaseEvent(event);
}

void VideoScreenGL::clean()
{
    if (picture->context()) {
        picture->makeCurrent();
        overlay.clear();
        picture->doneCurrent();
    } else {
        overlay.clear();
    }
}

// The lists are compiled at the next paint, which is asked for now.
void VideoScreenGL::recreateLinesDL() { overlayChanged(); }

void VideoScreenGL::slotSelectFieldLinesColor()
{
    const QColor colour = QColorDialog::getColor(
        overlay.fieldColour(), this, tr("Lines"), QColorDialog::ShowAlphaChannel);
    if (!colour.isValid())
        return;
    overlay.setFieldColour(colour);
    recreateLinesDL();
}

void VideoScreenGL::slotSelectCenterLinesColor()
{
    const QColor colour = QColorDialog::getColor(
        overlay.centreColour(), this, tr("Game center"), QColorDialog::ShowAlphaChannel);
    if (colour.isValid())
        overlay.setCentreColour(colour);
    repaintPicture();
}

void VideoScreenGL::slotSetFieldLinesThickness(int thickness)
{
    overlay.setFieldWidth(thickness);
    recreateLinesDL();
}

void VideoScreenGL::slotSetCenterLinesThickness(int thickness)
{
    overlay.setCentreWidth(thickness);
    repaintPicture();
}

QString VideoScreenGL::tipHtml(int remainingCorners, InteractionMode mode)
{
    return GLOverlayPainter::tipHtml(remainingCorners, mode);
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
    overlay.drawTip(painter, size(), input->mode());
    painter.beginNativePainting();
    // A calibration may reach beyond the picture (a half-pitch view): only
    // what lies on the picture is drawn.
    const QRect onPicture(offsetX, offsetY, int(std::lround(float(imageWidth) * scale)),
        int(std::lround(float(imageHeight) * scale)));
    overlay.draw(size(), input->showsCorners(), input->selectedCorner(), input->mode(),
        { onPicture, device.devicePixelRatioF() });
    painter.endNativePainting();
    layers.paint(painter, videoToWidget());
    if (measureTool) {
        const bool loupe = measureTool->isActive() || input->mode() == InteractionMode::MarkPoints;
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
    GLOverlayPainter::beginWidgetPixels(width(), height());
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
    GLOverlayPainter::endWidgetPixels();
}
