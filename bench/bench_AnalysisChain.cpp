// The whole analysis chain (filter, colour classification with threshold,
// colour segmentation, motion analysis, probability threshold, blob
// detection) during playback of a 1280 x 720 clip, against the same
// playback with the stages off and a plain decode loop of the same file, in
// the same run. OpenCV runs on one thread.

#include "BenchSupport.h"

#include <opencv2/core/utility.hpp>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kRuns = 3; // the best of each counts
constexpr int kFrames = 100;
constexpr double kRealTimeFps = 25.0;

struct PlayTime
{
    double wallSeconds = 1e9;
    double cpuSeconds = 1e9; // of the thread running Play, decoder threads excluded
};

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Keeps the best wall and processor times over the runs: on a busy machine
// the processor time of the loop's thread is the steadier figure.
void play(VistrelInterface& engine, PlayTime& best)
{
    const double cpuStart = threadCpuSeconds();
    const auto start = bench::Clock::now();
    if (engine.Play() != 0)
        bench::fail("Play failed");
    best.wallSeconds = std::min(best.wallSeconds, bench::secondsSince(start));
    best.cpuSeconds = std::min(best.cpuSeconds, threadCpuSeconds() - cpuStart);
}

void switchChain(VistrelInterface& engine, bool on)
{
    engine.setProcessingEnabled(on);
    engine.setFilterEnabled(on);
    engine.setColourClassificationEnabled(on);
    engine.setColourThresholdEnabled(on);
    engine.setColourThreshold(50);
    engine.setColourSegmentationEnabled(on);
    engine.setMotionAnalysisEnabled(on);
    engine.setProbabilityThresholdEnabled(on);
    engine.setBlobDetectionEnabled(on);
    engine.setBlobWindowWidth(31);
    engine.setBlobWindowHeight(31);
    engine.setBlobMaxEmptyPercent(50.f);
    engine.setBlobMinFillPercent(30.f);
}

void measure(const bench::ScratchDir& dir, const std::string& extension)
{
    const bench::Clip clip = bench::makeClip(dir, 1280, 720, kFrames, extension);
    VistrelInterface* engine = bench::newEngine();
    if (engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    engine->setDelayFactor(0.0f);

    double decode = 1e9;
    PlayTime stagesOff, chain;
    int frames = 0;
    for (int run = 0; run < kRuns; ++run) {
        decode = std::min(decode, bench::timed([&] { frames = bench::decodeAll(clip.path); }).wall);
        switchChain(*engine, false);
        play(*engine, stagesOff);
        switchChain(*engine, true);
        play(*engine, chain);
    }
    const double chainCpuMs = (chain.cpuSeconds - stagesOff.cpuSeconds) * 1e3 / frames;
    const double chainFps = frames / chain.wallSeconds;
    std::printf("%-6s 1280x720 %d frames: decode %.1f fps, playback with stages off %.1f fps, "
                "with the whole chain %.1f fps (real time %.0f fps: %s); the chain's own "
                "processor time %.1f ms/frame (%.0f fps on one core)\n",
        bench::codecName(clip.path), frames, frames / decode, frames / stagesOff.wallSeconds,
        chainFps, kRealTimeFps, chainFps >= kRealTimeFps ? "met" : "MISSED", chainCpuMs,
        1e3 / chainCpuMs);
    std::fflush(stdout);
    std::filesystem::remove(clip.path);
}

} // namespace

int main()
{
    cv::setNumThreads(1);
    std::printf(
        "Analysis chain during playback, OpenCV on one thread (best of %d runs each)\n", kRuns);
    const bench::ScratchDir dir;
    for (const char* extension : { ".avi", ".mkv" })
        measure(dir, extension);
    return 0;
}
