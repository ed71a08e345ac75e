#include "screens/ExportedFrame.h"

namespace {

void releaseBuffer(void* share) { delete static_cast<std::shared_ptr<unsigned char[]>*>(share); }

} // namespace

QImage ExportedFrame::toImage(const std::shared_ptr<unsigned char[]>& buffer, int width, int height)
{
    if (!buffer || width <= 0 || height <= 0)
        return QImage();
    // The image's clean-up function drops this extra share of the buffer.
    auto share = std::make_unique<std::shared_ptr<unsigned char[]>>(buffer);
    const qsizetype bytesPerLine = qsizetype(width) * kBytesPerPixel;
    const unsigned char* pixels = buffer.get();
    QImage image(
        pixels, width, height, bytesPerLine, QImage::Format_RGB888, releaseBuffer, share.get());
    if (image.isNull())
        return QImage();
    share.release();
    return image;
}
