#include "export/VideoWriter.h"

#include "engine/EngineFunctions.h"
#include "VistrelExport.h"

#include <QFile>
#include <QFileInfo>

#include <type_traits>

namespace {

static_assert(std::is_same_v<decltype(&VistrelProbeVideoCodec), int (*)()>);
static_assert(std::is_same_v<decltype(&VistrelOpenVideoWriter),
    VistrelVideoWriter* (*)(const char*, int, int, double, int)>);
static_assert(std::is_same_v<decltype(&VistrelWriteVideoFrame),
    int (*)(VistrelVideoWriter*, const unsigned char*, long long)>);
static_assert(
    std::is_same_v<decltype(&VistrelCloseVideoWriter), int (*)(VistrelVideoWriter*, int)>);
static_assert(int(VideoWriter::Codec::H264) == VISTREL_CODEC_H264);
static_assert(int(VideoWriter::Codec::Mjpeg) == VISTREL_CODEC_MJPEG);

template <typename Function> Function lookUp(VistrelInterface* engine, const char* name)
{
    return reinterpret_cast<Function>(EngineFunctions::symbol(engine, name));
}

} // namespace

VideoWriter::VideoWriter(VistrelInterface* engine)
    : probeFn(lookUp<ProbeFn>(engine, "VistrelProbeVideoCodec"))
    , openFn(lookUp<OpenFn>(engine, "VistrelOpenVideoWriter"))
    , writeFn(lookUp<WriteFn>(engine, "VistrelWriteVideoFrame"))
    , closeFn(lookUp<CloseFn>(engine, "VistrelCloseVideoWriter"))
{ }

VideoWriter::~VideoWriter() { discard(); }

std::optional<VideoWriter::Codec> VideoWriter::bestCodec() const
{
    if (!probeFn || !openFn || !writeFn || !closeFn)
        return std::nullopt;
    const int codec = probeFn();
    if (codec != VISTREL_CODEC_H264 && codec != VISTREL_CODEC_MJPEG)
        return std::nullopt;
    return Codec(codec);
}

QString VideoWriter::suffixFor(Codec codec)
{
    return codec == Codec::H264 ? QStringLiteral("mp4") : QStringLiteral("avi");
}

std::optional<std::pair<QString, VideoWriter::Codec>> VideoWriter::targetFor(
    const QString& path) const
{
    const std::optional<Codec> best = bestCodec();
    if (!best)
        return std::nullopt;
    const QFileInfo info(path);
    if (info.suffix().compare(suffixFor(Codec::Mjpeg), Qt::CaseInsensitive) == 0)
        return std::pair(path, Codec::Mjpeg);
    if (*best == Codec::H264)
        return std::pair(path, Codec::H264);
    const QString stem = info.suffix().isEmpty() ? path : path.chopped(info.suffix().size() + 1);
    return std::pair(stem + QLatin1Char('.') + suffixFor(Codec::Mjpeg), Codec::Mjpeg);
}

bool VideoWriter::open(const QString& path, const QSize& pictureSize, double fps, Codec codec)
{
    discard();
    if (!openFn)
        return false;
    handle = openFn(QFile::encodeName(path).constData(), pictureSize.width(), pictureSize.height(),
        fps, int(codec));
    size = pictureSize;
    return handle != nullptr;
}

bool VideoWriter::write(const QImage& picture)
{
    if (!handle || picture.size() != size || picture.format() != QImage::Format_RGB888)
        return false;
    return writeFn(handle, picture.constBits(), picture.bytesPerLine()) == 0;
}

bool VideoWriter::finish()
{
    if (!handle)
        return false;
    const bool kept = closeFn(handle, 1) == 0;
    handle = nullptr;
    return kept;
}

void VideoWriter::discard()
{
    if (handle)
        closeFn(handle, 0);
    handle = nullptr;
}
