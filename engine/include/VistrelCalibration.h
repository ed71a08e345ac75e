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

#define VISTREL_CALIBRATION_API_VERSION 1

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

#ifdef __cplusplus
}
#endif
