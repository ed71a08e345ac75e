#include "engine/EngineFunctions.h"

#include "VistrelCalibration.h"
#include "VistrelCamera.h"
#include "VistrelFrames.h"
#include "VistrelMeasure.h"

#include <dlfcn.h>

#include <algorithm>
#include <type_traits>

std::mutex EngineFunctions::registryMutex;
std::vector<EngineFunctions::Entry> EngineFunctions::registry;

namespace {

// Checked at compile time against the declarations, so that a changed
// signature in the header cannot be called through a stale pointer type.
static_assert(std::is_same_v<decltype(&VistrelSeekFrame), int (*)(VistrelInterface*, long long)>);
static_assert(std::is_same_v<decltype(&VistrelGetFrameIndex), long long (*)(VistrelInterface*)>);
static_assert(std::is_same_v<decltype(&VistrelGetFrameTotal), long long (*)(VistrelInterface*)>);
static_assert(std::is_same_v<decltype(&VistrelRedrawFrame), int (*)(VistrelInterface*)>);
static_assert(std::is_same_v<decltype(&VistrelSnapToLines),
    int (*)(VistrelInterface*, double, double, double, double*, double*)>);
static_assert(std::is_same_v<decltype(&VistrelEstimateDimensions),
    int (*)(VistrelInterface*, double*, double*)>);
static_assert(
    std::is_same_v<decltype(&VistrelCalibrationFit), int (*)(VistrelInterface*, double*)>);
static_assert(std::is_same_v<decltype(&VistrelJudgeCalibration),
    int (*)(VistrelInterface*, double, double*, double*, double*)>);
static_assert(
    std::is_same_v<decltype(&VistrelGetFrameSerial), unsigned long long (*)(VistrelInterface*)>);
static_assert(std::is_same_v<decltype(&VistrelFindCorners), int (*)(VistrelInterface*, double*)>);

static_assert(std::is_same_v<decltype(&VistrelSetLensDistortion),
    int (*)(VistrelInterface*, double, double, double, double)>);
static_assert(std::is_same_v<decltype(&VistrelGetLensDistortion),
    int (*)(VistrelInterface*, double*, double*, double*, double*)>);
static_assert(std::is_same_v<decltype(&VistrelEstimateLensDistortion),
    int (*)(VistrelInterface*, double*, double*, double*, double*)>);
static_assert(
    std::is_same_v<decltype(&VistrelGetLensStraightness), int (*)(VistrelInterface*, double*)>);
static_assert(std::is_same_v<decltype(&VistrelCalibrateFromPoints),
    int (*)(VistrelInterface*, int, const double*, const double*, double*)>);

static_assert(std::is_same_v<decltype(&VistrelPitchToPicture),
    int (*)(VistrelInterface*, double, double, double*, double*)>);

} // namespace

void EngineFunctions::registerEngine(VistrelInterface* engine, void* module)
{
    if (!engine || !module)
        return;
    const std::lock_guard lock(registryMutex);
    auto known = std::find_if(registry.begin(), registry.end(),
        [engine](const Entry& entry) { return entry.engine == engine; });
    if (known != registry.end())
        known->module = module;
    else
        registry.push_back({ engine, module });
}

EngineFunctions EngineFunctions::of(VistrelInterface* engine)
{
    const std::lock_guard lock(registryMutex);
    for (const Entry& entry : registry) {
        if (entry.engine == engine)
            return EngineFunctions(engine, entry.module);
    }
    return {};
}

void* EngineFunctions::symbol(VistrelInterface* engine, const char* name)
{
    const std::lock_guard lock(registryMutex);
    for (const Entry& entry : registry) {
        if (entry.engine == engine)
            return name ? dlsym(entry.module, name) : nullptr;
    }
    return nullptr;
}

EngineFunctions::EngineFunctions(VistrelInterface* engine, void* module)
    : engine(engine)
    , seekFrameFn(resolve<SeekFrame>(module, "VistrelSeekFrame"))
    , frameIndexFn(resolve<FrameQuery>(module, "VistrelGetFrameIndex"))
    , frameTotalFn(resolve<FrameQuery>(module, "VistrelGetFrameTotal"))
    , redrawFrameFn(resolve<Redraw>(module, "VistrelRedrawFrame"))
    , snapToLinesFn(resolve<Snap>(module, "VistrelSnapToLines"))
    , estimateDimensionsFn(resolve<Estimate>(module, "VistrelEstimateDimensions"))
    , calibrationFitFn(resolve<Fit>(module, "VistrelCalibrationFit"))
    , judgeCalibrationFn(resolve<Judge>(module, "VistrelJudgeCalibration"))
    , frameSerialFn(resolve<Serial>(module, "VistrelGetFrameSerial"))
    , findCornersFn(resolve<FindCorners>(module, "VistrelFindCorners"))
    , setLensFn(resolve<SetLens>(module, "VistrelSetLensDistortion"))
    , getLensFn(resolve<GetLens>(module, "VistrelGetLensDistortion"))
    , estimateLensFn(resolve<GetLens>(module, "VistrelEstimateLensDistortion"))
    , lensStraightnessFn(resolve<Fit>(module, "VistrelGetLensStraightness"))
    , fromPointsFn(resolve<FromPoints>(module, "VistrelCalibrateFromPoints"))
    , pitchToPictureFn(resolve<Map>(module, "VistrelPitchToPicture"))
{ }

template <typename Function> Function EngineFunctions::resolve(void* module, const char* name)
{
    return reinterpret_cast<Function>(dlsym(module, name));
}

int EngineFunctions::seekFrame(long long index) const
{
    return seekFrameFn ? seekFrameFn(engine, index) : -1;
}

long long EngineFunctions::frameIndex() const { return frameIndexFn ? frameIndexFn(engine) : -1; }

long long EngineFunctions::frameTotal() const { return frameTotalFn ? frameTotalFn(engine) : -1; }

int EngineFunctions::redrawFrame() const { return redrawFrameFn ? redrawFrameFn(engine) : -1; }

int EngineFunctions::snapToLines(
    double px, double py, double radiusPx, double* sx, double* sy) const
{
    return snapToLinesFn ? snapToLinesFn(engine, px, py, radiusPx, sx, sy) : -1;
}

int EngineFunctions::estimateDimensions(double* length, double* width) const
{
    return estimateDimensionsFn ? estimateDimensionsFn(engine, length, width) : -1;
}

int EngineFunctions::calibrationFit(double* meanPx) const
{
    return calibrationFitFn ? calibrationFitFn(engine, meanPx) : -1;
}

int EngineFunctions::judgeCalibration(
    double circleRadiusM, double* meanPx, double* cornerPx, double* paintedRadiusM) const
{
    return judgeCalibrationFn
        ? judgeCalibrationFn(engine, circleRadiusM, meanPx, cornerPx, paintedRadiusM)
        : -1;
}

unsigned long long EngineFunctions::frameSerial() const
{
    return frameSerialFn ? frameSerialFn(engine) : 0;
}

int EngineFunctions::findCorners(double corners[8]) const
{
    return findCornersFn ? findCornersFn(engine, corners) : -1;
}

int EngineFunctions::setLens(const CameraLens& lens) const
{
    return setLensFn ? setLensFn(engine, lens.k1, lens.k2, lens.cx, lens.cy) : -1;
}

int EngineFunctions::lens(CameraLens* lens) const
{
    CameraLens read;
    if (!getLensFn || getLensFn(engine, &read.k1, &read.k2, &read.cx, &read.cy) != 0)
        return -1;
    *lens = read;
    return 0;
}

int EngineFunctions::estimateLens(CameraLens* lens) const
{
    CameraLens found;
    if (!estimateLensFn || estimateLensFn(engine, &found.k1, &found.k2, &found.cx, &found.cy) != 0)
        return -1;
    *lens = found;
    return 0;
}

int EngineFunctions::lensStraightness(double* rmsPx) const
{
    return lensStraightnessFn ? lensStraightnessFn(engine, rmsPx) : -1;
}

int EngineFunctions::calibrateFromPoints(
    int count, const double* picture, const double* pitch, double* rmsPx) const
{
    return fromPointsFn ? fromPointsFn(engine, count, picture, pitch, rmsPx) : -1;
}

int EngineFunctions::pitchToPicture(double x, double y, double* px, double* py) const
{
    return pitchToPictureFn ? pitchToPictureFn(engine, x, y, px, py) : -1;
}
