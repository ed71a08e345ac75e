// The calibration assist on a 1920 x 1080 frame: snapping a click, estimating
// the pitch's size and measuring the fit, each through its C function on the
// current frame, against the decode of one frame in the same run.

#include "BenchSupport.h"
#include "VistrelCalibration.h"
#include "VistrelMeasure.h"

#include <cstdio>

namespace {

constexpr int kWidthPx = 1920;
constexpr int kHeightPx = 1080;
constexpr int kDecodeFrames = 30;
constexpr int kBatches = 7;
constexpr int kCallsPerBatch = 5;
constexpr double kTargetMs = 100.0;

template <typename Function> Function lookUp(const char* name)
{
    void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    const auto function = library ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
    if (!function)
        bench::fail(std::string("no ") + name + " in the engine library");
    return function;
}

// Median over batches of the mean time of one call, in milliseconds; the
// call must succeed.
template <typename Call> double perCallMs(const char* what, Call call)
{
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const auto start = bench::Clock::now();
        for (int i = 0; i < kCallsPerBatch; ++i) {
            if (call() != 0)
                bench::fail(std::string(what) + " failed");
        }
        batches.push_back(bench::secondsSince(start) * 1e3 / kCallsPerBatch);
    }
    return bench::median(batches);
}

} // namespace

int main()
{
    const auto snap = lookUp<decltype(&VistrelSnapToLines)>("VistrelSnapToLines");
    const auto estimate = lookUp<decltype(&VistrelEstimateDimensions)>("VistrelEstimateDimensions");
    const auto fit = lookUp<decltype(&VistrelCalibrationFit)>("VistrelCalibrationFit");
    const bench::ScratchDir dir;
    const testclips::ClipSettings clipSettings = bench::markedPitch(kWidthPx, kHeightPx, kDecodeFrames);
    const bench::Clip clip = bench::writeClip(dir, clipSettings, "marked.mkv");
    const std::string& path = clip.path;
    const testclips::ClipTruth& truth = clip.truth;

    VistrelInterface* engine = bench::engineWith(path);
    engine->setFieldWidth(clipSettings.fieldWidth);
    engine->setFieldLength(clipSettings.fieldLength);
    engine->clearFieldPoints();
    for (int i = 0; i < 4; ++i)
        engine->addFieldPoint(i / 2, truth.corners[i].x, truth.corners[i].y);

    int frames = 0;
    const double decodeMs = bench::decodeSeconds(path, &frames) * 1e3 / std::max(frames, 1);
    const cv::Point corner = truth.corners[0];
    double x = 0, y = 0, length = 0, width = 0, meanPx = 0;
    const struct
    {
        const char* name;
        double ms;
    } results[] = {
        { "VistrelSnapToLines, radius 8 px",
            perCallMs(
                "snapping", [&] { return snap(engine, corner.x + 4, corner.y + 3, 8, &x, &y); }) },
        { "VistrelSnapToLines, radius 40 px",
            perCallMs(
                "snapping", [&] { return snap(engine, corner.x + 4, corner.y + 3, 40, &x, &y); }) },
        { "VistrelEstimateDimensions",
            perCallMs("the estimate", [&] { return estimate(engine, &length, &width); }) },
        { "VistrelCalibrationFit", perCallMs("the fit", [&] { return fit(engine, &meanPx); }) },
    };

    std::printf("Calibration assist at %dx%d (FFV1), median of %d batches of %d calls\n", kWidthPx,
        kHeightPx, kBatches, kCallsPerBatch);
    std::printf("  decoding one frame                 %8.2f ms\n", decodeMs);
    double worst = 0.0;
    for (const auto& r : results) {
        std::printf("  %-34s %8.2f ms = %5.2f x one decode\n", r.name, r.ms, r.ms / decodeMs);
        worst = std::max(worst, r.ms);
    }
    std::printf("  estimate %.2f x %.2f m (true %.0f x %.0f), fit %.2f px\n", length, width,
        clipSettings.fieldLength, clipSettings.fieldWidth, meanPx);
    std::printf(
        "  target < %.0f ms per call: %s\n", kTargetMs, worst < kTargetMs ? "met" : "MISSED");
    return 0;
}
