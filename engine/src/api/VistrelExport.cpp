#include "VistrelExport.h"

#include "video/CVideoWriter.h"

#include <exception>
#include <memory>

// The C functions of VistrelExport.h: a writer handle is a CVideoWriter, and
// every failure stays on this side of the boundary.

struct VistrelVideoWriter
{
    std::unique_ptr<CVideoWriter> writer;
};

extern "C" {

VISTREL_EXPORT int VistrelProbeVideoCodec(void)
{
    try {
        const CVideoWriter::Codec* best = CVideoWriter::bestCodec();
        return best ? int(*best) : -1;
    } catch (...) {
        return -1;
    }
}

VISTREL_EXPORT VistrelVideoWriter* VistrelOpenVideoWriter(
    const char* path, int width, int height, double fps, int codec)
{
    if (!path || (codec != VISTREL_CODEC_H264 && codec != VISTREL_CODEC_MJPEG))
        return nullptr;
    try {
        auto writer = CVideoWriter::open(
            path, cv::Size(width, height), fps, static_cast<CVideoWriter::Codec>(codec));
        return writer ? new VistrelVideoWriter { std::move(writer) } : nullptr;
    } catch (...) {
        return nullptr;
    }
}

VISTREL_EXPORT int VistrelWriteVideoFrame(
    VistrelVideoWriter* writer, const unsigned char* rgb, long long stride)
{
    try {
        return writer && writer->writer->write(rgb, stride) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

VISTREL_EXPORT int VistrelCloseVideoWriter(VistrelVideoWriter* writer, int keep)
{
    if (!writer)
        return -1;
    int result = keep ? -1 : 0;
    try {
        if (keep)
            result = writer->writer->finish() ? 0 : -1;
    } catch (...) { }
    delete writer; // discards whatever was not finished
    return result;
}

} // extern "C"
