#pragma once
#ifdef __cplusplus
class VistrelInterface;
extern "C" {
#else
typedef struct VistrelInterface VistrelInterface;
#endif

/* Results: 0 success, -1 failure (null pointer, no calibration, a point at or
   beyond the horizon, no frame, nothing found). Nothing throws. Outputs are
   written only on success. Safe to call from any thread, also while Play runs. */

/* Calibration assist */
int    VistrelSnapToLines(VistrelInterface* engine, double px, double py, double radiusPx,
                          double* sx, double* sy);
int    VistrelEstimateDimensions(VistrelInterface* engine, double* length, double* width);

#ifdef __cplusplus
}
#endif
