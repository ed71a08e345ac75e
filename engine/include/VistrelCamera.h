#pragma once

/* The camera model, beside the 85-slot interface: calibrating from any known
   pitch points (a view that shows only part of the pitch), and the lens's
   radial distortion.

   Coordinates as in VistrelMeasure.h: picture points are video pixels of
   the frames the engine reads (the centre of the top-left pixel at (0, 0)),
   pitch points are in the unit of the pitch dimensions with the origin at
   the bottom-left corner.

   Lens model: radial distortion about a centre c = (cx, cy) in picture
   pixels. A picture point d as the camera recorded it corresponds to the
   ideal (pinhole) point u = c + (d - c) (1 + k1 rho^2 + k2 rho^4), where
   rho = |d - c| over half the picture diagonal; barrel distortion has
   k1 > 0. Every picture point a host gives (clicks, corners, measuring end
   points) is a recorded point: the engine undistorts it before the
   homography and distorts what it projects, so the overlay follows the bent
   painted lines. With k1 = k2 = 0 (each engine's start, centre in the middle
   of the picture) everything behaves as without a lens.

   Results: 0 success, -1 failure; outputs are written only on success and
   a refusal changes nothing. Nothing throws. Safe from any thread. */

#ifndef VISTREL_EXPORT
#define VISTREL_EXPORT __attribute__((visibility("default")))
#endif

#define VISTREL_CAMERA_API_VERSION 2

#ifdef __cplusplus
class VistrelInterface;
extern "C" {
#else
typedef struct VistrelInterface VistrelInterface;
#endif

/* Calibrates from count >= 4 known points: picture holds x0, y0, x1, y1, ...
   (recorded video pixels), pitch the same points' pitch positions (with the
   current width and length). The homography is the least-squares fit of the
   reprojection error through the undistorted points; *rmsPx (optional, may
   be null) gets the root-mean-square reprojection error in picture pixels.
   The engine's four corners become the projections of the pitch corners
   through the fit (they may lie outside the picture), and everything that
   follows the corners follows them. -1 when count < 4, a value is not
   finite, fewer than four points are in general position in the picture or
   on the pitch, or a pitch corner would lie on or beyond the horizon. */
VISTREL_EXPORT int VistrelCalibrateFromPoints(VistrelInterface* engine, int count,
    const double* picture, const double* pitch, double* rmsPx);

/* Sets the lens. Accepted with a video loaded: finite values, |k1| and |k2|
   <= 2, a centre inside the picture, and a model whose rho (1 + k1 rho^2 +
   k2 rho^4) still grows at the picture corner farthest from the centre.
   Keeps the calibration's picture points (clicked corners, or the points
   last given to VistrelCalibrateFromPoints) and refits through them; -1 also
   when they define no calibration through the new lens. LoadVideo keeps the
   lens for a video of the same size and resets it otherwise. */
VISTREL_EXPORT int VistrelSetLensDistortion(
    VistrelInterface* engine, double k1, double k2, double cx, double cy);

/* The current lens. -1 without a video (there is no picture to describe). */
VISTREL_EXPORT int VistrelGetLensDistortion(
    VistrelInterface* engine, double* k1, double* k2, double* cx, double* cy);

/* Estimates the lens from the painted lines of the current frame, which are
   straight on the pitch: the k1, k2 and centre that make the long painted
   lines straightest once undistorted (the plumb-line method). Needs no
   calibration. Sets the result as VistrelSetLensDistortion does and writes
   it out. -1 (nothing changed) when fewer than three long painted lines,
   not all parallel in the picture, are found, or the footage shows no
   measurable bending (then the pinhole model stands). */
VISTREL_EXPORT int VistrelEstimateLensDistortion(
    VistrelInterface* engine, double* k1, double* k2, double* cx, double* cy);

/* How straight the painted lines the last successful
   VistrelEstimateLensDistortion worked on run once undistorted through the
   lens it found: the root-mean-square distance in picture pixels of their
   points from a straight line each. -1 when there is no such estimate, or
   its lens is no longer the engine's (a lens was set or a video loaded
   since). */
VISTREL_EXPORT int VistrelGetLensStraightness(VistrelInterface* engine, double* rmsPx);

#ifdef __cplusplus
}
#endif
