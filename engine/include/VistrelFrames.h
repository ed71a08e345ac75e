#pragma once

/* Showing and stepping single frames, beside the 85-slot interface.

   The slots only show pictures while the playback loop runs. These functions
   let a host show the first frame as soon as a video is open, step frame by
   frame while stopped or paused, seek to an exact frame, and redraw the
   overlay after the pitch model changed while nothing plays.

   Every function takes the engine a host got from GetVistrelInterface. Results:
   0 success, -1 failure (null or foreign engine, no video open, the frame
   cannot be decoded), unless a function says otherwise. Nothing throws.
   Safe to call from any thread; while a playback loop runs, requests are
   handed to the loop and the call waits until the loop has served them (at
   most about two seconds). */

#ifndef VISTREL_EXPORT
#define VISTREL_EXPORT __attribute__((visibility("default")))
#endif

#define VISTREL_FRAMES_API_VERSION 3

#ifdef __cplusplus
class VistrelInterface;
extern "C" {
#else
typedef struct VistrelInterface VistrelInterface;
#endif

/* Makes the frame with this index (0 is the first) the current frame: it is
   decoded exactly (also across keyframes), run through the frame pipeline and
   drawn with the overlay into the export picture, and playback continues
   after it. An index past the last frame shows the last frame the video
   really has; a negative one the first. */
VISTREL_EXPORT int VistrelSeekFrame(VistrelInterface* engine, long long index);

/* The index of the current frame (the one in the export picture); -1 before
   any frame was read. */
VISTREL_EXPORT long long VistrelGetFrameIndex(VistrelInterface* engine);

/* The number of frames the video has as far as the engine knows: the
   container's count, corrected once reading has met the real end (playing to
   the end, or a seek past it); -1 with no video open or while the count is
   not known (a container without one, until reading meets the end). */
VISTREL_EXPORT long long VistrelGetFrameTotal(VistrelInterface* engine);

/* Draws the current frame again with the current overlay into the export
   picture, without decoding (after the corners or dimensions changed while
   nothing plays). -1 when there is no current frame. */
VISTREL_EXPORT int VistrelRedrawFrame(VistrelInterface* engine);

/* A counter that grows by one with every new export picture: a new frame
   (played, stepped, sought), a redraw, the overlay drawn anew into it, a new
   video's black picture. A host that remembers the value it saw when it
   last fetched the picture need not fetch it again while the value is the
   same. Cheap and lock-free: it does not wait for the playback loop. 0 for a
   null or foreign engine (and for an engine that drew no picture yet). */
VISTREL_EXPORT unsigned long long VistrelGetFrameSerial(VistrelInterface* engine);

/* The memory the cache of recently decoded frames may take, in bytes
   (default 256 MiB), counted in frames of the open video's size: steps and
   seeks back to a frame in the cache are served without decoding. 0 keeps
   no frames. A smaller budget drops the oldest frames at once. */
VISTREL_EXPORT int VistrelSetFrameCacheBytes(VistrelInterface* engine, long long bytes);

/* The frame cache's budget in bytes; -1 for a null or foreign engine. */
VISTREL_EXPORT long long VistrelGetFrameCacheBytes(VistrelInterface* engine);

#ifdef __cplusplus
}
#endif
