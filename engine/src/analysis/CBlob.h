#pragma once

// One accepted position of the blob detector's sliding window: the window's
// size and content and the pixel its centre lies on. A plain record, kept by
// value in the blob list (no allocation of its own).
class CBlob
{
public:
    CBlob() = default;
    CBlob(int area, int width, int height, int filled, int empty, int sum, int x, int y)
        : area(area)
        , width(width)
        , height(height)
        , filled(filled)
        , empty(empty)
        , sum(sum)
        , x(x)
        , y(y)
    { }
    virtual ~CBlob() = default;
    CBlob(const CBlob&) = default;
    CBlob& operator=(const CBlob&) = default;
    CBlob(CBlob&&) = default;
    CBlob& operator=(CBlob&&) = default;

    int area = -1; // width * height
    int width = -1; // window width W
    int height = -1; // window height H
    int filled = -1; // pixels of the window that are not 0
    int empty = -1; // pixels of the window that are 0
    int sum = -1; // sum of the window's pixel values
    int x = -1; // column of the window centre
    int y = -1; // row of the window centre
};
