// Blob detection at 1920 x 1080 with a 31 x 31 window, against the plain
// version that sums the whole window at every position, measured side by
// side in one run; and the worst case of a blob at every position, detected
// and drawn, against one cv::rectangle per blob.

#include "AnalysisReference.h"
#include "analysis/CMotionAnalysis.h"
#include "analysis/CProbabilityMatrix.h"
#include "analysis/CSegmentation.h"
#include "ClipGenerator.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidthPx = 1920;
constexpr int kHeightPx = 1080;
constexpr int kWindowPx = 31;
constexpr double kRequiredSpeedup = 50.0;
constexpr int kFastRepeats = 10;

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double bestOf(int repeats, const std::function<void()>& work)
{
    double best = 1e30;
    for (int i = 0; i < repeats; ++i)
        best = std::min(best, secondsOf(work));
    return best;
}

// The thresholded motion probability of the third frame of a clip with
// moving players, as the frame pipeline feeds it to blob detection.
cv::Mat motionProbability()
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = kWidthPx;
    clipSettings.height = kHeightPx;
    clipSettings.fps = 5.0;
    clipSettings.players = 12;
    cv::Mat grey[3];
    for (int i = 0; i < 3; ++i)
        cv::cvtColor(testclips::renderFrame(clipSettings, i), grey[i], cv::COLOR_BGR2GRAY);
    CMotionAnalysis motion;
    motion.Analyse(grey[2], grey[1], grey[0]);
    CProbabilityMatrix probability;
    probability.Reset(1);
    probability.Accumulate(motion.getRecentMotion());
    probability.Accumulate(motion.getMotionChange());
    cv::Mat probable;
    cv::threshold(probability.getAverage(), probable, 86.0, 255.0, cv::THRESH_TOZERO);
    return probable;
}

bool detectionOnMotion()
{
    CSegmentation segmentation;
    segmentation.SetImage(motionProbability());
    const double fast
        = bestOf(kFastRepeats, [&] { segmentation.DetectBlobs(kWindowPx, kWindowPx, 50.0, 30.0); });
    std::vector<CBlob> plain;
    const double reference = secondsOf([&] {
        plain = reference::detectBlobs(segmentation.getInput(), kWindowPx, kWindowPx, 50.0, 30.0);
    });
    const double speedup = reference / fast;
    const bool same = plain.size() == segmentation.getBlobs().size();
    std::printf("DetectBlobs %dx%d at %dx%d on motion: %.2f ms, plain %.0f ms, %.0fx faster "
                "(target >= %.0fx), %zu blobs%s\n",
        kWindowPx, kWindowPx, kWidthPx, kHeightPx, fast * 1e3, reference * 1e3, speedup,
        kRequiredSpeedup, plain.size(), same ? "" : " (BLOB COUNTS DIFFER)");
    return same && speedup >= kRequiredSpeedup;
}

// Every position accepted: one blob per pixel position of the image.
void blobAtEveryPosition()
{
    const cv::Mat full(kHeightPx, kWidthPx, CV_8UC1, cv::Scalar(255));
    const cv::Mat frame(kHeightPx, kWidthPx, CV_8UC3, cv::Scalar(60, 150, 70));
    CSegmentation segmentation;
    segmentation.SetImage(full);
    // The first detection grows the blob list; later ones reuse it.
    const double firstDetect
        = secondsOf([&] { segmentation.DetectBlobs(kWindowPx, kWindowPx, 100.0, 0.0); });
    const double detect
        = bestOf(3, [&] { segmentation.DetectBlobs(kWindowPx, kWindowPx, 100.0, 0.0); });
    const double draw = bestOf(3, [&] { segmentation.DrawBlobs(frame); });
    cv::Mat plainDrawn;
    const double plain
        = secondsOf([&] { plainDrawn = reference::drawBlobs(frame, segmentation.getBlobs()); });
    const std::size_t blobs = segmentation.getBlobs().size();
    const bool same = cv::norm(plainDrawn, segmentation.getDrawn(), cv::NORM_INF) == 0;
    std::printf("Blob at every position, %dx%d window at %dx%d: %zu blobs (%.0f MB), detect "
                "%.0f ms (first %.0f ms), draw %.0f ms, one cv::rectangle per blob %.0f ms%s\n",
        kWindowPx, kWindowPx, kWidthPx, kHeightPx, blobs,
        static_cast<double>(blobs * sizeof(CBlob)) / (1 << 20), detect * 1e3, firstDetect * 1e3,
        draw * 1e3, plain * 1e3, same ? "" : " (PICTURES DIFFER)");
}

} // namespace

int main()
{
    // One core, as the engine's processing thread has.
    cv::setNumThreads(1);
    const bool met = detectionOnMotion();
    blobAtEveryPosition();
    return met ? 0 : 1;
}
