// Player tracking throughput and memory: VistrelTrackVideo on a generated
// 1920x1080 match against a plain cv::VideoCapture decode of the same file
// in the same run, and the resident memory at each quarter of the run,
// which should stay flat apart from the tracks themselves.

#include "BenchSupport.h"
#include "VistrelTracking.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kFrames = 750; // 30 s at 25 fps
constexpr int kRuns = 3;

struct Memory
{
    std::vector<double> residentMb; // at each reported quarter
    int nextQuarter = 1;
};

double residentMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int sample(void* user, long long done, long long total)
{
    auto* memory = static_cast<Memory*>(user);
    if (total > 0 && done * 4 >= total * memory->nextQuarter) {
        memory->residentMb.push_back(residentMb());
        ++memory->nextQuarter;
    }
    return 0;
}

} // namespace

int main()
{
    const bench::ScratchDir dir;
    testclips::ClipSettings plan = bench::markedPitch(1920, 1080, kFrames);
    plan.players = 0;
    plan.match = true;
    plan.tilt = 0.5;
    const bool h264 = testclips::h264Available();
    const bench::Clip clip = bench::writeClip(dir, plan, h264 ? "match.mp4" : "match.avi");
    VistrelInterface* engine = bench::engineWith(clip.path);
    bench::calibrate(*engine, clip);
    void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    const auto track = reinterpret_cast<decltype(&VistrelTrackVideo)>(
        library ? dlsym(library, "VistrelTrackVideo") : nullptr);
    if (!track)
        bench::fail("the engine has no VistrelTrackVideo");
    const std::string csv = (dir.path / "tracks.csv").string();

    std::vector<double> ratios, decodeFps, trackFps, decodeCpuMs, trackCpuMs;
    Memory memory;
    for (int run = 0; run < kRuns; ++run) {
        int frames = 0;
        const auto decode = bench::timed([&] { frames = bench::decodeAll(clip.path); });
        memory = Memory {};
        int result = -1;
        const auto tracking = bench::timed([&] { result = track(engine, csv.c_str(), sample, &memory); });
        if (result != VISTREL_TRACK_DONE)
            bench::fail("tracking failed with " + std::to_string(result));
        ratios.push_back(decode.wall / tracking.wall);
        decodeFps.push_back(frames / decode.wall);
        trackFps.push_back(frames / tracking.wall);
        decodeCpuMs.push_back(decode.processor * 1e3 / frames);
        trackCpuMs.push_back(tracking.processor * 1e3 / frames);
    }
    std::printf("%s 1920x1080 %d frames  decode %.1f fps  tracking %.1f fps  ratio %.3f "
                "(at least 0.5)\n",
        h264 ? "H.264" : "MJPEG", kFrames, bench::median(decodeFps), bench::median(trackFps),
        bench::median(ratios));
    // Processor time per frame (all threads): what a loaded machine shares.
    std::printf("processor time per frame: decode %.1f ms, tracking %.1f ms\n",
        bench::median(decodeCpuMs), bench::median(trackCpuMs));
    std::printf("resident memory at each quarter of the last run:");
    for (const double mb : memory.residentMb)
        std::printf(" %.0f MB", mb);
    std::printf("\n");
    return 0;
}
