// Playback throughput of the engine against a plain cv::VideoCapture decode
// loop of the same file, in the same run: delay factor 0, pitch calibrated,
// so every pass reads, copies, draws the whole overlay and renews the
// export picture.

#include "BenchSupport.h"

#include <cstdio>
#include <fstream>
#include <thread>

namespace {

constexpr int kRuns = 5; // alternating decode and engine runs; the best of each counts
constexpr double kTargetRatio1080p = 0.85;

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

double measure(const bench::ScratchDir& dir, const Case& c, const std::string& extension)
{
    const bench::Clip clip = bench::makeClip(dir, c.width, c.height, c.frames, extension);
    VistrelInterface* engine = bench::newEngine();
    if (engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    engine->setDelayFactor(0.0f);
    const std::size_t lines = bench::calibrate(*engine, clip);

    bench::Timing decode { 1e9, 1e9 }, play { 1e9, 1e9 };
    int frames = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto d = bench::timed([&] { frames = bench::decodeAll(clip.path); });
        const auto p = bench::timed([&] {
            if (engine->Play() != 0)
                bench::fail("Play failed");
        });
        decode = { std::min(decode.wall, d.wall), std::min(decode.processor, d.processor) };
        play = { std::min(play.wall, p.wall), std::min(play.processor, p.processor) };
    }
    const double ratio = decode.wall / play.wall;
    std::printf("%-6s %5dx%-5d %4d frames  decode %7.1f fps  engine %7.1f fps  ratio %.3f"
                "  (processor time %.3f; %zu overlay lines)\n",
        bench::codecName(clip.path), c.width, c.height, frames, frames / decode.wall,
        frames / play.wall, ratio, decode.processor / play.processor, lines);
    std::fflush(stdout);
    std::filesystem::remove(clip.path);
    return ratio;
}

} // namespace

int main()
{
    std::printf("Playback throughput, engine / decode only (best of %d runs each)\n", kRuns);
    std::printf("machine: %s, %u hardware threads\n", cpuModel().c_str(),
        std::thread::hardware_concurrency());
    const bench::ScratchDir dir;
    const Case cases[] = { { 1280, 720, 120 }, { 1920, 1080, 90 }, { 3840, 2160, 30 } };
    for (const char* extension : { ".avi", ".mkv" }) {
        for (const Case& c : cases) {
            const double ratio = measure(dir, c, extension);
            if (c.width == 1920)
                std::printf("       1920x1080 target >= %.2f: %s\n", kTargetRatio1080p,
                    ratio >= kTargetRatio1080p ? "met" : "MISSED");
        }
    }
    return 0;
}
