#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

class VistrelInterface;
struct VistrelVideoWriter;

// The engine library's video writer (plain C functions looked up by name):
// H.264 in .mp4 where the machine encodes it, Motion JPEG in .avi otherwise.
// The file appears under its name only when finish() succeeds; a writer
// destroyed before that removes what it wrote.
class VideoWriter
{
public:
    enum class Codec { H264 = 1, Mjpeg = 2 };

    explicit VideoWriter(VistrelInterface* engine);
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // The codec a new file gets; empty when the library has no writer or
    // nothing encodes.
    std::optional<Codec> bestCodec() const;
    // The file suffix (without dot) of a codec's container.
    static QString suffixFor(Codec codec);
    // Where a video asked for at `path` is written and with which codec: an
    // .avi gets Motion JPEG; anything else H.264, or Motion JPEG with the
    // suffix changed to .avi where H.264 does not encode.
    std::optional<std::pair<QString, Codec>> targetFor(const QString& path) const;

    bool open(const QString& path, const QSize& size, double fps, Codec codec);
    // One picture of the opened size in Format_RGB888.
    bool write(const QImage& picture);
    bool finish();
    void discard();

private:
    using ProbeFn = int (*)();
    using OpenFn = VistrelVideoWriter* (*)(const char*, int, int, double, int);
    using WriteFn = int (*)(VistrelVideoWriter*, const unsigned char*, long long);
    using CloseFn = int (*)(VistrelVideoWriter*, int);

    ProbeFn probeFn = nullptr;
    OpenFn openFn = nullptr;
    WriteFn writeFn = nullptr;
    CloseFn closeFn = nullptr;
    VistrelVideoWriter* handle = nullptr;
    QSize size;
};
