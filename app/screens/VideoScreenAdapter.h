#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class FieldControls;
class MeasureTool;
class PictureLayer;
class VideoControls;
class VideoScreen;
class VideoScreenGL;

// Hides which of the two video screens is in use. It creates the OpenGL
// screen when OpenGL is available and the graphics-view screen otherwise,
// forwards the video controls' frame signals to it and relays its points to
// the field controls. The adapter itself is never shown.
class VideoScreenAdapter : public QWidget
{
    Q_OBJECT

public:
    // The parent goes to the graphics-view screen and the flags to the
    // OpenGL screen; neither uses them. The adapter itself has neither.
    VideoScreenAdapter(bool useOpenGL, VideoControls* videoControls, FieldControls* fieldControls,
        QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~VideoScreenAdapter() override;

    // The screen in use, created without a parent: the main window takes it
    // as its central widget (and thereby owns it).
    QWidget* screen() const;
    bool usesOpenGL() const { return useOpenGL; }
    void setMeasureTool(MeasureTool* tool);
    // A taker that sees each clicked point first; a point it takes (true)
    // goes no further.
    void setPointTaker(std::function<bool(int x, int y, bool exact)> taker);
    // Draws the layer over the picture of the screen in use.
    void addLayer(PictureLayer* layer);

signals:
    void givePoint(int x, int y, bool exact = false);
    void resetPoints();

public slots:
    void changeImageSize();
    void updateImage();
    // Shows a change of what is drawn over the video at once, on either screen.
    void overlayChanged();
    void receivePoint(int x, int y, bool exact = false);
    void receiveResetPoints();

private:
    template <typename Screen> void connectScreen(Screen* screen);

    QPointer<VideoScreen> plainScreen;
    QPointer<VideoScreenGL> glScreen;
    VideoControls* videoControls = nullptr;
    bool useOpenGL = false;
    std::function<bool(int, int, bool)> pointTaker;
};
