#pragma once

/* Player tracking, beside the 85-slot interface.

   Tracks the players of the engine's open video into the CSV of the tracks
   format (frame, time_s, track_id, team, x_m, y_m, speed_m_s, state) with
   its JSON sidecar, positions in pitch metres in the convention of
   VistrelMeasure.h. Players are what moves on the pitch or within about
   1.5 m of its lines: people farther out (benches, coaches, spectators,
   ball boys) get no track; referees and goalkeepers are tracked with an
   empty team unless their shirts match a team's.

   The engine must be calibrated (VistrelMeasure.h) and have a video open.
   The video is read by a capture of the tracking's own: a playback running
   meanwhile is not disturbed, and the calibration is copied when the call
   starts. Nothing throws. */

#ifndef VISTREL_EXPORT
#define VISTREL_EXPORT __attribute__((visibility("default")))
#endif

#define VISTREL_TRACKING_API_VERSION 2

#ifdef __cplusplus
class VistrelInterface;
extern "C" {
#else
typedef struct VistrelInterface VistrelInterface;
#endif

/* Results of VistrelTrackVideo. */
#define VISTREL_TRACK_DONE 0
#define VISTREL_TRACK_NOT_READY (-1) /* null or foreign engine, no video, not calibrated */
#define VISTREL_TRACK_UNREADABLE (-2) /* the video cannot be read */
#define VISTREL_TRACK_UNWRITABLE (-3) /* the CSV or its sidecar cannot be written */
#define VISTREL_TRACK_CANCELLED (-4) /* the progress callback asked to stop */

/* Called on the tracking thread after each frame with the frames done and
   the video's frame count (0 when the container does not tell). Return 0
   to go on, anything else to cancel. */
typedef int (*VistrelTrackProgress)(void* user, long long done, long long total);

/* Tracks the whole open video into csvPath (UTF-8 path) and csvPath + ".json".
   Blocks until done, on the calling thread; progress may be null. Both
   files are written beside their targets and renamed into place at the
   end, so a failed or cancelled run leaves neither. Returns one of the
   VISTREL_TRACK_ results. Safe to call from any thread, also while Play
   runs; runs of different engines may go on in parallel. */
VISTREL_EXPORT int VistrelTrackVideo(
    VistrelInterface* engine, const char* csvPath, VistrelTrackProgress progress, void* user);

/* One player of the current frame, for a live view while the engine plays. */
typedef struct VistrelLivePlayer {
    int trackId; /* positive, the same for one player while the live view runs */
    char team; /* 'A', 'B' or 0 (unknown, a referee) */
    double pictureX, pictureY; /* the foot point, video pixels */
    double pitchX, pitchY; /* metres, the convention of VistrelMeasure.h */
    double speed; /* m/s, from the track's motion model */
} VistrelLivePlayer;

/* Starts following the players of the frames the engine shows: from then
   on every new frame the playback loop reads (or a seek shows) goes through
   detection and tracking, beside the 85-slot analysis, which it does not
   change. Without a start the loop does no tracking work at all. Reads a
   few frames spread over the open video first to learn the empty pitch (a
   moment for an HD video), on the calling thread. Starting again starts
   afresh with the current calibration. 0, or -1 for a null or foreign
   engine, no video or no calibration. */
VISTREL_EXPORT int VistrelStartLivePlayers(VistrelInterface* engine);

/* Stops following the players and forgets them. 0, or -1 for a null or
   foreign engine. */
VISTREL_EXPORT int VistrelStopLivePlayers(VistrelInterface* engine);

/* Copies the players of the latest frame tracked into players[0 ..
   capacity-1], sorted by track id, and the index of that frame into *frame
   (may be null; -1 when none was tracked yet). Returns how many players
   that frame has, which may exceed capacity (then only capacity are
   written); 0 while the live view is off. -1, writing nothing, for a null
   or foreign engine, a negative capacity, or players null with a capacity
   above 0. After a seek or jump, tracks start afresh; a player needs a few
   frames in a row to be reported. Safe from any thread while Play runs. */
VISTREL_EXPORT int VistrelGetLivePlayers(
    VistrelInterface* engine, VistrelLivePlayer* players, int capacity, long long* frame);

/* The version of this header the library was built with
   (VISTREL_TRACKING_API_VERSION). */
VISTREL_EXPORT int VistrelTrackingApiVersion(void);

#ifdef __cplusplus
}
#endif
