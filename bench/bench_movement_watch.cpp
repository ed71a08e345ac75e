// Playback throughput with the camera-movement watch on against off, on the
// same generated file in the same run: delay factor 0, pitch calibrated with
// the clip's true corners. As in the program, the playback loop runs on its
// own thread and the watch polls from the main thread's event loop, where
// each check measures the calibration fit under the engine's lock.
// The wall-clock ratios swing by several per cent on a shared machine; the
// share of each run that the checks held the lock is the steadier figure.

#include "BenchSupport.h"
#include "engine/EngineFunctions.h"
#include "calibration/MovementWatch.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <thread>

namespace {

constexpr int kRuns = 9; // paired runs, watch off and on
constexpr double kTargetLossPercent = 5.0;
constexpr int kFitSamples = 21;

struct Run
{
    bench::Timing timing;
    int checks = 0;
};

// The median time of one calibration fit on the current frame, in seconds:
// the longest a check can hold up the playback loop.
double fitSeconds(const EngineFunctions& functions)
{
    std::vector<double> times;
    for (int i = 0; i < kFitSamples; ++i) {
        double meanPx = 0.0;
        const auto start = bench::Clock::now();
        functions.calibrationFit(&meanPx);
        times.push_back(bench::secondsSince(start));
    }
    return bench::median(times);
}

// One playback of the whole file; the watch, when given, watches it.
Run play(VistrelInterface* engine, MovementWatch* watch)
{
    QEventLoop loop;
    const int checksBefore = watch ? watch->checkCount() : 0;
    if (watch) {
        watch->restart();
        watch->start();
    }
    const bench::Timing timing = bench::timed([engine, &loop] {
        std::thread player([engine, &loop] {
            if (engine->Play() != 0)
                bench::fail("Play failed");
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        player.join();
    });
    if (watch)
        watch->stop();
    return { timing, watch ? watch->checkCount() - checksBefore : 0 };
}

void measure(const bench::ScratchDir& dir, int width, int height, int frames)
{
    const bench::Clip clip = bench::makeClip(dir, width, height, frames, ".avi");
    VistrelInterface* engine = bench::newEngine();
    EngineFunctions::registerEngine(engine, dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL));
    if (engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    engine->setDelayFactor(0.0f);
    bench::calibrate(*engine, clip);
    double fitPx = 0.0;
    if (EngineFunctions::of(engine).calibrationFit(&fitPx) != 0)
        bench::fail("the calibration fit finds no markings on " + clip.path);

    const double checkSeconds = fitSeconds(EngineFunctions::of(engine));

    MovementWatch watch(engine);
    std::vector<double> wallRatios, processorRatios, offFps, onFps, checkShares;
    for (int run = 0; run < kRuns; ++run) {
        // Alternating which goes first cancels what the order favours.
        Run off, on;
        if (run % 2 == 0) {
            off = play(engine, nullptr);
            on = play(engine, &watch);
        } else {
            on = play(engine, &watch);
            off = play(engine, nullptr);
        }
        wallRatios.push_back(off.timing.wall / on.timing.wall);
        processorRatios.push_back(off.timing.processor / on.timing.processor);
        offFps.push_back(frames / off.timing.wall);
        onFps.push_back(frames / on.timing.wall);
        checkShares.push_back(on.checks * checkSeconds / on.timing.wall);
    }
    // The share of a run that checks held the lock bounds the loss from
    // above and hardly depends on the machine's other load; the ratios
    // show it in the throughput itself.
    const double lossPercent = bench::median(checkShares) * 100.0;
    std::printf("%5dx%-5d %4d frames  off %6.1f fps  on %6.1f fps  ratio %.3f (processor %.3f)"
                "  one fit %.1f ms, held %.2f %% of a run  target < %.0f %%: %s\n",
        width, height, frames, bench::median(offFps), bench::median(onFps),
        bench::median(wallRatios), bench::median(processorRatios), checkSeconds * 1e3, lossPercent,
        kTargetLossPercent, lossPercent < kTargetLossPercent ? "met" : "MISSED");
    std::fflush(stdout);
    std::filesystem::remove(clip.path);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("Playback throughput, movement watch off / on (median of %d paired runs)\n", kRuns);
    const bench::ScratchDir dir;
    measure(dir, 1280, 720, 300);
    measure(dir, 1920, 1080, 200);
    return 0;
}
