#include "VistrelCalibration.h"
#include "VistrelMeasure.h"

#include "core/Vistrel.h"

// The calibration-assist C functions of VistrelMeasure.h and
// VistrelCalibration.h: find the engine behind the interface pointer (a
// host's own implementation of the interface is refused) and keep every
// failure on this side of the boundary.

namespace {

template <typename Call> int guarded(VistrelInterface* engine, Call call)
{
    try {
        if (Vistrel* vistrel = dynamic_cast<Vistrel*>(engine))
            return call(*vistrel);
    } catch (...) { }
    return -1;
}

} // namespace

extern "C" {

VISTREL_EXPORT int VistrelSnapToLines(
    VistrelInterface* engine, double px, double py, double radiusPx, double* sx, double* sy)
{
    return guarded(
        engine, [&](Vistrel& vistrel) { return vistrel.snapToLines(px, py, radiusPx, sx, sy); });
}

VISTREL_EXPORT int VistrelEstimateDimensions(
    VistrelInterface* engine, double* length, double* width)
{
    return guarded(
        engine, [&](Vistrel& vistrel) { return vistrel.estimateDimensions(length, width); });
}

VISTREL_EXPORT int VistrelFindCorners(VistrelInterface* engine, double corners[8])
{
    return guarded(engine, [&](Vistrel& vistrel) { return vistrel.findCorners(corners); });
}

VISTREL_EXPORT int VistrelCalibrationFit(VistrelInterface* engine, double* meanPx)
{
    return guarded(engine, [&](Vistrel& vistrel) { return vistrel.calibrationFit(meanPx); });
}

VISTREL_EXPORT int VistrelJudgeCalibration(VistrelInterface* engine, double circleRadiusM,
    double* meanPx, double* cornerPx, double* paintedRadiusM)
{
    return guarded(engine, [&](Vistrel& vistrel) {
        return vistrel.judgeCalibration(circleRadiusM, meanPx, cornerPx, paintedRadiusM);
    });
}

} // extern "C"
