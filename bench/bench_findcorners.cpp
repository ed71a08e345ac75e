// Automatic registration on a 1920 x 1080 frame: VistrelFindCorners on the
// current frame through its C function, against the decode of one frame of
// the same file in the same run.

#include "BenchSupport.h"
#include "VistrelMeasure.h"

#include <cstdio>

namespace {

constexpr int kWidthPx = 1920;
constexpr int kHeightPx = 1080;
constexpr int kDecodeFrames = 30;
constexpr int kCalls = 15;
constexpr double kTargetMs = 300.0;

} // namespace

int main()
{
    void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    const auto findCorners = library
        ? reinterpret_cast<decltype(&VistrelFindCorners)>(dlsym(library, "VistrelFindCorners"))
        : nullptr;
    if (!findCorners)
        bench::fail("no VistrelFindCorners in the engine library");
    const bench::ScratchDir dir;
    testclips::ClipSettings clipSettings = bench::markedPitch(kWidthPx, kHeightPx, kDecodeFrames);
    clipSettings.linePlayers = 8;
    clipSettings.pan = 0.2;
    const bench::Clip clip = bench::writeClip(dir, clipSettings, "pitch.mkv");
    const std::string& path = clip.path;
    const testclips::ClipTruth& truth = clip.truth;

    VistrelInterface* engine = bench::engineWith(path);
    int frames = 0;
    const double decodeMs = bench::decodeSeconds(path, &frames) * 1e3 / std::max(frames, 1);
    double corners[8] = {};
    std::vector<double> times;
    for (int i = 0; i < kCalls; ++i) {
        const auto start = bench::Clock::now();
        if (findCorners(engine, corners) != 0)
            bench::fail("no corners found");
        times.push_back(bench::secondsSince(start) * 1e3);
    }
    const double ms = bench::median(times);
    double worstPx = 0.0;
    for (int i = 0; i < 4; ++i)
        worstPx = std::max(worstPx,
            cv::norm(
                cv::Point2d(corners[2 * i], corners[2 * i + 1]) - cv::Point2d(truth.corners[i])));

    std::printf("Automatic registration at %dx%d (FFV1), median of %d calls\n", kWidthPx, kHeightPx,
        kCalls);
    std::printf("  decoding one frame        %8.2f ms\n", decodeMs);
    std::printf("  VistrelFindCorners        %8.2f ms = %5.2f x one decode\n", ms, ms / decodeMs);
    std::printf("  largest corner error      %8.2f px\n", worstPx);
    std::printf("  target < %.0f ms per call: %s\n", kTargetMs, ms < kTargetMs ? "met" : "MISSED");
    return 0;
}
