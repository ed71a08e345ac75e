#pragma once

#include "screens/InteractionMode.h"
#include "screens/LayerStack.h"

#include "PanelDialog.h"

#include <QLineF>
#include <QPointer>

#include <vector>

class QAction;
class QGraphicsItem;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;
class MeasureTool;
class PictureLayer;
class PaintOverlay;
class VideoControls;

// The video screen for machines without OpenGL: a graphics view that shows
// each new frame at its native size, or scaled down (keeping its aspect) to
// the room the screen has, and turns left clicks into points in video pixel
// coordinates. Its context menu switches between marking points
// and selecting corners, and asks for the points to be forgotten.
class VideoScreen : public PanelDialog
{
    Q_OBJECT

public:
    // The screen is always built without a parent; the main window places it.
    explicit VideoScreen(VideoControls* videoControls, QWidget* parent = nullptr);

    void changeImageSize();
    // Fetches and shows the engine's picture when it changed since the last
    // fetch (or the size changed); otherwise does nothing.
    void updateImage();
    // Shows where snapping moved corners (video pixels): a thin line from
    // each click and a ring at the corner, over the picture.
    void showSnapMoves(const std::vector<QLineF>& moves);
    int snapMoveItemCount() const { return int(snapItems.size()); }

    // The video at its own size, with the border round it.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Screen pixels per video pixel: 1, or less for a video larger than the room.
    double pictureScale() const { return scale; }

    InteractionMode interactionMode() const { return mode; }
    // Measure mode, the measurements and the loupe; none without a tool.
    void setMeasureTool(MeasureTool* tool);
    void addLayer(PictureLayer* layer);
    // The inverse of the drawing mapping: a widget position in video pixels,
    // sub-pixel, the centre of the top-left video pixel at (0, 0).
    QPointF toVideoF(const QPointF& widgetPosition) const;
    QTransform videoToWidget() const;
    QGraphicsView* graphicsView() const { return view; }
    QGraphicsScene* graphicsScene() const { return scene; }

signals:
    // exact: Alt was held, the point is not to be snapped.
    void givePoint(int x, int y, bool exact = false);
    void resetPoints();

public slots:
    // Something drawn over the video changed: shows it at once. The pitch
    // overlay is burnt into the engine's picture, so this looks for a new one.
    void overlayChanged();

private slots:
    void setMarkPointsMode();
    void setSelectCornersMode();
    void clean();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QAction* createAction(const QString& text, void (VideoScreen::*slot)());
    void fitPicture();
    QPoint toVideo(const QPoint& screenPosition) const;
    bool insidePicture(const QPoint& video) const;
    bool hover(const QPointF& widgetPosition);
    void paintOverlay(QPainter& painter) const;

    QGraphicsScene* scene = nullptr;
    QGraphicsView* view = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    double scale = 1.0;
    VideoControls* videoControls = nullptr;
    QAction* markAction = nullptr;
    QAction* selectAction = nullptr;
    QAction* cleanAction = nullptr;
    InteractionMode mode = InteractionMode::MarkPoints;
    // The one item that shows the newest frame; replaced pixmap by pixmap.
    QGraphicsPixmapItem* frameItem = nullptr;
    QImage frameImage;
    MeasureTool* measureTool = nullptr;
    LayerStack layers;
    PaintOverlay* overlay = nullptr;
    QPointF pressPosition;
    std::vector<QGraphicsItem*> snapItems;
    // The engine's picture count at the last fetch; the picture is fetched
    // again only when the count moved, or after a size change (stale).
    unsigned long long shownSerial = 0;
    bool pictureStale = true;
};
