// Resident memory of a host that plays, draws the overlay and fetches the
// picture and the line lists like a screen: after 10,000 passes of the loop
// against after 100.

#include "BenchSupport.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

constexpr int kClipFrames = 100; // one Play of the clip = 100 passes
constexpr int kPlays = 100; // 10,000 passes in all
constexpr double kTargetGrowthPercent = 5.0;

} // namespace

int main()
{
    const bench::ScratchDir dir;
    const bench::Clip clip = bench::makeClip(dir, 1280, 720, kClipFrames, ".avi");
    VistrelInterface* engine = bench::newEngine();
    if (engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    engine->setDelayFactor(0.0f);
    bench::calibrate(*engine, clip);

    std::atomic<bool> done { false };
    std::thread screen([&] {
        std::shared_ptr<unsigned char[]> picture;
        while (!done) {
            picture = engine->exportFrame();
            (void)engine->getFieldLines();
            (void)engine->getCentreLines();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    std::printf("Resident memory, 1280x720 MJPEG, overlay drawn, screen thread fetching\n");
    long after100 = 0;
    for (int play = 1; play <= kPlays; ++play) {
        if (engine->Play() != 0)
            bench::fail("Play failed");
        const long kb = bench::residentKb();
        if (play == 1)
            after100 = kb;
        if (play == 1 || play % 10 == 0)
            std::printf("  after %6d passes: %7ld kB\n", play * kClipFrames, kb);
    }
    done = true;
    screen.join();
    const long after10000 = bench::residentKb();
    const double growth = 100.0 * static_cast<double>(after10000 - after100) / after100;
    std::printf("  growth from 100 to 10,000 passes: %+.2f %% (target within %.0f %%: %s)\n",
        growth, kTargetGrowthPercent, std::abs(growth) <= kTargetGrowthPercent ? "met" : "MISSED");
    return 0;
}
