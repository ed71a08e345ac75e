#include "screens/LayerStack.h"

#include "screens/PictureLayer.h"

#include <algorithm>

namespace {

QPointF heldTo(const QPointF& video, const QSizeF& pictureSize)
{
    return QPointF(std::clamp(video.x(), 0.0, std::max(0.0, pictureSize.width() - 1)),
        std::clamp(video.y(), 0.0, std::max(0.0, pictureSize.height() - 1)));
}

} // namespace

void LayerStack::paint(QPainter& painter, const QTransform& videoToWidget) const
{
    for (const QPointer<PictureLayer>& layer : layers)
        if (layer)
            layer->paint(painter, videoToWidget);
}

bool LayerStack::press(const QPointF& video, double screenScale)
{
    grabber.clear();
    const double radius = kPickRadiusScreenPx / std::max(screenScale, 1e-3);
    for (auto layer = layers.crbegin(); layer != layers.crend(); ++layer) {
        if (*layer && (*layer)->press(video, radius)) {
            grabber = *layer;
            return true;
        }
    }
    return false;
}

bool LayerStack::drag(const QPointF& video, const QSizeF& pictureSize)
{
    if (!grabber)
        return false;
    grabber->drag(heldTo(video, pictureSize));
    return true;
}

bool LayerStack::release(const QPointF& video, const QSizeF& pictureSize, bool exact)
{
    if (!grabber)
        return false;
    // Cleared first: the release may change what the screens show.
    const QPointer<PictureLayer> layer = grabber;
    grabber.clear();
    layer->release(heldTo(video, pictureSize), exact);
    return true;
}
