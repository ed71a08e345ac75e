#include "screens/Magnifier.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr int kCursorGapPx = 24;
const QColor kOutside(40, 40, 40);
const QColor kCrossHair(255, 40, 40);
const QColor kFrameColour(255, 255, 255);

} // namespace

QImage Magnifier::render(const QImage& frame, const QPointF& point)
{
    if (frame.isNull())
        return {};
    // Whole video pixels round the one under the point, each drawn as a
    // kZoom x kZoom block, the point's pixel in the middle.
    const int span = kSidePx / kZoom;
    const int left = int(std::floor(point.x() + 0.5)) - span / 2;
    const int top = int(std::floor(point.y() + 0.5)) - span / 2;
    QImage loupe(kSidePx, kSidePx, QImage::Format_RGB32);
    loupe.fill(kOutside);
    QPainter painter(&loupe);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect source(left, top, span, span);
    const QRect visible = source.intersected(frame.rect());
    if (!visible.isEmpty()) {
        const QRect target((visible.x() - left) * kZoom, (visible.y() - top) * kZoom,
            visible.width() * kZoom, visible.height() * kZoom);
        painter.drawImage(target, frame, visible);
    }
    // The cross-hair runs through the middle of the point's pixel block.
    const int centre = (span / 2) * kZoom + kZoom / 2;
    painter.setPen(QPen(kCrossHair, 1));
    painter.drawLine(centre, 0, centre, centre - kZoom);
    painter.drawLine(centre, centre + kZoom, centre, kSidePx);
    painter.drawLine(0, centre, centre - kZoom, centre);
    painter.drawLine(centre + kZoom, centre, kSidePx, centre);
    painter.setPen(QPen(kFrameColour, 1));
    painter.drawRect(0, 0, kSidePx - 1, kSidePx - 1);
    return loupe;
}

QRect Magnifier::placeNear(const QPoint& cursor, int side, const QRect& bounds)
{
    int x = cursor.x() + kCursorGapPx;
    int y = cursor.y() + kCursorGapPx;
    if (x + side > bounds.right())
        x = cursor.x() - kCursorGapPx - side;
    if (y + side > bounds.bottom())
        y = cursor.y() - kCursorGapPx - side;
    return QRect(x, y, side, side);
}
