// One exportFrame at 1920 x 1080 against one memcpy of the same bytes
// between two buffers that exist already, measured in the same run.

#include "BenchSupport.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kBatches = 15;
constexpr int kCallsPerBatch = 40;
constexpr double kTargetFactor = 2.0;

// Median over batches of the mean time of one call, in microseconds.
template <typename Call> double perCallUs(Call call)
{
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const auto start = bench::Clock::now();
        for (int i = 0; i < kCallsPerBatch; ++i)
            call();
        batches.push_back(bench::secondsSince(start) * 1e6 / kCallsPerBatch);
    }
    return bench::median(batches);
}

} // namespace

int main()
{
    const bench::ScratchDir dir;
    const bench::Clip clip = bench::makeClip(dir, 1920, 1080, 3, ".avi");
    VistrelInterface* engine = bench::newEngine();
    if (engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    engine->setDelayFactor(0.0f);
    bench::calibrate(*engine, clip);
    if (engine->Play() != 0)
        bench::fail("Play failed");

    const std::size_t bytes = std::size_t(1920) * 1080 * 3;
    std::vector<unsigned char> source(bytes, 1), target(bytes, 2);
    volatile unsigned char sink = 0;
    const double memcpyUs = perCallUs([&] {
        std::memcpy(target.data(), source.data(), bytes);
        sink = sink + target[bytes / 2];
    });
    // A caller that drops each picture at once, and one that keeps it until
    // the next arrives, as a screen does.
    const double dropUs = perCallUs([&] { sink = sink + engine->exportFrame()[bytes / 2]; });
    std::shared_ptr<unsigned char[]> held;
    const double keepUs = perCallUs([&] {
        held = engine->exportFrame();
        sink = sink + held[bytes / 2];
    });

    std::printf("exportFrame at 1920x1080 (%zu bytes), median of %d batches of %d calls\n", bytes,
        kBatches, kCallsPerBatch);
    std::printf("  memcpy                        %8.1f us\n", memcpyUs);
    std::printf(
        "  exportFrame, buffer dropped   %8.1f us  = %.2f x memcpy\n", dropUs, dropUs / memcpyUs);
    std::printf(
        "  exportFrame, buffer kept      %8.1f us  = %.2f x memcpy\n", keepUs, keepUs / memcpyUs);
    const double worst = std::max(dropUs, keepUs) / memcpyUs;
    std::printf("  target <= %.1f x memcpy: %s\n", kTargetFactor,
        worst <= kTargetFactor ? "met" : "MISSED");
    return 0;
}
