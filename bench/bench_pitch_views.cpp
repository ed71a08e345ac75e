// The calibration helpers on the table of generated views the tests use
// (line widths, surrounds, cameras, small-sided pitches): for each view the
// worst snap error, the worst corner of Find Pitch, the fit with the true
// calibration, with one corner 8 px off (the least of the 16 moves of any
// corner in any of four directions) and with dimensions 15 % too large and
// too small (the lesser), the estimate's error, and the time of each call.

#include "BenchSupport.h"
#include "PitchViewTable.h"

#include "pitch/CCalibrationFit.h"
#include "pitch/CLineFinder.h"
#include "pitch/CMarkingEstimator.h"
#include "pitch/CPitchFinder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRepeats = 3;
constexpr double kSnapRadiusPx = 12.0;
const cv::Point2d kClickOffsets[] = { { 5, 0 }, { 0, -5 }, { -3, 4 }, { 3.5, -3.5 } };
constexpr double kCornerErrorPx = 8.0;
const cv::Point2d kCornerMoves[] = { { 1, 0 }, { 0, 1 }, { -1, 0 }, { 0, -1 } };
constexpr double kDimensionError = 0.15;

struct Row
{
    double snapPx = -1, snapMs = 0, findPx = -1, findMs = 0, fitPx = -1, fitMs = 0,
           offCornerPx = -1, wrongSizePx = -1, estimatePct = -1, estimateMs = 0;
};

template <typename Call> double bestMs(Call call)
{
    double best = HUGE_VAL;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = bench::Clock::now();
        call();
        best = std::min(best, bench::secondsSince(start) * 1e3);
    }
    return best;
}

void snapRow(const testclips::ClipSettings& s, const cv::Mat& frame, Row& row)
{
    const testclips::ClipTruth truth = testclips::truthFor(s);
    const double w = s.fieldWidth, l = s.fieldLength;
    const cv::Point2d crossings[]
        = { truth.toPicture(0, l), truth.toPicture(w, l), truth.toPicture(0, 0),
              truth.toPicture(w, 0), truth.toPicture(0, l / 2), truth.toPicture(w, l / 2) };
    int calls = 0;
    double worst = 0.0, totalMs = 0.0;
    for (const cv::Point2d& c : crossings) {
        for (const cv::Point2d& offset : kClickOffsets) {
            std::optional<cv::Point2d> snapped;
            totalMs += bestMs(
                [&] { snapped = CLineFinder().SnapToLines(frame, c + offset, kSnapRadiusPx); });
            ++calls;
            worst = std::max(worst, snapped ? cv::norm(*snapped - c) : HUGE_VAL);
        }
    }
    row.snapPx = worst;
    row.snapMs = totalMs / calls;
}

// The fit with the true corners and dimensions, the least fit with one
// corner moved, and the lesser fit with dimensions too large or too small.
// A judgement that finds no marking counts as detecting the error.
void fitRow(const testclips::ClipSettings& s, const cv::Mat& frame,
    const CMarkingEstimator::Corners& corners, Row& row)
{
    const auto judged = [&](const CMarkingEstimator::Corners& c, double scale) {
        const auto fit = CCalibrationFit().Judge(
            frame, c, scale * s.fieldWidth, scale * s.fieldLength, s.radius);
        return fit ? fit->meanPx : HUGE_VAL;
    };
    row.fitMs = bestMs([&] { row.fitPx = judged(corners, 1.0); });
    row.offCornerPx = HUGE_VAL;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        for (const cv::Point2d& move : kCornerMoves) {
            CMarkingEstimator::Corners moved = corners;
            moved[i] += move * kCornerErrorPx;
            row.offCornerPx = std::min(row.offCornerPx, judged(moved, 1.0));
        }
    }
    row.wrongSizePx
        = std::min(judged(corners, 1 + kDimensionError), judged(corners, 1 - kDimensionError));
}

Row measure(const testclips::ClipSettings& s)
{
    Row row;
    const cv::Mat frame = testclips::renderFrame(s, 0);
    const testclips::ClipTruth truth = testclips::truthFor(s);
    const CMarkingEstimator::Corners corners { cv::Point2d(truth.corners[0]),
        cv::Point2d(truth.corners[1]), cv::Point2d(truth.corners[2]),
        cv::Point2d(truth.corners[3]) };
    snapRow(s, frame, row);
    std::optional<CPitchFinder::Corners> found;
    row.findMs = bestMs([&] { found = CPitchFinder().Find(frame); });
    if (found) {
        row.findPx = 0.0;
        for (int i = 0; i < 4; ++i)
            row.findPx = std::max(row.findPx, cv::norm((*found)[i] - corners[i]));
    }
    fitRow(s, frame, corners, row);
    std::optional<CMarkingEstimator::Dimensions> estimate;
    row.estimateMs
        = bestMs([&] { estimate = CMarkingEstimator().Estimate(frame, corners, s.radius); });
    if (estimate)
        row.estimatePct = 100.0
            * std::max(std::abs(estimate->length / s.fieldLength - 1),
                std::abs(estimate->width / s.fieldWidth - 1));
    return row;
}

} // namespace

int main()
{
    std::printf("Calibration helpers on generated views (best of %d runs per call)\n", kRepeats);
    std::printf("  %-18s %9s %10s %7s %9s %7s %8s %7s %8s %8s %11s %9s\n", "view", "size",
        "snap err", "snap", "find err", "find", "fit", "fit", "corner 8", "dims 15%",
        "estimate err", "estimate");
    for (const calibrationtest::PitchView& view : calibrationtest::pitchViews()) {
        const testclips::ClipSettings& s = view.clipSettings;
        const Row r = measure(s);
        const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
        std::printf("  %-18s %9s %7.2f px %4.1f ms %6.2f px %4.0f ms %5.2f px %4.0f ms %5.2f px "
                    "%5.2f px %9.1f %% %6.0f ms\n",
            view.name.c_str(), size.c_str(), r.snapPx, r.snapMs, r.findPx, r.findMs, r.fitPx,
            r.fitMs, r.offCornerPx, r.wrongSizePx, r.estimatePct, r.estimateMs);
    }
    std::printf("  (a negative error: nothing found; inf: the judgement found no marking)\n");
    return 0;
}
