#include "tracking/CPlayerDetector.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/video.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The reduced copy shows the ground at about this many pixels per metre: a
// player stays a few pixels wide, and the background model runs on a
// fraction of a 1920x1080 frame.
constexpr double kWorkPxPerMetre = 7.0;
// Down to 0.4, bilinear reduction misses no player (who is several pixels
// wide in any frame reduced this much) and costs a fraction of area
// averaging.
constexpr double kLinearScale = 0.4;
constexpr double kAreaMarginM = 1.0; // round the area people may stand in
constexpr int kForegroundLevel = 200; // MOG2 marks shadows 127, objects 255
constexpr double kMog2VarThreshold = 25.0;
constexpr int kMog2History = 500;
// The pitch behind a player is grass, paint or a shadow: three modes cover
// it, and each one less is checked at every pixel of every frame.
constexpr int kMog2Modes = 3;
// Per frame at kLearningFps: the model adapts at the same pace in seconds
// whatever the frame rate, and a player standing still fades into it no
// sooner.
constexpr double kMog2LearningRate = 0.002;
constexpr double kLearningFps = 25.0;
constexpr int kPrimeRounds = 10;
constexpr double kSettleMargin = 1.3;
// The drift is measured this often; a weak correlation peak or an
// implausible jump keeps the last one.
constexpr int kAlignEveryFrames = 10;
constexpr double kAlignMinResponse = 0.05;
constexpr double kAlignMaxShiftPx = 8.0;
constexpr double kAlignMinShiftPx = 0.1;
// Shares of one player's expected picture area: below kNoiseShare a blob is
// noise, below kWeakShare a weak sighting, from kLoneSplitShare on several
// players standing together even where no known player says so.
constexpr double kNoiseShare = 0.2;
constexpr double kWeakShare = 0.55;
constexpr double kLoneSplitShare = 6.0;
constexpr double kGroupM = 0.6; // pieces this close belong together
constexpr int kMaxPlayersPerBlob = 5;
constexpr double kShortsShare = 0.45; // of the body from the feet: not the shirt
constexpr float kLabScale = 1.0f;

// One player's blob area in work pixels: the body widened by the pixels its
// edges touch and the cleaning adds, which at a few pixels across is much
// of the whole.
constexpr double kBlobPadPx = 1.0;

double blobArea(const CPlayerShape& shape, double scale)
{
    const double r = shape.radiusPx * scale + kBlobPadPx;
    const double length = std::max(0.0, shape.heightPx * scale + 2 * kBlobPadPx - 2 * r * shape.upright);
    return CV_PI * r * r + 2 * r * length;
}

cv::Vec3f toLab(const cv::Scalar& bgr)
{
    cv::Mat pixel(1, 1, CV_32FC3, cv::Scalar(bgr[0] / 255.0, bgr[1] / 255.0, bgr[2] / 255.0));
    cv::cvtColor(pixel, pixel, cv::COLOR_BGR2Lab);
    return pixel.at<cv::Vec3f>(0, 0) * kLabScale;
}

} // namespace

std::optional<CPlayerDetector> CPlayerDetector::create(
    const CPitchGeometry& geometry, double width, double length, cv::Size frameSize, double fps)
{
    const auto centre = CPlayerShape::at(geometry, { width / 2, length / 2 });
    if (!centre || frameSize.width <= 0 || frameSize.height <= 0)
        return std::nullopt;
    const double scale = std::min(1.0, kWorkPxPerMetre / centre->pxPerMetre);
    // The area where people count, and above it the bodies standing there.
    const double reach = kOutsideM + kAreaMarginM;
    std::vector<cv::Point2f> ends;
    for (const double x : { -reach, width + reach })
        for (const double y : { -reach, length + reach })
            if (const auto shape = CPlayerShape::at(geometry, { x, y })) {
                ends.emplace_back(shape->foot);
                ends.emplace_back(shape->foot + shape->upUnit * shape->heightPx);
            }
    if (ends.size() < 8)
        return std::nullopt;
    const cv::Rect box = cv::boundingRect(ends);
    const cv::Rect area = cv::Rect(box.x - 2, box.y - 2, box.width + 5, box.height + 5)
        & cv::Rect(cv::Point(0, 0), frameSize);
    if (area.width < 8 || area.height < 8)
        return std::nullopt;
    const double rate = kMog2LearningRate * kLearningFps / (fps > 0 ? fps : kLearningFps);
    return CPlayerDetector(geometry, width, length, frameSize, scale, area, rate);
}

CPlayerDetector::CPlayerDetector(const CPitchGeometry& geometry, double width, double length,
    cv::Size frameSize, double scale, cv::Rect area, double learningRate)
    : geometry(geometry)
    , width(width)
    , length(length)
    , frameSize(frameSize)
    , scale(scale)
    , area(area)
    , background(cv::createBackgroundSubtractorMOG2(kMog2History, kMog2VarThreshold, true))
    , learningRate(learningRate)
{
    const auto centre = CPlayerShape::at(geometry, { width / 2, length / 2 });
    const int side = 2 * std::max(1, int(std::lround(kGroupM / 2 * centre->pxPerMetre * scale))) + 1;
    background->setNMixtures(kMog2Modes);
    groupKernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(side, side));
}

cv::Size CPlayerDetector::workSize() const
{
    if (scale >= 1.0)
        return area.size();
    return cv::Size(std::max(1, cvRound(area.width * scale)), std::max(1, cvRound(area.height * scale)));
}

cv::Mat CPlayerDetector::reduce(const cv::Mat& bgr) const
{
    cv::Mat small;
    if (bgr.size() != frameSize || bgr.type() != CV_8UC3)
        return small;
    const cv::Mat roi = bgr(area);
    if (scale >= 1.0)
        roi.copyTo(small);
    else
        cv::resize(roi, small, workSize(), 0, 0, scale >= kLinearScale ? cv::INTER_LINEAR : cv::INTER_AREA);
    return small;
}

void CPlayerDetector::addBackgroundSample(const cv::Mat& bgr)
{
    if (bgr.size() == frameSize && bgr.type() == CV_8UC3)
        backgroundSamples.push_back(reduce(bgr));
}

void CPlayerDetector::primeBackground()
{
    if (backgroundSamples.empty())
        return;
    const cv::Mat& first = backgroundSamples.front();
    cv::Mat median(first.size(), first.type());
    std::vector<uchar> values(backgroundSamples.size());
    const std::size_t middle = values.size() / 2;
    const int channels = first.cols * first.channels();
    for (int y = 0; y < first.rows; ++y) {
        uchar* out = median.ptr<uchar>(y);
        for (int x = 0; x < channels; ++x) {
            for (std::size_t k = 0; k < values.size(); ++k)
                values[k] = backgroundSamples[k].ptr<uchar>(y)[x];
            std::nth_element(values.begin(), values.begin() + middle, values.end());
            out[x] = values[middle];
        }
    }
    backgroundSamples.clear();
    backgroundGrey = alignmentPicture(median);
    cv::Mat ignored;
    background->apply(median, ignored, 1.0);
    for (int i = 0; i < kPrimeRounds; ++i)
        background->apply(median, ignored, 0.5);
}

cv::Mat CPlayerDetector::alignmentPicture(const cv::Mat& small)
{
    cv::Mat grey;
    cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
    grey.convertTo(grey, CV_32F);
    return grey;
}

// A camera that drifts (a hovering drone, a mast in the wind) moves the
// painted lines off the background picture: every few frames the frame's
// shift against that picture is measured, and each frame is moved back by
// it before the background model sees it.
cv::Mat CPlayerDetector::steady(const cv::Mat& small)
{
    if (backgroundGrey.empty() || backgroundGrey.size() != small.size())
        return small;
    if (framesSeen++ % kAlignEveryFrames == 0) {
        if (alignWindow.empty())
            cv::createHanningWindow(alignWindow, small.size(), CV_32F);
        double response = 0;
        const cv::Point2d shift
            = cv::phaseCorrelate(backgroundGrey, alignmentPicture(small), alignWindow, &response);
        if (response >= kAlignMinResponse && std::hypot(shift.x, shift.y) <= kAlignMaxShiftPx)
            drift = shift;
    }
    if (std::hypot(drift.x, drift.y) < kAlignMinShiftPx)
        return small;
    cv::Mat moved;
    const cv::Matx23d back(1, 0, -drift.x, 0, 1, -drift.y);
    cv::warpAffine(small, moved, back, small.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return moved;
}

int CPlayerDetector::settledFrames() const
{
    // A new colour counts as background once its weight, growing as
    // 1 - (1 - rate)^n, reaches 1 - backgroundRatio.
    const double share = 1.0 - background->getBackgroundRatio();
    if (learningRate <= 0.0 || learningRate >= 1.0 || share <= 0.0 || share >= 1.0)
        return 0;
    const double frames = std::log(1.0 - share) / std::log(1.0 - learningRate) * kSettleMargin;
    return int(std::min(std::ceil(frames), double(std::numeric_limits<int>::max() / 2)));
}

cv::Mat CPlayerDetector::foreground(const cv::Mat& small)
{
    cv::Mat mask;
    background->apply(small, mask, learningRate);
    cv::threshold(mask, mask, kForegroundLevel, 255, cv::THRESH_BINARY);
    static const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, cross);
    cv::morphologyEx(mask, mask, cv::MORPH_CLOSE, cross);
    return mask;
}

std::vector<CPlayerDetection> CPlayerDetector::detect(
    const cv::Mat& bgr, const std::vector<cv::Point2d>& expected)
{
    if (bgr.size() != frameSize || bgr.type() != CV_8UC3)
        return {};
    return detectReduced(reduce(bgr), expected);
}

// What moves in the reduced frame (steadied against the camera's drift),
// then the players in it.
std::vector<CPlayerDetection> CPlayerDetector::detectReduced(
    const cv::Mat& small, const std::vector<cv::Point2d>& expected)
{
    if (small.type() != CV_8UC3 || small.size() != workSize())
        return {};
    workFrame = steady(small);
    workMask = foreground(workFrame);
    return playersInMask(expected);
}

std::vector<CPlayerDetection> CPlayerDetector::playersInMask(
    const std::vector<cv::Point2d>& expected)
{
    std::vector<CPlayerDetection> found;
    // Pieces of one player (the background model cuts small players, and
    // marks drawn on the footage, into pieces) are grouped by a dilated
    // copy; each group's own pixels are those of the undilated mask.
    cv::Mat grouped, labels, stats, centroids;
    cv::dilate(workMask, grouped, groupKernel);
    const int count = cv::connectedComponentsWithStats(grouped, labels, stats, centroids, 8, CV_32S);
    const std::vector<int> known = knownPerBlob(labels, count, expected);
    for (int label = 1; label < count; ++label) {
        const cv::Rect box(stats.at<int>(label, cv::CC_STAT_LEFT), stats.at<int>(label, cv::CC_STAT_TOP),
            stats.at<int>(label, cv::CC_STAT_WIDTH), stats.at<int>(label, cv::CC_STAT_HEIGHT));
        readBlob(labels, label, box, known[label], found);
    }
    mergeFragments(found);
    return found;
}

// How many of the expected players stand on each blob: their foot points
// on it or within a body's half width.
std::vector<int> CPlayerDetector::knownPerBlob(
    const cv::Mat& labels, int count, const std::vector<cv::Point2d>& expected) const
{
    std::vector<int> known(std::max(count, 1), 0);
    for (const cv::Point2d& pitch : expected) {
        const auto shape = CPlayerShape::at(geometry, pitch);
        if (!shape)
            continue;
        const cv::Point2d work((shape->foot.x - area.x + 0.5) * scale - 0.5,
            (shape->foot.y - area.y + 0.5) * scale - 0.5);
        const cv::Point2d up = shape->upUnit * (shape->heightPx * scale * 0.3);
        const int reach = std::max(1, int(std::ceil(shape->radiusPx * scale)));
        const cv::Point centre(cvRound(work.x + up.x), cvRound(work.y + up.y));
        int label = 0;
        for (int dy = -reach; dy <= reach && !label; ++dy)
            for (int dx = -reach; dx <= reach && !label; ++dx) {
                const cv::Point p = centre + cv::Point(dx, dy);
                if (p.x >= 0 && p.y >= 0 && p.x < labels.cols && p.y < labels.rows)
                    label = labels.at<int>(p);
            }
        if (label > 0 && label < count)
            ++known[label];
    }
    return known;
}

// Largest first, each sighting joins a larger one of another blob nearby;
// the parts of one split blob stay apart, being players side by side.
void CPlayerDetector::mergeFragments(std::vector<CPlayerDetection>& found)
{
    std::sort(found.begin(), found.end(),
        [](const CPlayerDetection& a, const CPlayerDetection& b) { return a.pixels > b.pixels; });
    std::vector<CPlayerDetection> kept;
    for (const CPlayerDetection& d : found) {
        const auto into = std::find_if(kept.begin(), kept.end(), [&](const CPlayerDetection& k) {
            return k.blob != d.blob && cv::norm(k.pitch - d.pitch) < kFragmentM;
        });
        if (into == kept.end()) {
            kept.push_back(d);
            continue;
        }
        const double w = double(d.pixels) / (into->pixels + d.pixels);
        into->pitch += (d.pitch - into->pitch) * w;
        into->picture += (d.picture - into->picture) * w;
        into->colour += (d.colour - into->colour) * float(w);
        into->pixels += d.pixels;
        into->weak = into->weak && d.weak;
    }
    found = std::move(kept);
}

cv::Point2d CPlayerDetector::toFrame(cv::Point2d work) const
{
    return cv::Point2d((work.x + 0.5) / scale - 0.5 + area.x, (work.y + 0.5) / scale - 0.5 + area.y);
}

bool CPlayerDetector::playing(cv::Point2d pitch) const
{
    return pitch.x >= -kOutsideM && pitch.x <= width + kOutsideM && pitch.y >= -kOutsideM
        && pitch.y <= length + kOutsideM;
}

// One blob: one player, a weak part of one, noise, or several players
// standing together, told apart by its area against one player's.
void CPlayerDetector::readBlob(const cv::Mat& labels, int label, const cv::Rect& box, int known,
    std::vector<CPlayerDetection>& out) const
{
    std::vector<cv::Point2f> points;
    points.reserve(std::size_t(box.area()));
    for (int y = box.y; y < box.br().y; ++y) {
        const int* row = labels.ptr<int>(y);
        const uchar* own = workMask.ptr<uchar>(y);
        for (int x = box.x; x < box.br().x; ++x)
            if (row[x] == label && own[x])
                points.emplace_back(float(x), float(y));
    }
    const cv::Point2d bottom = toFrame(cv::Point2d(box.x + box.width / 2.0, box.br().y - 1.0));
    const auto ground = geometry.toPitch(bottom);
    const auto shape = ground ? CPlayerShape::at(geometry, *ground) : std::nullopt;
    if (!shape)
        return;
    const double players = points.size() / blobArea(*shape, scale);
    if (players < kNoiseShare)
        return;
    int parts = players >= kLoneSplitShare ? int(std::lround(players)) : 1;
    if (known >= 2 && players >= 1.0)
        parts = std::max(parts, std::min(known, std::max(2, int(std::lround(players)))));
    parts = std::min(kMaxPlayersPerBlob, parts);
    if (parts < 2 || int(points.size()) < 2 * parts) {
        addPart(points, label, out);
        return;
    }
    // A fixed seed for k-means's first centres: the same frame splits the
    // same way every time.
    const cv::RNG saved = cv::theRNG();
    cv::theRNG() = cv::RNG(std::uint64_t(label) * 2654435761ULL + 1);
    cv::Mat assignment, centres;
    cv::kmeans(points, parts, assignment,
        cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 20, 0.1), 3,
        cv::KMEANS_PP_CENTERS, centres);
    cv::theRNG() = saved;
    std::vector<std::vector<cv::Point2f>> split(parts);
    for (std::size_t i = 0; i < points.size(); ++i)
        split[assignment.at<int>(int(i))].push_back(points[i]);
    for (const auto& part : split)
        if (!part.empty())
            addPart(part, label, out);
}

// The foot point of one player's pixels: the blob's lowest extent along the
// body's picture direction, raised by the half width of the body as far as
// the view looks down on it (seen from above, the feet are the middle of a
// disc), across at the pixels' middle.
void CPlayerDetector::addPart(
    const std::vector<cv::Point2f>& points, int blob, std::vector<CPlayerDetection>& out) const
{
    const cv::Rect box = cv::boundingRect(points);
    const auto ground = geometry.toPitch(toFrame(cv::Point2d(box.x + box.width / 2.0, box.br().y - 1.0)));
    const auto shape = ground ? CPlayerShape::at(geometry, *ground) : std::nullopt;
    if (!shape)
        return;
    const cv::Point2d up = shape->upUnit, across(-up.y, up.x);
    double lowest = HUGE_VAL, highest = -HUGE_VAL, acrossSum = 0;
    for (const cv::Point2f& p : points) {
        const double along = up.dot(cv::Point2d(p));
        lowest = std::min(lowest, along);
        highest = std::max(highest, along);
        acrossSum += across.dot(cv::Point2d(p));
    }
    // Pixel centres: the blob reaches half a pixel beyond its lowest one.
    const double footAlong = lowest - 0.5 + shape->radiusPx * scale * (1.0 - shape->upright);
    const cv::Point2d footWork = across * (acrossSum / points.size()) + up * footAlong;
    CPlayerDetection d;
    d.picture = toFrame(footWork);
    d.pixels = int(points.size());
    d.blob = blob;
    const auto pitch = geometry.toPitch(d.picture);
    if (!pitch || !playing(*pitch))
        return;
    d.pitch = *pitch;
    d.weak = points.size() < kWeakShare * blobArea(*shape, scale);
    // The shirt: the upper body in an oblique view, everything from above.
    const double shirtFrom = shape->upright > 0.5 ? lowest + kShortsShare * (highest - lowest) : -HUGE_VAL;
    cv::Scalar sum;
    int n = 0;
    for (const cv::Point2f& p : points)
        if (up.dot(cv::Point2d(p)) >= shirtFrom) {
            const cv::Vec3b& c = workFrame.at<cv::Vec3b>(cvRound(p.y), cvRound(p.x));
            sum += cv::Scalar(c[0], c[1], c[2]);
            ++n;
        }
    d.colour = toLab(n > 0 ? sum / n : sum);
    out.push_back(d);
}
