#include "screens/VideoScreenAdapter.h"

#include "calibration/FieldControls.h"
#include "playback/VideoControls.h"
#include "screens/VideoScreen.h"
#include "screens/VideoScreenGL.h"

VideoScreenAdapter::VideoScreenAdapter(bool useOpenGL, VideoControls* videoControls,
    FieldControls* fieldControls, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(nullptr)
    , videoControls(videoControls)
    , useOpenGL(useOpenGL)
{
    if (useOpenGL) {
        glScreen = new VideoScreenGL(videoControls, fieldControls, flags);
        connectScreen(glScreen.data());
    } else {
        plainScreen = new VideoScreen(videoControls, parent);
        connectScreen(plainScreen.data());
        // The engine burns the corners into the frame; only the snap moves
        // are drawn over it.
        VideoScreen* screen = plainScreen.data();
        connect(fieldControls, &FieldControls::signalOverlayChanged, screen,
            [screen, fieldControls] { screen->showSnapMoves(fieldControls->snapMoves()); });
    }
    connect(videoControls, &VideoControls::giveNewVideoResolution, this,
        &VideoScreenAdapter::changeImageSize);
    connect(videoControls, &VideoControls::giveNewImage, this, &VideoScreenAdapter::updateImage);
    connect(this, &VideoScreenAdapter::givePoint, fieldControls, &FieldControls::selectPoint);
    connect(this, &VideoScreenAdapter::resetPoints, fieldControls, &FieldControls::resetPoints);
}

VideoScreenAdapter::~VideoScreenAdapter()
{
    // A screen that no window took over would otherwise be left behind.
    QWidget* active = screen();
    if (active && !active->parent())
        delete active;
}

template <typename Screen> void VideoScreenAdapter::connectScreen(Screen* screen)
{
    connect(screen, &Screen::givePoint, this, &VideoScreenAdapter::receivePoint);
    connect(screen, &Screen::resetPoints, this, &VideoScreenAdapter::receiveResetPoints);
}

QWidget* VideoScreenAdapter::screen() const
{
    if (useOpenGL)
        return glScreen;
    return plainScreen;
}

void VideoScreenAdapter::setMeasureTool(MeasureTool* tool)
{
    if (useOpenGL)
        glScreen->setMeasureTool(tool);
    else
        plainScreen->setMeasureTool(tool);
}

void VideoScreenAdapter::addLayer(PictureLayer* layer)
{
    if (useOpenGL)
        glScreen->addLayer(layer);
    else
        plainScreen->addLayer(layer);
}

void VideoScreenAdapter::changeImageSize()
{
    if (useOpenGL)
        glScreen->changeImageSize();
    else
        plainScreen->changeImageSize();
}

void VideoScreenAdapter::updateImage()
{
    if (useOpenGL)
        glScreen->updateImage();
    else
        plainScreen->updateImage();
}

void VideoScreenAdapter::overlayChanged()
{
    if (useOpenGL)
        glScreen->overlayChanged();
    else
        plainScreen->overlayChanged();
}

void VideoScreenAdapter::setPointTaker(std::function<bool(int, int, bool)> taker)
{
    pointTaker = std::move(taker);
}

void VideoScreenAdapter::receivePoint(int x, int y, bool exact)
{
    if (pointTaker && pointTaker(x, y, exact))
        return;
    emit givePoint(x, y, exact);
}

void VideoScreenAdapter::receiveResetPoints() { emit resetPoints(); }
