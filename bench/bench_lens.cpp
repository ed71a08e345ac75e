// The lens estimate: time on a full-size frame, the cost of mapping one
// point, and how straight the painted lines of the half-pitch clips become.
// Prints figures; decides nothing.

#include "pitch/CLensEstimator.h"
#include "pitch/CPitchGeometry.h"

#include "BenchSupport.h"
#include "HalfPitchLandmarks.h"

#include <cstdio>
#include <filesystem>

namespace {

cv::Mat firstFrame(const std::string& path)
{
    cv::VideoCapture capture(path);
    cv::Mat frame;
    if (capture.isOpened())
        capture.read(frame);
    return frame;
}

// Per painted line: the RMS and the largest distance of the paint from the
// straight line through it, taken back into the picture through `lens`.
void reportStraightness(const std::vector<CLensEstimator::Chain>& chains, const CLensModel& lens)
{
    double all = 0.0;
    std::size_t count = 0;
    for (const CLensEstimator::Chain& chain : chains) {
        const double rms = CLensEstimator::Straightness({ chain }, lens);
        std::printf("    line from (%.0f, %.0f) to (%.0f, %.0f), %zu points: %.2f px RMS\n",
            chain.front().x, chain.front().y, chain.back().x, chain.back().y, chain.size(), rms);
        all += rms * rms * chain.size();
        count += chain.size();
    }
    std::printf("    all lines: %.2f px RMS\n", count ? std::sqrt(all / count) : 0.0);
}

void measureClip(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(TARVOLA_MEDIA_DIR) / name;
    if (!std::filesystem::exists(path)) {
        std::printf("%s: skipped (no media folder)\n", name.c_str());
        return;
    }
    const cv::Mat frame = firstFrame(path.string());
    if (frame.empty())
        return;
    const CLensEstimator estimator;
    const auto start = bench::Clock::now();
    const double processorStart = bench::processorSeconds();
    const auto lens = estimator.Estimate(frame);
    const double seconds = bench::secondsSince(start);
    std::printf("%s: estimate %.0f ms (processor %.0f ms)", name.c_str(), seconds * 1e3,
        (bench::processorSeconds() - processorStart) * 1e3);
    if (!lens) {
        std::printf(", no lens\n");
        return;
    }
    std::printf(", k1 %.4f k2 %.4f centre (%.1f, %.1f)\n", lens->k1(), lens->k2(), lens->centre().x,
        lens->centre().y);
    const auto findStart = bench::Clock::now();
    const auto found = estimator.FindChains(frame);
    std::printf("  finding the lines alone: %.0f ms\n", bench::secondsSince(findStart) * 1e3);
    const auto chains = CLensEstimator::MergeChains(found, *lens);
    std::printf("  lines the estimate found, pinhole:\n");
    reportStraightness(chains, CLensModel::pinhole(frame.size()));
    std::printf("  the same, estimated lens:\n");
    reportStraightness(chains, *lens);
    for (const halfpitch::Clip* clip : { &halfpitch::leftHalf(), &halfpitch::rightHalf() }) {
        if (clip->file != name)
            continue;
        const auto withLens = halfpitch::measure(*clip, frame, *lens);
        if (!withLens)
            continue;
        // The paint found with the lens, judged by both models.
        const CLensModel pinhole = CLensModel::pinhole(frame.size());
        for (std::size_t i = 0; i < clip->lines.size(); ++i) {
            std::printf("  painted line %zu: %zu points, %.2f px RMS from straight with the lens, "
                        "%.2f px without; middle %.1f px off the straight line between its ends\n",
                i, withLens->paint[i].size(), withLens->lineRmsPx[i],
                CLensEstimator::Straightness({ withLens->paint[i] }, pinhole),
                withLens->chordOffsetPx[i]);
        }
        const auto without = halfpitch::measure(*clip, frame, pinhole);
        for (const auto& [label, f] : { std::pair { "lens", withLens }, std::pair { "pinhole", without } }) {
            if (!f || f->heldOutPx.empty())
                continue;
            std::printf("  landmarks, %s: calibration %.2f px RMS; held out median %.1f px, max "
                        "%.1f px; median %.2f m, max %.2f m\n",
                label, f->calibrationRmsPx, halfpitch::median(f->heldOutPx),
                *std::max_element(f->heldOutPx.begin(), f->heldOutPx.end()),
                halfpitch::median(f->heldOutMetres),
                *std::max_element(f->heldOutMetres.begin(), f->heldOutMetres.end()));
        }
    }
}

void measureMapping()
{
    const cv::Size size(3072, 1728);
    const auto lens = CLensModel::make(0.25, 0.03, cv::Point2d(1600, 900), size);
    const auto geometry = CPitchGeometry::fromCorners(
        { cv::Point2d(1586, 788), cv::Point2d(2769, 746), cv::Point2d(126, 1141),
            cv::Point2d(2873, 1571) },
        52.5, 68.0, *lens);
    if (!geometry)
        return;
    constexpr int kPoints = 200000;
    double sink = 0.0;
    const auto start = bench::Clock::now();
    for (int i = 0; i < kPoints; ++i) {
        const cv::Point2d p(100.0 + (i % 2800), 800.0 + (i % 900));
        if (const auto pitch = geometry->toPitch(p)) {
            if (const auto back = geometry->toPicture(*pitch))
                sink += back->x;
        }
    }
    const double seconds = bench::secondsSince(start);
    std::printf("mapping a point to the pitch and back through a lens: %.2f us (%g)\n",
        seconds / kPoints * 1e6, sink > 0 ? 1.0 : 0.0);
}

// Generated clips through known lenses: the RMS distance between the paint
// and the pitch lines projected through the estimated lens and a
// calibration from the true corners.
void measureGenerated()
{
    for (const testclips::Lens& truthLens : { testclips::Lens {}, testclips::Lens { 0.05, 0, 0, 0 },
             testclips::Lens { 0.1, 0.0, 0.05, 0.0 }, testclips::Lens { 0.2, 0.02, -0.08, 0.05 },
             testclips::Lens { 0.3, 0.05, 0.1, -0.1 }, testclips::Lens { 0.3, 0.0, -0.1, 0.1 } }) {
        testclips::ClipSettings clip;
        clip.width = 1280;
        clip.height = 720;
        clip.players = 0;
        clip.penaltyAreas = true;
        clip.lineWidth = 0.15f;
        clip.tilt = 0.4;
        clip.lens = truthLens;
        const cv::Mat frame = testclips::renderFrame(clip, 0);
        const cv::Size size = frame.size();
        const auto lens = CLensEstimator().Estimate(frame);
        std::printf("generated k1 %.2f k2 %.2f centre shift (%.2f, %.2f): ", truthLens.k1,
            truthLens.k2, truthLens.centreShiftX, truthLens.centreShiftY);
        if (!lens) {
            std::printf("no lens\n");
            continue;
        }
        const testclips::ClipTruth truth = testclips::truthFor(clip);
        const cv::Point2d corners[4] = { { 0, 68 }, { 105, 68 }, { 0, 0 }, { 105, 0 } };
        const auto rmsThrough = [&](const CLensModel& model) {
            CPitchGeometry::Corners ideal;
            for (int i = 0; i < 4; ++i)
                ideal[i] = model.undistort(
                    truthLens.distort(truth.toPicture(corners[i].x, corners[i].y), size));
            const auto geometry = CPitchGeometry::fromCorners(ideal, 105, 68, model);
            double sum = 0.0;
            int n = 0;
            for (int line = 0; line < 5; ++line) {
                for (int i = 0; i <= 100; ++i) {
                    const double t = i / 100.0;
                    const cv::Point2d p = line < 3 ? cv::Point2d(105 * t, 34.0 * line)
                                                   : cv::Point2d(105.0 * (line - 3), 68 * t);
                    const cv::Point2d paint = truthLens.distort(truth.toPicture(p.x, p.y), size);
                    const auto drawn = geometry ? geometry->toPicture(p) : std::nullopt;
                    sum += drawn ? std::pow(cv::norm(*drawn - paint), 2) : 1e6;
                    ++n;
                }
            }
            return std::sqrt(sum / n);
        };
        std::printf("estimated k1 %.4f k2 %.4f centre (%.1f, %.1f); lines %.3f px RMS "
                    "(pinhole %.2f px)\n",
            lens->k1(), lens->k2(), lens->centre().x, lens->centre().y, rmsThrough(*lens),
            rmsThrough(CLensModel::pinhole(size)));
    }
}

} // namespace

int main()
{
    measureGenerated();
    measureMapping();
    measureClip("soccer_fixedcam_lefthalf_3072x1728_hevc.mp4");
    measureClip("soccer_fixedcam_righthalf_3072x1728_hevc.mp4");
    return 0;
}
