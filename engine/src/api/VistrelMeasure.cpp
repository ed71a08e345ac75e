#include "VistrelMeasure.h"

#include "pitch/CPitchGeometry.h"
#include "core/Vistrel.h"

#include <exception>

// The measuring functions of VistrelMeasure.h. Each reads the calibration
// from the engine under its lock (Vistrel::pitchGeometry) and computes on
// that copy, so a playback loop or a host changing the corners meanwhile
// never sees half a calibration. Built into the shared library itself: the
// linker would drop them from the core archive, since nothing there calls
// them.

namespace {

// The engine behind a host's pointer; null for a null pointer or an object
// this library did not make.
Vistrel* engineOf(VistrelInterface* engine) { return dynamic_cast<Vistrel*>(engine); }

template <typename Call> int guarded(Call call)
{
    try {
        return call();
    } catch (...) {
        return -1;
    }
}

// Writes a pair of results, or reports a failure without writing anything.
int deliver(const std::optional<cv::Point2d>& result, double* a, double* b)
{
    if (!result)
        return -1;
    *a = result->x;
    *b = result->y;
    return 0;
}

} // namespace

extern "C" {

int VistrelPictureToPitch(VistrelInterface* engine, double px, double py, double* x, double* y)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !x || !y)
            return -1;
        const auto geometry = vistrel->pitchGeometry();
        return geometry ? deliver(geometry->toPitch({ px, py }), x, y) : -1;
    });
}

int VistrelPitchToPicture(VistrelInterface* engine, double x, double y, double* px, double* py)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !px || !py)
            return -1;
        const auto geometry = vistrel->pitchGeometry();
        return geometry ? deliver(geometry->toPicture({ x, y }), px, py) : -1;
    });
}

int VistrelSetClickSigma(VistrelInterface* engine, double sigmaPx)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        return vistrel && vistrel->setClickSigma(sigmaPx) ? 0 : -1;
    });
}

double VistrelGetClickSigma(VistrelInterface* engine)
{
    try {
        const Vistrel* vistrel = engineOf(engine);
        return vistrel ? vistrel->getClickSigma() : -1.0;
    } catch (...) {
        return -1.0;
    }
}

int VistrelMeasureDistance(VistrelInterface* engine, double px1, double py1, double px2, double py2,
    double* metres, double* sigmaMetres)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !metres || !sigmaMetres)
            return -1;
        const auto geometry = vistrel->pitchGeometry();
        if (!geometry)
            return -1;
        const auto distance
            = geometry->measure({ px1, py1 }, { px2, py2 }, vistrel->getClickSigma());
        if (!distance)
            return -1;
        *metres = distance->metres;
        *sigmaMetres = distance->sigmaMetres;
        return 0;
    });
}

} // extern "C"
