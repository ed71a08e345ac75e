#include "export/AnnotatedFrame.h"

#include "engine/EngineFunctions.h"
#include "measuring/MeasurementPainter.h"
#include "VistrelInterface.h"

#include <QPainter>

#include <memory>

namespace {

constexpr int kBytesPerPixel = 3;

void releaseBuffer(void* share) { delete static_cast<std::shared_ptr<unsigned char[]>*>(share); }

} // namespace

AnnotatedFrame::AnnotatedFrame(
    VistrelInterface* engine, std::vector<Measurement> measurements, bool screenDrawsLines)
    : engine(engine)
    , frames(EngineFunctions::of(engine))
    , measurements(std::move(measurements))
    , screenDrawsLines(screenDrawsLines)
{
    if (engine && screenDrawsLines)
        engine->setDrawFieldLines(true);
}

AnnotatedFrame::~AnnotatedFrame()
{
    if (engine && screenDrawsLines)
        engine->setDrawFieldLines(false);
}

QImage AnnotatedFrame::at(long long index) const
{
    if (!engine || frames.seekFrame(index) != 0 || frames.frameIndex() != index)
        return QImage();
    QImage picture = fetch();
    if (!picture.isNull() && !measurements.empty())
        paintMeasurements(picture, measurements);
    return picture;
}

QImage AnnotatedFrame::current() const
{
    if (!engine)
        return QImage();
    // A picture drawn while the lines were off gets them now.
    if (screenDrawsLines)
        frames.redrawFrame();
    QImage picture = fetch();
    if (!picture.isNull() && !measurements.empty())
        paintMeasurements(picture, measurements);
    return picture;
}

// exportFrame makes a fresh copy on every call that nobody else reads, so
// the image paints straight into it instead of detaching a second copy.
QImage AnnotatedFrame::fetch() const
{
    const int width = engine->getFrameWidth();
    const int height = engine->getFrameHeight();
    std::shared_ptr<unsigned char[]> buffer = engine->exportFrame();
    if (!buffer || width <= 0 || height <= 0)
        return QImage();
    auto share = std::make_unique<std::shared_ptr<unsigned char[]>>(buffer);
    QImage picture(buffer.get(), width, height, qsizetype(width) * kBytesPerPixel,
        QImage::Format_RGB888, releaseBuffer, share.get());
    if (picture.isNull())
        return QImage();
    share.release();
    return picture;
}

void AnnotatedFrame::paintMeasurements(
    QImage& picture, const std::vector<Measurement>& measurements)
{
    QPainter painter(&picture);
    MeasurementPainter::paint(painter, QTransform(), measurements, -1);
}
