#include "VistrelCamera.h"

#include "core/Vistrel.h"

#include <vector>

// The camera-model functions of VistrelCamera.h: argument checks here, the
// work in the engine under its lock.

namespace {

Vistrel* engineOf(VistrelInterface* engine) { return dynamic_cast<Vistrel*>(engine); }

template <typename Call> int guarded(Call call)
{
    try {
        return call();
    } catch (...) {
        return -1;
    }
}

std::vector<cv::Point2d> pointsOf(const double* xy, int count)
{
    std::vector<cv::Point2d> points(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        points[static_cast<std::size_t>(i)] = cv::Point2d(xy[2 * i], xy[2 * i + 1]);
    return points;
}

} // namespace

extern "C" {

int VistrelCalibrateFromPoints(VistrelInterface* engine, int count, const double* picture,
    const double* pitch, double* rmsPx)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !picture || !pitch || count < 4)
            return -1;
        return vistrel->calibrateFromPoints(
            pointsOf(picture, count), pointsOf(pitch, count), rmsPx);
    });
}

int VistrelSetLensDistortion(VistrelInterface* engine, double k1, double k2, double cx, double cy)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        return vistrel ? vistrel->setLensDistortion(k1, k2, cv::Point2d(cx, cy)) : -1;
    });
}

int VistrelGetLensDistortion(
    VistrelInterface* engine, double* k1, double* k2, double* cx, double* cy)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !k1 || !k2 || !cx || !cy)
            return -1;
        const std::optional<CLensModel> lens = vistrel->lensDistortion();
        if (!lens)
            return -1;
        *k1 = lens->k1();
        *k2 = lens->k2();
        *cx = lens->centre().x;
        *cy = lens->centre().y;
        return 0;
    });
}

int VistrelEstimateLensDistortion(
    VistrelInterface* engine, double* k1, double* k2, double* cx, double* cy)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !k1 || !k2 || !cx || !cy)
            return -1;
        const std::optional<CLensModel> lens = vistrel->estimateLensDistortion();
        if (!lens)
            return -1;
        *k1 = lens->k1();
        *k2 = lens->k2();
        *cx = lens->centre().x;
        *cy = lens->centre().y;
        return 0;
    });
}

int VistrelGetLensStraightness(VistrelInterface* engine, double* rmsPx)
{
    return guarded([&] {
        Vistrel* vistrel = engineOf(engine);
        if (!vistrel || !rmsPx)
            return -1;
        const std::optional<double> straightness = vistrel->lensStraightness();
        if (!straightness)
            return -1;
        *rmsPx = *straightness;
        return 0;
    });
}

} // extern "C"
