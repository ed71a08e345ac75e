// Export throughput: the program's whole export path (the engine's frames
// with the overlay burnt in, the measurements painted, the video writer)
// against a plain decode-then-encode loop of the same 1920x1080 file with
// the same writer in the same run. Then resident memory over a
// 10,000-frame export (at 320x240): at 1,000 frames and at 10,000.

#include "BenchSupport.h"
#include "engine/EngineLibrary.h"
#include "measuring/MeasurementModel.h"
#include "export/VideoExporter.h"
#include "export/VideoWriter.h"

#include <QGuiApplication>

#include <opencv2/imgproc.hpp>

#include <atomic>

namespace {

constexpr int kThroughputFrames = 90;
constexpr int kRounds = 3;
constexpr int kMemoryFrames = 10000;
constexpr int kMemoryEarlyFrame = 1000;
constexpr double kTargetRatio = 0.8;
constexpr double kTargetGrowthPercent = 5.0;

// Decodes with OpenCV and hands every frame to the engine's writer (which
// takes R, G, B like every host picture).
void plainLoop(VistrelInterface* engine, const std::string& in, const std::string& out,
    VideoWriter::Codec codec)
{
    cv::VideoCapture capture(in, cv::CAP_FFMPEG);
    cv::Mat bgr;
    cv::Mat rgb;
    VideoWriter writer(engine);
    bool opened = false;
    while (capture.read(bgr)) {
        if (!opened)
            opened = writer.open(QString::fromStdString(out), QSize(bgr.cols, bgr.rows),
                capture.get(cv::CAP_PROP_FPS), codec);
        cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
        const QImage picture(
            rgb.data, rgb.cols, rgb.rows, qsizetype(rgb.step), QImage::Format_RGB888);
        if (!opened || !writer.write(picture))
            bench::fail("the plain loop cannot write " + out);
    }
    if (!writer.finish())
        bench::fail("the plain loop cannot finish " + out);
}

// Two measurements across the pitch, measured by the engine.
std::vector<Measurement> measurementsOn(const bench::Clip& clip)
{
    const cv::Point2d a = clip.truth.toPicture(10.0, 10.0);
    const cv::Point2d b = clip.truth.toPicture(90.0, 50.0);
    const cv::Point2d c = clip.truth.toPicture(50.0, 5.0);
    Measurement first;
    first.from = QPointF(a.x, a.y);
    first.to = QPointF(b.x, b.y);
    first.measured = true;
    first.distance = { 80.0, 0.5 };
    Measurement second = first;
    second.to = QPointF(c.x, c.y);
    return { first, second };
}

VistrelInterface* calibratedEngine(const bench::Clip& clip)
{
    VistrelInterface* engine = EngineLibrary::bindLibrary(VISTREL_LIBRARY_PATH);
    if (!engine || engine->LoadVideo(clip.path) != 0)
        bench::fail("cannot open " + clip.path);
    bench::calibrate(*engine, clip);
    return engine;
}

void throughput(const bench::ScratchDir& dir, VideoWriter::Codec codec, const char* suffix)
{
    const bench::Clip clip = bench::makeClip(dir, 1920, 1080, kThroughputFrames, ".avi");
    VistrelInterface* engine = calibratedEngine(clip);
    const VideoExporter exporter(engine, measurementsOn(clip));
    const std::string plainOut = (dir.path / "plain.").string() + suffix;
    const QString exportOut = QString::fromStdString((dir.path / "export.").string() + suffix);
    std::vector<double> plainWall, exportWall, plainCpu, exportCpu;
    for (int round = 0; round < kRounds; ++round) {
        const bench::Timing plain
            = bench::timed([&] { plainLoop(engine, clip.path, plainOut, codec); });
        const std::atomic<bool> never { false };
        VideoExporter::Result result;
        const bench::Timing full
            = bench::timed([&] { result = exporter.run(exportOut, 0, -1, never); });
        if (!result.written || result.frames != kThroughputFrames)
            bench::fail("the export failed: " + result.error.toStdString());
        plainWall.push_back(plain.wall);
        exportWall.push_back(full.wall);
        plainCpu.push_back(plain.processor);
        exportCpu.push_back(full.processor);
    }
    const double ratio = bench::median(plainWall) / bench::median(exportWall);
    std::printf("Export throughput, 1920x1080, %d frames, %s, overlay + 2 measurements, "
                "median of %d rounds\n",
        kThroughputFrames, suffix, kRounds);
    std::printf("  plain decode-then-encode  %6.1f frames/s  (processor %5.2f s)\n",
        kThroughputFrames / bench::median(plainWall), bench::median(plainCpu));
    std::printf("  full export path          %6.1f frames/s  (processor %5.2f s)\n",
        kThroughputFrames / bench::median(exportWall), bench::median(exportCpu));
    std::printf("  ratio (wall) %.2f, ratio (processor) %.2f, goal >= %.1f: %s\n", ratio,
        bench::median(plainCpu) / bench::median(exportCpu), kTargetRatio,
        ratio >= kTargetRatio ? "met" : "NOT met");
}

void memory(const bench::ScratchDir& dir, const char* suffix)
{
    const bench::Clip clip = bench::makeClip(dir, 320, 240, kMemoryFrames, ".avi");
    VistrelInterface* engine = calibratedEngine(clip);
    const VideoExporter exporter(engine, measurementsOn(clip));
    long early = 0;
    const std::atomic<bool> never { false };
    const VideoExporter::Result result
        = exporter.run(QString::fromStdString((dir.path / "long.").string() + suffix), 0, -1, never,
            [&early](long long done, long long) {
                if (done == kMemoryEarlyFrame)
                    early = bench::residentKb();
            });
    if (!result.written || result.frames != kMemoryFrames)
        bench::fail("the long export failed: " + result.error.toStdString());
    const long late = bench::residentKb();
    const double growth = 100.0 * double(late - early) / double(early);
    std::printf("Resident memory over a %d-frame export, 320x240, %s\n", kMemoryFrames, suffix);
    std::printf("  after %d frames %ld kB, after %d frames %ld kB: %+.1f %% (goal < %.0f %%): %s\n",
        kMemoryEarlyFrame, early, kMemoryFrames, late, growth, kTargetGrowthPercent,
        growth < kTargetGrowthPercent ? "flat" : "GROWS");
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    const bench::ScratchDir dir;
    const std::optional<VideoWriter::Codec> codec
        = VideoWriter(EngineLibrary::bindLibrary(VISTREL_LIBRARY_PATH)).bestCodec();
    if (!codec)
        bench::fail("no codec encodes on this machine");
    const char* suffix = *codec == VideoWriter::Codec::H264 ? "mp4" : "avi";
    throughput(dir, *codec, suffix);
    memory(dir, suffix);
    return 0;
}
