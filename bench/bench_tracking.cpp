// Player tracking throughput and memory: VistrelTrackVideo against a plain
// cv::VideoCapture decode of the same file in the same run, on a generated
// 1920x1080 match and on the real drone footage scaled to 1920x1080, and
// the resident memory at each quarter of the run, which should stay flat
// apart from the tracks themselves.

#include "BenchSupport.h"
#include "VistrelTracking.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kFrames = 750; // 30 s at 25 fps
constexpr int kRuns = 3;
constexpr int kRealFrames = 600; // 10 s at 60 fps

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

using Track = decltype(&VistrelTrackVideo);

Track trackFunction()
{
    void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    const auto track = reinterpret_cast<Track>(library ? dlsym(library, "VistrelTrackVideo") : nullptr);
    if (!track)
        bench::fail("the engine has no VistrelTrackVideo");
    return track;
}

// Decodes and tracks the engine's video kRuns times, back to back, and
// prints the median figures under `label`.
void measure(const char* label, VistrelInterface& engine, const std::string& video, const std::string& csv)
{
    const Track track = trackFunction();
    std::vector<double> ratios, decodeFps, trackFps, decodeCpuMs, trackCpuMs;
    Memory memory;
    int frames = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto decode = bench::timed([&] { frames = bench::decodeAll(video); });
        memory = Memory {};
        int result = -1;
        const auto tracking = bench::timed([&] { result = track(&engine, csv.c_str(), sample, &memory); });
        if (result != VISTREL_TRACK_DONE)
            bench::fail("tracking failed with " + std::to_string(result));
        ratios.push_back(decode.wall / tracking.wall);
        decodeFps.push_back(frames / decode.wall);
        trackFps.push_back(frames / tracking.wall);
        decodeCpuMs.push_back(decode.processor * 1e3 / frames);
        trackCpuMs.push_back(tracking.processor * 1e3 / frames);
    }
    std::printf("%s, %d frames: decode %.1f fps, tracking %.1f fps, ratio %.3f (at least 0.5)\n", label,
        frames, bench::median(decodeFps), bench::median(trackFps), bench::median(ratios));
    // Processor time per frame (all threads): what a loaded machine shares.
    std::printf("  processor time per frame: decode %.1f ms, tracking %.1f ms\n", bench::median(decodeCpuMs),
        bench::median(trackCpuMs));
    std::printf("  resident memory at each quarter of the last run:");
    for (const double mb : memory.residentMb)
        std::printf(" %.0f MB", mb);
    std::printf("\n");
    std::fflush(stdout);
}

// The real drone footage scaled to 1920x1080 with H.264 (its first
// kRealFrames frames), calibrated with the corners read off its first
// frame. Real grass, players and coding noise, where the generated clip's
// flat colours decode unusually fast.
void measureDroneFootage(const bench::ScratchDir& dir)
{
    const std::filesystem::path media
        = std::filesystem::path(TARVOLA_MEDIA_DIR) / "soccer_drone_topdown_1260x708_60fps.mp4";
    if (!std::filesystem::exists(media)) {
        std::printf("drone footage: absent, skipped\n");
        return;
    }
    const std::string video = (dir.path / "drone1080.mp4").string();
    const std::string command = "ffmpeg -y -loglevel error -i '" + media.string() + "' -frames:v "
        + std::to_string(kRealFrames) + " -vf scale=1920:1080 -c:v libx264 -pix_fmt yuv420p '" + video + "'";
    if (std::system(command.c_str()) != 0)
        bench::fail("cannot scale the drone footage: " + command);
    VistrelInterface* engine = bench::engineWith(video);
    const double sx = 1920.0 / 1260.0, sy = 1080.0 / 708.0;
    const cv::Point2d corners[] = { { 152, 40 }, { 1125, 37 }, { 154, 660 }, { 1118, 672 } };
    engine->setFieldWidth(105.0f);
    engine->setFieldLength(68.0f);
    for (int i = 0; i < 4; ++i)
        engine->addFieldPoint(i < 2 ? 0 : 1, int(std::lround(corners[i].x * sx)), int(std::lround(corners[i].y * sy)));
    measure("drone footage 1920x1080 H.264", *engine, video, (dir.path / "drone.csv").string());
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
    const std::string label = std::string("generated match 1920x1080 ") + (h264 ? "H.264" : "MJPEG");
    measure(label.c_str(), *engine, clip.path, (dir.path / "tracks.csv").string());
    measureDroneFootage(dir);
    return 0;
}
