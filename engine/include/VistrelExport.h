#pragma once

/* Writing videos, beside the 85-slot interface.

   A host that burns the overlay and its own drawings into every frame hands
   the pictures to a writer, which encodes them with the FFmpeg build OpenCV
   uses: H.264 in an .mp4 where that build can encode it, Motion JPEG in an
   .avi otherwise. The writer fills a hidden file beside the target and
   renames it to the target only when closed with keep = 1, so a cancelled,
   failed or crashed export never leaves a half-written file under the
   target's name.

   A writer is independent of any engine and of the engine's lock. One
   writer may be used by one thread at a time. Results: 0 success, -1
   failure. Nothing throws. */

#ifndef VISTREL_EXPORT
#define VISTREL_EXPORT __attribute__((visibility("default")))
#endif

#define VISTREL_EXPORT_API_VERSION 1

/* Codecs. */
#define VISTREL_CODEC_H264 1 /* H.264 in .mp4 */
#define VISTREL_CODEC_MJPEG 2 /* Motion JPEG in .avi */

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VistrelVideoWriter VistrelVideoWriter;

/* The best codec this machine can encode: VISTREL_CODEC_H264 when a test
   encoding in H.264 succeeds, else VISTREL_CODEC_MJPEG when that does, else
   -1. Probed once per process (on first use); later calls are cheap. */
VISTREL_EXPORT int VistrelProbeVideoCodec(void);

/* Opens a writer for pictures of width x height at fps frames per second
   into path (the container follows the path's extension, so give .mp4 for
   H.264 and .avi for Motion JPEG). Null when the arguments are out of range
   (sizes 1..16384, fps finite and > 0), the codec is unknown or cannot be
   opened, or the target's folder cannot be written. */
VISTREL_EXPORT VistrelVideoWriter* VistrelOpenVideoWriter(
    const char* path, int width, int height, double fps, int codec);

/* Encodes one picture of the writer's size: rows of width x 3 bytes in R, G,
   B order, `stride` bytes apart (>= width x 3). -1 for a null writer or
   picture, a short stride, or when the encoder fails; a writer that failed
   once fails from then on. */
VISTREL_EXPORT int VistrelWriteVideoFrame(
    VistrelVideoWriter* writer, const unsigned char* rgb, long long stride);

/* Ends the writer and frees it. keep = 1: finishes the file and moves it to
   the path given at opening (replacing a file there); -1 when that fails or
   the writer had failed, and then nothing is left behind. keep = 0: removes
   what was written. A null writer: -1. */
VISTREL_EXPORT int VistrelCloseVideoWriter(VistrelVideoWriter* writer, int keep);

#ifdef __cplusplus
}
#endif
