#include "VistrelFrames.h"

#include "core/Vistrel.h"

#include <exception>

// The C functions of VistrelFrames.h: find the engine behind the interface
// pointer (a host's own implementation of the interface is refused) and
// keep every failure on this side of the boundary.

namespace {

Vistrel* engineOf(VistrelInterface* engine) { return dynamic_cast<Vistrel*>(engine); }

template <typename Call>
auto guarded(VistrelInterface* engine, Call call) -> decltype(call(*engineOf(engine)))
{
    try {
        if (Vistrel* vistrel = engineOf(engine))
            return call(*vistrel);
    } catch (...) { }
    return -1;
}

} // namespace

extern "C" {

VISTREL_EXPORT int VistrelSeekFrame(VistrelInterface* engine, long long index)
{
    return guarded(engine, [index](Vistrel& vistrel) { return vistrel.seekFrame(index); });
}

VISTREL_EXPORT long long VistrelGetFrameIndex(VistrelInterface* engine)
{
    return guarded(engine, [](Vistrel& vistrel) { return vistrel.currentFrameIndex(); });
}

VISTREL_EXPORT long long VistrelGetFrameTotal(VistrelInterface* engine)
{
    return guarded(engine, [](Vistrel& vistrel) { return vistrel.knownFrameTotal(); });
}

VISTREL_EXPORT int VistrelRedrawFrame(VistrelInterface* engine)
{
    return guarded(engine, [](Vistrel& vistrel) { return vistrel.redrawFrame(); });
}

VISTREL_EXPORT unsigned long long VistrelGetFrameSerial(VistrelInterface* engine)
{
    const Vistrel* vistrel = engineOf(engine);
    return vistrel ? vistrel->frameSerial() : 0;
}

VISTREL_EXPORT int VistrelSetFrameCacheBytes(VistrelInterface* engine, long long bytes)
{
    if (bytes < 0)
        return -1;
    return guarded(engine, [bytes](Vistrel& vistrel) {
        vistrel.setFrameCacheBytes(static_cast<std::size_t>(bytes));
        return 0;
    });
}

VISTREL_EXPORT long long VistrelGetFrameCacheBytes(VistrelInterface* engine)
{
    return guarded(
        engine, [](Vistrel& vistrel) { return static_cast<long long>(vistrel.frameCacheBytes()); });
}

} // extern "C"
