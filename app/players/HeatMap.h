#pragma once

#include <QImage>

#include <vector>

struct PlayerTrack;

// Where a player spent the match: the time at each square metre of the
// pitch, blurred over a few metres, as a translucent picture one pixel a
// metre (the top-left corner first, as the pitch is seen from above).
class HeatMap
{
public:
    static QImage of(const PlayerTrack& track, double length, double width);

private:
    static void blur(std::vector<float>& cells, int columns, int rows);
    static QRgb colourOf(float share);
};
