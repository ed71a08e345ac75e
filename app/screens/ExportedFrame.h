#pragma once

#include <QImage>

#include <memory>

// Wraps a frame handed out by the engine's exportFrame as an image without
// copying it. The engine packs the picture as rows of width x 3 bytes (R, G,
// B) with no padding, whatever the width, so the image is given exactly that
// row length and never reads past the buffer's end. The image keeps the
// buffer alive for as long as it, or any shallow copy of it, exists.
class ExportedFrame
{
public:
    static constexpr int kBytesPerPixel = 3;

    // A null image when the buffer is empty or the size is not positive.
    static QImage toImage(const std::shared_ptr<unsigned char[]>& buffer, int width, int height);
};
