#pragma once

#include "screens/InteractionMode.h"

#include <QColor>
#include <QImage>
#include <QWidget>

class FieldControls;
class MeasureTool;
class PictureWindow;
class QAction;
class QPainter;
class VideoControls;

// The video screen for machines with OpenGL. It keeps the newest frame in one
// texture, replaced only when the engine drew a new picture, shows it scaled
// to fit the widget keeping its aspect ratio, centred, and draws over it with OpenGL
// the pitch lines and corner markers (display lists, rebuilt only when the
// corners, the line colour or the line width change), where snapping moved
// a corner from its click, the lines through and
// round the game centre (sent with every paint, they follow every click), the
// corner being dragged, and a tip that asks for the four corners in turn.
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
    float pictureScale() const { return scale; }
    QPoint pictureOffset() const { return QPoint(offsetX, offsetY); }
    InteractionMode interactionMode() const { return mode; }
    int selectedCornerIndex() const { return selectedCorner; }
    QColor fieldLinesColour() const { return fieldColour; }
    QColor centreLinesColour() const { return centreColour; }
    int fieldLinesWidth() const { return fieldWidthPx; }
    int centreLinesWidth() const { return centreWidthPx; }

signals:
    // exact: Alt was held, the point is not to be snapped.
    void givePoint(int x, int y, bool exact = false);
    void resetPoints();

public slots:
    // Something drawn over the video changed (corners, centre, dimensions,
    // colours, widths, ...): repaints at once over the texture as it is.
    void overlayChanged();

private slots:
    void setMarkPointsMode();
    void setSelectCornersMode();
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
    QAction* createAction(const QString& text, void (VideoScreenGL::*slot)());
    void fit(int widgetWidth, int widgetHeight);
    bool fetchFrame();
    void drawPicture();
    void uploadTexture();
    void deleteTexture();
    bool insidePicture(const QPoint& widgetPosition) const;
    QPoint toVideoInPicture(const QPoint& widgetPosition) const;
    void pickCorner(const QPoint& video);
    bool hover(const QPointF& widgetPosition);
    void drawTip(QPainter& painter) const;
    void drawOverlay() const;
    void drawCentreLines() const;
    void drawSelectedCorner() const;
    void drawSnapMoves() const;
    void compileLists();
    void compileFieldLinesList();
    void compileCornersList();
    void deleteLists();
    void releaseGlResources();

    PictureWindow* picture = nullptr;
    QWidget* pictureContainer = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    VideoControls* videoControls = nullptr;
    FieldControls* fieldControls = nullptr;
    unsigned fieldLinesList = 0;
    unsigned cornersList = 0;
    QAction* markAction = nullptr;
    QAction* selectAction = nullptr;
    QAction* cleanAction = nullptr;
    InteractionMode mode = InteractionMode::MarkPoints;
    bool showCorners = false;
    int selectedCorner = -1;
    QColor fieldColour;
    QColor centreColour;
    int fieldWidthPx = 0;
    int centreWidthPx = 0;
    float scale = 1.0f;
    int offsetY = 0;
    int offsetX = 0;
    // The lists are compiled in the paint path, where the context is current.
    bool listsStale = false;
    // The newest frame as exported (kept to fill a new context's texture),
    // and the texture that shows it; textureStale until it is uploaded.
    QImage frame;
    MeasureTool* measureTool = nullptr;
    QPointF pressPosition;
    unsigned texture = 0;
    QSize textureSize;
    bool textureStale = false;
    // The engine's picture count at the last fetch; the picture is fetched
    // again only when the count moved, or after a size change (stale).
    unsigned long long shownSerial = 0;
    bool pictureStale = true;
    bool pictureShown = false;
};
