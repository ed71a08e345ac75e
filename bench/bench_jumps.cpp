// Jumps and frame steps on a long-GOP file, against plain decoding of the
// same file in the same run: a 100 ms jump of the paused loop against
// decoding the frames it passes plus one pass, and one frame step forward
// and back (VistrelSeekFrame with no loop running) in absolute time, back
// both inside the cache of recently decoded frames and past it.

#include "BenchSupport.h"
#include "VistrelFrames.h"

#include <cstdio>
#include <functional>
#include <future>
#include <thread>

namespace {

constexpr const char* kClipName = "soccer_fixedcam_lefthalf_3072x1728_hevc.mp4";
constexpr int kJumpStepMs = 100;
constexpr int kJumps = 40;
constexpr int kSteps = 80;
constexpr int kBackSteps = 5;
constexpr int kFarBackSteps = 3;
constexpr double kJumpTargetRatio = 1.5;
constexpr double kStepTargetMs = 60.0;
constexpr double kMsPerSecond = 1000.0;

template <typename Function> Function* symbol(const char* name)
{
    static void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    auto* found = library ? reinterpret_cast<Function*>(dlsym(library, name)) : nullptr;
    if (!found)
        bench::fail(std::string("the engine library has no ") + name);
    return found;
}

// Milliseconds one frame takes to decode (read and convert), and to seek to
// a frame and read it as the engine did before it read forward, from a
// plain capture of the same file.
struct DecodeCost
{
    double frameMs = 0.0;
    double seekMs = 0.0;
};

DecodeCost plainDecodeCost(const std::string& path, int framesToSkip)
{
    cv::VideoCapture capture(path, cv::CAP_FFMPEG);
    cv::Mat frame;
    std::vector<double> frameMs;
    for (int i = 0; i < kJumps * framesToSkip; ++i) {
        const auto start = bench::Clock::now();
        if (!capture.read(frame))
            break;
        frameMs.push_back(bench::secondsSince(start) * kMsPerSecond);
    }
    std::vector<double> seekMs;
    for (int i = 1; i <= kJumps / 4; ++i) {
        const auto start = bench::Clock::now();
        capture.set(cv::CAP_PROP_POS_FRAMES, i * 4 * framesToSkip);
        capture.read(frame);
        seekMs.push_back(bench::secondsSince(start) * kMsPerSecond);
    }
    if (frameMs.empty() || seekMs.empty())
        bench::fail("cannot decode " + path);
    return { bench::median(frameMs), bench::median(seekMs) };
}

// Median milliseconds of a jump forward by the paused loop: from the
// request until the pass that served it has drawn the new frame.
double jumpMs(VistrelInterface& engine)
{
    engine.setJumpStep(kJumpStepMs);
    engine.setPaused(true);
    auto play = std::async(std::launch::async, [&engine] { return engine.Play(); });
    (void)engine.hasFrame();
    std::vector<double> samples;
    for (int i = 0; i < kJumps; ++i) {
        const auto start = bench::Clock::now();
        engine.setJumpForward(true);
        while (engine.isJumpForwardPending())
            std::this_thread::yield();
        // Waits for the mutex, that is for the end of the pass.
        (void)engine.hasFrame();
        samples.push_back(bench::secondsSince(start) * kMsPerSecond);
    }
    engine.StopPlayback();
    play.get();
    return bench::median(samples);
}

double medianMs(int count, const std::function<void(int)>& work)
{
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const auto start = bench::Clock::now();
        work(i);
        samples.push_back(bench::secondsSince(start) * kMsPerSecond);
    }
    return bench::median(samples);
}

} // namespace

int main()
{
    const std::filesystem::path clip = std::filesystem::path(TARVOLA_MEDIA_DIR) / kClipName;
    if (!std::filesystem::exists(clip)) {
        std::printf("bench_jumps: %s is not there; skipped\n", clip.c_str());
        return 0;
    }
    const bench::ScratchDir dir;
    const auto seek = symbol<int(VistrelInterface*, long long)>("VistrelSeekFrame");
    const auto redraw = symbol<int(VistrelInterface*)>("VistrelRedrawFrame");
    VistrelInterface* engine = bench::newEngine();
    if (engine->LoadVideo(clip.string()) != 0)
        bench::fail("cannot open " + clip.string());
    const double fps = engine->getFps();
    const int framesPerJump = static_cast<int>(kJumpStepMs * fps / kMsPerSecond);

    std::printf("Jumps and steps on %s (%dx%d, %.0f fps, one keyframe)\n", kClipName,
        engine->getFrameWidth(), engine->getFrameHeight(), fps);
    const DecodeCost decode = plainDecodeCost(clip.string(), framesPerJump);
    if (seek(engine, 0) != 0)
        bench::fail("VistrelSeekFrame(0) failed");
    const double passMs = medianMs(kJumps, [&](int) { redraw(engine); });
    const double jump = jumpMs(*engine);
    const double reference = framesPerJump * decode.frameMs + passMs;
    std::printf(
        "decode one frame %.1f ms, one pass without decoding %.1f ms, seek and read %.1f ms\n",
        decode.frameMs, passMs, decode.seekMs);
    std::printf("jump of %d ms (%d frames) %.1f ms = %.2f x (%d frames decoded + one pass); "
                "target <= %.1f: %s\n",
        kJumpStepMs, framesPerJump, jump, jump / reference, framesPerJump, kJumpTargetRatio,
        jump / reference <= kJumpTargetRatio ? "met" : "MISSED");

    long long at = 0;
    seek(engine, at);
    const double step = medianMs(kSteps, [&](int) { seek(engine, ++at); });
    std::printf("step one frame forward %.1f ms; target < %.0f ms: %s\n", step, kStepTargetMs,
        step < kStepTargetMs ? "met" : "MISSED");
    const double back = medianMs(kBackSteps, [&](int) { seek(engine, --at); });
    std::printf("step one frame back inside the cache, at frame %lld: %.1f ms\n", at, back);
    // Each time to a frame just further back than the cache holds.
    const auto cacheBytes = symbol<long long(VistrelInterface*)>("VistrelGetFrameCacheBytes");
    const long long frameBytes = 3LL * engine->getFrameWidth() * engine->getFrameHeight();
    const long long cacheFrames = cacheBytes(engine) / frameBytes;
    const double farBack = medianMs(kFarBackSteps, [&](int) {
        at = std::max(0LL, at - cacheFrames - 1);
        seek(engine, at);
    });
    std::printf("step back past the cache (%lld frames), at frame %lld: %.1f ms (decodes from "
                "the keyframe before)\n",
        cacheFrames, at, farBack);
    const double backAfter = medianMs(kBackSteps, [&](int) { seek(engine, --at); });
    std::printf("step one frame back after that, at frame %lld: %.1f ms\n", at, backAfter);
    return 0;
}
