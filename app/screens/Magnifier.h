#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>

// The loupe shown near the cursor while a point is being placed: the picture
// round the point enlarged with a cross-hair on the point, so that points can
// be placed to the pixel on a video shown scaled down.
class Magnifier
{
public:
    static constexpr int kZoom = 4;
    static constexpr int kSidePx = 132; // 33 video pixels across at kZoom

    // The loupe for the video pixel under `point` of `frame`; parts beyond the
    // picture are dark grey. Null for a null frame.
    static QImage render(const QImage& frame, const QPointF& point);

    // Where a loupe of `side` goes for a cursor at `cursor` (widget pixels):
    // below right of it, flipped to the other side where `bounds` end.
    static QRect placeNear(const QPoint& cursor, int side, const QRect& bounds);
};
