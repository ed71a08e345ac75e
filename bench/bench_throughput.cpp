// Playback throughput of the engine against a plain cv::VideoCapture decode
// loop of the same file, in the same run: delay factor 0, pitch calibrated,
// so every pass reads, copies, draws the whole overlay and renews the
// export picture. Motion JPEG, FFV1, H.264 and HEVC (the last made from the
// lossless clip with the ffmpeg program).

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

constexpr int kRuns = 7; // paired decode and engine runs
constexpr double kTargetRatio = 0.95; // at 1920x1080 and above

struct Case
{
    int width;
    int height;
    int frames;
};

std::string cpuModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

// The clip of this case in the codec named by `codec` (".avi", ".mkv",
// ".mp4" for H.264, "hevc").
bench::Clip makeCodecClip(const bench::ScratchDir& dir, const Case& c, const std::string& codec)
{
    if (codec != "hevc")
        return bench::makeClip(dir, c.width, c.height, c.frames, codec);
    bench::Clip clip = bench::makeClip(dir, c.width, c.height, c.frames, ".mkv");
    const std::string hevc = clip.path.substr(0, clip.path.size() - 4) + "_hevc.mp4";
    const std::string command = "ffmpeg -y -loglevel error -i '" + clip.path
        + "' -c:v libx265 -preset fast -x265-params log-level=error -pix_fmt yuv420p '" + hevc
        + "'";
    if (std::system(command.c_str()) != 0)
        bench::fail("cannot encode HEVC: " + command);
    std::filesystem::remove(clip.path);
    clip.path = hevc;
    return clip;
}

const char* codecLabel(const std::string& path)
{
    if (path.ends_with("_hevc.mp4"))
        return "HEVC";
    return path.ends_with(".mp4") ? "H.264" : bench::codecName(path);
}

double measure(const bench::ScratchDir& dir, const Case& c, const std::string& codec)
{
    const bench::Clip clip = makeCodecClip(dir, c, codec);
    VistrelInterface* engine = bench::newEngine();
    if (engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    engine->setDelayFactor(0.0f);
    const std::size_t lines = bench::calibrate(*engine, clip);

    // Each run decodes, then plays, back to back, so that both see about
    // the same load of the machine; the median of the runs' ratios counts.
    std::vector<double> wallRatios, processorRatios, decodeFps, engineFps;
    int frames = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto decode = bench::timed([&] { frames = bench::decodeAll(clip.path); });
        const auto play = bench::timed([&] {
            if (engine->Play() != 0)
                bench::fail("Play failed");
        });
        wallRatios.push_back(decode.wall / play.wall);
        processorRatios.push_back(decode.processor / play.processor);
        decodeFps.push_back(frames / decode.wall);
        engineFps.push_back(frames / play.wall);
    }
    const double ratio = bench::median(wallRatios);
    std::printf("%-6s %5dx%-5d %4d frames  decode %7.1f fps  engine %7.1f fps  ratio %.3f"
                "  (processor time %.3f; %zu overlay lines)\n",
        codecLabel(clip.path), c.width, c.height, frames, bench::median(decodeFps),
        bench::median(engineFps), ratio, bench::median(processorRatios), lines);
    std::fflush(stdout);
    std::filesystem::remove(clip.path);
    return ratio;
}

} // namespace

int main()
{
    std::printf("Playback throughput, engine / decode only (median of %d paired runs)\n", kRuns);
    std::printf("machine: %s, %u hardware threads\n", cpuModel().c_str(),
        std::thread::hardware_concurrency());
    const bench::ScratchDir dir;
    // Long enough that opening the file and rewinding at the end, which
    // both sides pay once a run, weigh under 1 % of the run.
    const Case cases[] = { { 1280, 720, 600 }, { 1920, 1080, 300 }, { 3840, 2160, 100 } };
    for (const char* codec : { ".avi", ".mkv", ".mp4", "hevc" }) {
        for (const Case& c : cases) {
            const double ratio = measure(dir, c, codec);
            if (c.width >= 1920)
                std::printf("       %dx%d target >= %.2f: %s\n", c.width, c.height, kTargetRatio,
                    ratio >= kTargetRatio ? "met" : "MISSED");
        }
    }
    return 0;
}
