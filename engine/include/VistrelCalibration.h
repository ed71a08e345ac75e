#pragma once

/* How well the calibration fits the picture, beside the 85-slot interface.

   A host shows it once the pitch is calibrated ("fit 0.8 px") and warns when
   it is poor: a corner clicked a few pixels off or dimensions typed wrong
   move the projected markings away from the painted ones.

   Takes the engine a host got from GetVistrelInterface. Results: 0 success,
   -1 failure (null pointer, null or foreign engine, no calibration, no
   frame, no painted marking found near the projected ones). The output is
   written only on success. Nothing throws. Safe to call from any thread,
   also while Play runs: it works on the current frame under the engine's
   lock. */

#ifndef VISTREL_EXPORT
#define VISTREL_EXPORT __attribute__((visibility("default")))
#endif

#define VISTREL_CALIBRATION_API_VERSION 3

#ifdef __cplusplus
class VistrelInterface;
extern "C" {
#else
typedef struct VistrelInterface VistrelInterface;
#endif

/* The mean distance in pixels between the centre circle (9.15 m radius) and
   the halfway line projected from the current corners and dimensions (in
   metres) and the painted ones on the current frame, each point of the
   projection compared with the paint nearest to it across the marking
   (within 8 px). The halfway line may join the midpoints of either pair of
   opposite edges; whichever is painted counts. A centre circle that lies in
   the picture but finds no paint, while a halfway line does, is far off (the
   dimensions are wrong): its points count at the 8 px search limit. -1 when
   not calibrated or no painted marking lies near the projected ones along
   most of their course. */
VISTREL_EXPORT int VistrelCalibrationFit(VistrelInterface* engine, double* meanPx);

/* The fit for a pitch whose centre circle has the radius circleRadiusM in
   metres, or whose radius is not known (0). cornerPx: how far the corners
   seem off, with the painted circle's own radius so that only the corners
   decide it: the larger of the mean distance of VistrelCalibrationFit and
   the largest corner move that lays the projected outline, halfway line and
   circle (its centre and shape) best on their paint. meanPx: the larger of
   cornerPx and the fit with the circle given, the circle's own mean
   distance counting on its own (with the painted circle's own radius when
   the radius is not known).
   paintedRadiusM: the painted circle's radius in metres with the current
   dimensions, 0 when no circle round the pitch centre is painted round with
   them. A painted radius other than the one given, with a good cornerPx,
   means the dimensions or the radius given are wrong, not the corners.
   -1 (nothing written) as for VistrelCalibrationFit, and for a negative or
   not finite radius. Any output pointer may be null. */
VISTREL_EXPORT int VistrelJudgeCalibration(VistrelInterface* engine, double circleRadiusM,
    double* meanPx, double* cornerPx, double* paintedRadiusM);

#ifdef __cplusplus
}
#endif
