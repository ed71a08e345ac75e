// Playback throughput with the camera-movement watch on against off, on the
// same generated file in the same run: delay factor 0, pitch calibrated with
// the clip's true corners. As in the program, the playback loop runs on its
// own thread and the watch polls from the main thread's event loop, where
// each check measures the calibration fit under the engine's lock.

#include "BenchSupport.h"
#include "EngineFunctions.h"
#include "MovementWatch.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <thread>

namespace {

constexpr int kRuns = 7; // paired runs, watch off then on
constexpr double kTargetLossPercent = 5.0;

struct Run
{
    double seconds = 0.0;
    int checks = 0;
};

// One playback of the whole file; the watch, when given, watches it.
Run play(VistrelInterface* engine, MovementWatch* watch)
{
    QEventLoop loop;
    const int checksBefore = watch ? watch->checkCount() : 0;
    if (watch) {
        watch->restart();
        watch->start();
    }
    const auto start = bench::Clock::now();
    std::thread player([engine, &loop] {
        if (engine->Play() != 0)
            bench::fail("Play failed");
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    player.join();
    const double seconds = bench::secondsSince(start);
    if (watch)
        watch->stop();
    return { seconds, watch ? watch->checkCount() - checksBefore : 0 };
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

    MovementWatch watch(engine);
    std::vector<double> ratios, offFps, onFps;
    int checks = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Run off = play(engine, nullptr);
        const Run on = play(engine, &watch);
        ratios.push_back(off.seconds / on.seconds);
        offFps.push_back(frames / off.seconds);
        onFps.push_back(frames / on.seconds);
        checks = on.checks;
    }
    const double ratio = bench::median(ratios);
    const double lossPercent = (1.0 - ratio) * 100.0;
    std::printf("%5dx%-5d %4d frames  off %7.1f fps  on %7.1f fps  ratio %.3f  loss %5.2f %%"
                "  (%d checks per run, fit %.2f px)  target < %.0f %%: %s\n",
        width, height, frames, bench::median(offFps), bench::median(onFps), ratio, lossPercent,
        checks, fitPx, kTargetLossPercent, lossPercent < kTargetLossPercent ? "met" : "MISSED");
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
