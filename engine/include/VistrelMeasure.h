#pragma once

/* Measuring on the pitch, beside the 85-slot interface.

   Picture coordinates are video pixels of the frames the engine reads: x to
   the right, y down, the centre of the top-left pixel at (0, 0) (the points
   given to addFieldPoint are the same coordinates). Pitch coordinates are in
   the unit of the pitch dimensions (metres): origin at the bottom-left
   corner, x along the bottom edge to the bottom-right corner (0 .. width),
   y towards the top edge (0 .. length), with the engine's current
   getFieldWidth() and getFieldLength().

   The engine is calibrated when its four corners are set, no three of them
   lie on one line, they do not form a quadrilateral that crosses itself,
   and the width and length are finite and > 0. The mapping is then the
   exact homography through the four corners in double precision.

   Every function takes the engine a host got from GetVistrelInterface.
   Results: 0 success, -1 failure (null pointer, an engine not made by this
   library, a coordinate that is not finite, not calibrated, a point on or
   beyond the horizon of the pitch plane). Outputs are written only on
   success. Nothing throws. Safe to call from any thread, also while Play
   runs: each call works on a copy of the corners and dimensions taken under
   the engine's lock. */

#ifndef VISTREL_EXPORT
#define VISTREL_EXPORT __attribute__((visibility("default")))
#endif

#define VISTREL_MEASURE_API_VERSION 3

#ifdef __cplusplus
class VistrelInterface;
extern "C" {
#else
typedef struct VistrelInterface VistrelInterface;
#endif

/* The pitch position (x, y) of the picture point (px, py). -1 also when the
   point lies on or beyond the horizon (it shows no part of the pitch plane). */
VISTREL_EXPORT int VistrelPictureToPitch(
    VistrelInterface* engine, double px, double py, double* x, double* y);

/* The picture point (px, py) of the pitch position (x, y); the inverse of
   VistrelPictureToPitch. -1 also for a position behind the camera. */
VISTREL_EXPORT int VistrelPitchToPicture(
    VistrelInterface* engine, double x, double y, double* px, double* py);

/* The standard deviation of one click, in pixels, in x and in y; used for
   the uncertainty of VistrelMeasureDistance. Each engine starts at 1.0.
   Accepted: finite values from 0 to 50; anything else returns -1 and keeps
   the old value. */
VISTREL_EXPORT int VistrelSetClickSigma(VistrelInterface* engine, double sigmaPx);

/* The current click sigma in pixels; -1.0 for a null or foreign engine. */
VISTREL_EXPORT double VistrelGetClickSigma(VistrelInterface* engine);

/* The distance on the pitch between the picture points (px1, py1) and
   (px2, py2), in pitch units, and its standard deviation: each corner and
   each end point is taken to carry an independent Gaussian click error of
   the click sigma in x and in y, propagated to first order (0 when the sigma
   is 0). For two points that map onto the same pitch position the
   root-mean-square distance those errors produce is given instead. Both
   outputs are needed. -1 also when an end point is on or beyond the
   horizon. */
VISTREL_EXPORT int VistrelMeasureDistance(VistrelInterface* engine, double px1, double py1,
    double px2, double py2, double* metres, double* sigmaMetres);

/* Calibration assist: on the current frame (the first frame right after a
   successful LoadVideo, then whatever playback or a seek last showed),
   looked at under the engine's lock. */

/* The sub-pixel crossing (sx, sy) of the two painted pitch lines (bright,
   thin lines on grass) that cross nearest to (px, py), within radiusPx of
   it. -1 when fewer than two such lines cross there: never a guess. */
VISTREL_EXPORT int VistrelSnapToLines(VistrelInterface* engine, double px, double py,
    double radiusPx, double* sx, double* sy);

/* The pitch's length and width in metres that its painted markings imply
   with the current corners: the centre circle (radius 9.15 m), the penalty
   and goal areas where visible. -1 when not calibrated or no marking is
   found. */
VISTREL_EXPORT int VistrelEstimateDimensions(
    VistrelInterface* engine, double* length, double* width);

/* Automatic registration: the four corners of the pitch's outer boundary on
   the current frame, in the order a user clicks them: top left, top right,
   bottom left, bottom right, as (x, y) pairs, where "top" is the edge nearer
   the top of the picture. -1 when the whole boundary is not visible: never a
   guess. */
VISTREL_EXPORT int VistrelFindCorners(VistrelInterface* engine, double corners[8]);

#ifdef __cplusplus
}
#endif
