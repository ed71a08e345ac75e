#pragma once

#include "screens/GLOverlayPainter.h"
#include "screens/LayerStack.h"
#include "screens/InteractionMode.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

class FieldControls;
class MeasureTool;
class PictureLayer;
class PictureWindow;
class VideoControls;
class VideoScreenGLInput;

// The video screen for machines with OpenGL. It keeps the newest frame in one
// texture, replaced only when the engine drew a new picture, shows it scaled
// to fit the widget keeping its aspect ratio, centred, and draws over it
// with OpenGL what GLOverlayPainter draws; the mouse is VideoScreenGLInput's.
// The picture is drawn in a native OpenGL window that fills the widget.
// Because it draws the lines itself, it switches the engine's burnt-in
// drawing off. Mouse positions map back to video pixels with the inverse of
// the mapping used for drawing.
class VideoScreenGL : public QWidget
{
    Q_OBJECT

public:
    VideoScreenGL(
        VideoControls* videoControls, FieldControls* fieldControls, Qt::WindowFlags flags = {});
    ~VideoScreenGL() override;

    void changeImageSize();
    // One picture as the screen shows it now, drawn offscreen; empty when
    // OpenGL is not ready yet.
    QImage grabFramebuffer();
    // The window the picture is drawn in; it emits frameSwapped for each
    // picture shown.
    PictureWindow* pictureWindow() const { return picture; }
    // Fetches the engine's picture when it changed since the last fetch and
    // repaints; does nothing when nothing visible changed.
    void updateImage();

    // The tip's HTML for the corners still to be clicked; empty when none.
    static QString tipHtml(int remainingCorners, InteractionMode mode);

    QPointF toWidget(int x, int y) const;
    QPoint toVideo(const QPoint& widgetPosition) const;
    // The inverse of toWidget, sub-pixel, for a widget position.
    QPointF toVideoF(const QPointF& widgetPosition) const;
    QTransform videoToWidget() const;
    // Measure mode, the measurements and the loupe; none without a tool.
    void setMeasureTool(MeasureTool* tool);
    void addLayer(PictureLayer* layer);
    LayerStack& layerStack() { return layers; }
    float pictureScale() const { return scale; }
    QPoint pictureOffset() const { return QPoint(offsetX, offsetY); }
    QSize imageSize() const { return QSize(imageWidth, imageHeight); }
    // Whether a frame of the open video was fetched, and that frame (the
    // one the texture shows from the next paint on).
    bool hasPicture() const { return !frame.isNull(); }
    const QImage& shownFrame() const { return frame; }
    bool insidePicture(const QPoint& widgetPosition) const;
    // The video pixel under a widget position, held to the picture.
    QPoint toVideoInPicture(const QPoint& widgetPosition) const;
    InteractionMode interactionMode() const;
    int selectedCornerIndex() const;
    QColor fieldLinesColour() const { return overlay.fieldColour(); }
    QColor centreLinesColour() const { return overlay.centreColour(); }
    int fieldLinesWidth() const { return overlay.fieldWidth(); }
    int centreLinesWidth() const { return overlay.centreWidth(); }

signals:
    // exact: Alt was held, the point is not to be snapped.
    void givePoint(int x, int y, bool exact = false);
    void resetPoints();

public slots:
    // Something drawn over the video changed (corners, centre, dimensions,
    // colours, widths, ...): repaints at once over the texture as it is.
    void overlayChanged();

private slots:
    void clean();
    void recreateLinesDL();
    void slotSelectFieldLinesColor();
    void slotSelectCenterLinesColor();
    void slotSetFieldLinesThickness(int thickness);
    void slotSetCenterLinesThickness(int thickness);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void initializeGL();
    void paintGL();
    void paintOn(QPaintDevice& device);
    void repaintPicture();
    void showCursor(Qt::CursorShape shape);
    void connectFieldControls();
    void fit(int widgetWidth, int widgetHeight);
    bool fetchFrame();
    void drawPicture();
    void uploadTexture();
    void deleteTexture();
    void releaseGlResources();

    PictureWindow* picture = nullptr;
    QWidget* pictureContainer = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    VideoControls* videoControls = nullptr;
    FieldControls* fieldControls = nullptr;
    GLOverlayPainter overlay;
    VideoScreenGLInput* input = nullptr;
    float scale = 1.0f;
    int offsetY = 0;
    int offsetX = 0;
    // The newest frame as exported (kept to fill a new context's texture),
    // and the texture that shows it; textureStale until it is uploaded.
    QImage frame;
    MeasureTool* measureTool = nullptr;
    LayerStack layers;
    unsigned texture = 0;
    QSize textureSize;
    bool textureStale = false;
    // The engine's picture count at the last fetch; the picture is fetched
    // again only when the count moved, or after a size change (stale).
    unsigned long long shownSerial = 0;
    bool pictureStale = true;
    bool pictureShown = false;
};
