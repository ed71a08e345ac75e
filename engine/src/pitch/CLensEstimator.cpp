#include "pitch/CLensEstimator.h"

#include "pitch/CLineFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Lines are looked for on a copy of the frame no larger than this: the
// Hough transform's cost grows with the pixels, and on compressed footage a
// smaller copy also smooths the paint's ragged edges.
constexpr double kWorkingSidePx = 1024.0;
// Straight pieces of paint: the probabilistic Hough transform.
constexpr double kHoughThetaRad = CV_PI / 720.0;
constexpr int kHoughVotes = 25;
constexpr double kMinPiecePx = 25.0;
constexpr double kMaxPieceGapPx = 4.0;
// Growing a line: a piece joins when both its ends lie this close to the
// curve fitted so far, and start within this gap beyond its end (plus a
// share of its length).
constexpr double kJoinOffsetPx = 2.0;
constexpr double kJoinGapPx = 30.0;
constexpr double kJoinGapShare = 0.15;
// A grown line counts as a long painted line when it spans this share of
// the picture diagonal and bends no more than a lens bends a straight line.
constexpr double kMinSpanShare = 0.12;
constexpr double kMaxSagShare = 0.06;
constexpr double kMaxCurveRmsPx = 1.0;
// Ridge centres along a line: one per step, searched this far across.
constexpr double kSampleStepPx = 2.0;
constexpr double kRidgeSearchPx = 2.5;
constexpr std::size_t kMinChainPoints = 20;
// Two lines at least this far apart in direction, or the lens is not
// determined.
const double kMinSpreadRad = 10.0 * CV_PI / 180.0;
// No measurable bending: the straight lines are already this straight, or
// the lens improves them by less than this share.
constexpr double kMinBendingRmsPx = 0.6;
constexpr double kMinImprovement = 0.3;
// A line the lens does not straighten (a curve that is painted curved) is
// left out when its residual exceeds this multiple of the median.
constexpr double kOutlierFactor = 3.0;
constexpr double kOutlierFloorPx = 1.0;
// The pitch: the largest area of grass once gaps this wide (painted lines,
// players) are closed; lines elsewhere (fences, a running track, trees)
// are not painted pitch lines. A line belongs to it when this share of its
// points lies on it.
constexpr int kPitchClosingPx = 21;
constexpr double kOnPitchShare = 0.8;

using Chain = CLensEstimator::Chain;

struct Piece
{
    cv::Point2d a, b;
    double length() const { return cv::norm(b - a); }
};

// A line growing from pieces, in the frame of its first piece: x along it,
// y across, with y = c0 + c1 x + c2 x^2 fitted to the pieces' ends.
struct Growth
{
    cv::Point2d origin, along, across;
    std::vector<int> pieces;
    cv::Vec3d curve;
    double xMin = 0.0, xMax = 0.0;

    cv::Point2d local(cv::Point2d p) const
    {
        return { (p - origin).dot(along), (p - origin).dot(across) };
    }
    double offset(cv::Point2d p) const
    {
        const cv::Point2d q = local(p);
        return q.y - (curve[0] + curve[1] * q.x + curve[2] * q.x * q.x);
    }
};

std::vector<cv::Point2d> samplePoints(const std::vector<Piece>& all, const std::vector<int>& ids)
{
    std::vector<cv::Point2d> points;
    for (int id : ids) {
        const Piece& piece = all[static_cast<std::size_t>(id)];
        const int steps = std::max(1, static_cast<int>(piece.length() / kSampleStepPx));
        for (int i = 0; i <= steps; ++i)
            points.push_back(piece.a + (piece.b - piece.a) * (static_cast<double>(i) / steps));
    }
    return points;
}

// Least-squares y = c0 + c1 x + c2 x^2 in the growth's frame (a straight
// line while the span is short); the root-mean-square residual.
double fitCurve(Growth& g, const std::vector<cv::Point2d>& points)
{
    const int n = static_cast<int>(points.size());
    cv::Mat a(n, 3, CV_64F);
    cv::Mat y(n, 1, CV_64F);
    g.xMin = 1e300;
    g.xMax = -1e300;
    for (int i = 0; i < n; ++i) {
        const cv::Point2d q = g.local(points[static_cast<std::size_t>(i)]);
        a.at<double>(i, 0) = 1.0;
        a.at<double>(i, 1) = q.x;
        a.at<double>(i, 2) = q.x * q.x;
        y.at<double>(i) = q.y;
        g.xMin = std::min(g.xMin, q.x);
        g.xMax = std::max(g.xMax, q.x);
    }
    const bool curved = g.xMax - g.xMin > 200.0;
    cv::Mat c;
    cv::solve(curved ? a : a.colRange(0, 2), y, c, cv::DECOMP_SVD);
    g.curve = cv::Vec3d(c.at<double>(0), c.at<double>(1), curved ? c.at<double>(2) : 0.0);
    double sum = 0.0;
    for (const cv::Point2d& p : points)
        sum += g.offset(p) * g.offset(p);
    return std::sqrt(sum / std::max(n, 1));
}

bool joins(const Growth& g, const Piece& piece)
{
    const double gap = kJoinGapPx + kJoinGapShare * (g.xMax - g.xMin);
    const double xa = g.local(piece.a).x;
    const double xb = g.local(piece.b).x;
    if (std::min(xa, xb) > g.xMax + gap || std::max(xa, xb) < g.xMin - gap)
        return false;
    return std::abs(g.offset(piece.a)) < kJoinOffsetPx && std::abs(g.offset(piece.b)) < kJoinOffsetPx;
}

// Grows a line from the piece `seed` by taking in every unused piece that
// continues its curve, until none does.
Growth grow(const std::vector<Piece>& pieces, std::vector<bool>& used, int seed)
{
    Growth g;
    const Piece& first = pieces[static_cast<std::size_t>(seed)];
    g.origin = 0.5 * (first.a + first.b);
    g.along = (first.b - first.a) * (1.0 / first.length());
    g.across = cv::Point2d(-g.along.y, g.along.x);
    g.pieces = { seed };
    used[static_cast<std::size_t>(seed)] = true;
    fitCurve(g, samplePoints(pieces, g.pieces));
    for (bool grew = true; grew;) {
        grew = false;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (used[i] || !joins(g, pieces[i]))
                continue;
            used[i] = true;
            g.pieces.push_back(static_cast<int>(i));
            grew = true;
        }
        if (grew)
            fitCurve(g, samplePoints(pieces, g.pieces));
    }
    return g;
}

// The ridge centres along a grown line, one per step along it, in the
// working picture's coordinates.
Chain ridgeChain(const Growth& g, const cv::Mat& ridge, const std::vector<Piece>& pieces)
{
    std::vector<double> xs;
    for (const cv::Point2d& p : samplePoints(pieces, g.pieces))
        xs.push_back(std::round(g.local(p).x / kSampleStepPx));
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    Chain chain;
    for (double step : xs) {
        const double x = step * kSampleStepPx;
        const double y = g.curve[0] + g.curve[1] * x + g.curve[2] * x * x;
        const cv::Point2d at = g.origin + g.along * x + g.across * y;
        cv::Point2d normal = g.across - g.along * (g.curve[1] + 2.0 * g.curve[2] * x);
        normal *= 1.0 / cv::norm(normal);
        if (const auto shift = CLineFinder::RidgeOffset(ridge, at, normal, kRidgeSearchPx))
            chain.push_back(at + normal * *shift);
    }
    return chain;
}

// 255 on the pitch: the largest closed area of grass.
cv::Mat pitchArea(const cv::Mat& bgr)
{
    cv::Mat grass = CLineFinder::GrassMask(bgr);
    cv::morphologyEx(grass, grass, cv::MORPH_CLOSE,
        cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kPitchClosingPx, kPitchClosingPx)));
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(grass, labels, stats, centroids, 8, CV_32S);
    int largest = 0;
    for (int i = 1; i < count; ++i) {
        if (largest == 0
            || stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA))
            largest = i;
    }
    cv::Mat area = labels == largest;
    if (largest == 0)
        area.setTo(0);
    cv::dilate(area, area,
        cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kPitchClosingPx, kPitchClosingPx)));
    return area;
}

bool onPitch(const Chain& chain, const cv::Mat& area)
{
    const auto inside = std::count_if(chain.begin(), chain.end(), [&](cv::Point2d p) {
        const cv::Point at(cvRound(p.x), cvRound(p.y));
        return at.inside(cv::Rect(0, 0, area.cols, area.rows)) && area.at<uchar>(at) != 0;
    });
    return inside >= kOnPitchShare * static_cast<double>(chain.size());
}

std::vector<Piece> findPieces(const cv::Mat& mask)
{
    std::vector<cv::Vec4i> found;
    cv::HoughLinesP(mask, found, 1.0, kHoughThetaRad, kHoughVotes, kMinPiecePx, kMaxPieceGapPx);
    std::vector<Piece> pieces;
    for (const cv::Vec4i& s : found)
        pieces.push_back({ cv::Point2d(s[0], s[1]), cv::Point2d(s[2], s[3]) });
    std::sort(pieces.begin(), pieces.end(),
        [](const Piece& x, const Piece& y) { return x.length() > y.length(); });
    return pieces;
}

double chainDirection(const Chain& chain)
{
    const cv::Point2d d = chain.back() - chain.front();
    double angle = std::atan2(d.y, d.x);
    return angle < 0.0 ? angle + CV_PI : angle;
}

bool directionsSpread(const std::vector<Chain>& chains)
{
    for (std::size_t i = 0; i < chains.size(); ++i) {
        for (std::size_t j = i + 1; j < chains.size(); ++j) {
            double difference = std::abs(chainDirection(chains[i]) - chainDirection(chains[j]));
            difference = std::min(difference, CV_PI - difference);
            if (difference > kMinSpreadRad)
                return true;
        }
    }
    return false;
}

} // namespace

std::vector<Chain> CLensEstimator::FindChains(const cv::Mat& bgr) const
{
    std::vector<Chain> chains;
    if (bgr.empty() || bgr.type() != CV_8UC3)
        return chains;
    const double scale = std::min(1.0, kWorkingSidePx / std::max(bgr.cols, bgr.rows));
    cv::Mat small = bgr;
    if (scale < 1.0)
        cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
    const cv::Mat ridge = CLineFinder::RidgeImage(small);
    const cv::Mat mask = CLineFinder::LineMask(ridge, CLineFinder::GrassMask(small));
    const std::vector<Piece> pieces = findPieces(mask);
    const cv::Mat area = pitchArea(small);
    std::vector<bool> used(pieces.size(), false);
    const double minSpan = kMinSpanShare * std::hypot(small.cols, small.rows);
    for (std::size_t seed = 0; seed < pieces.size(); ++seed) {
        if (used[seed])
            continue;
        Growth g = grow(pieces, used, static_cast<int>(seed));
        const double span = g.xMax - g.xMin;
        const double sag = std::abs(g.curve[2]) * 0.25 * span * span;
        if (span < minSpan || sag > kMaxSagShare * span
            || fitCurve(g, samplePoints(pieces, g.pieces)) > kMaxCurveRmsPx)
            continue;
        Chain chain = ridgeChain(g, ridge, pieces);
        if (chain.size() < kMinChainPoints || !onPitch(chain, area))
            continue;
        // Back to the frame's pixels (pixel centres at integer positions).
        for (cv::Point2d& p : chain)
            p = (p + cv::Point2d(0.5, 0.5)) * (1.0 / scale) - cv::Point2d(0.5, 0.5);
        chains.push_back(std::move(chain));
    }
    return chains;
}

std::optional<CLensModel> CLensEstimator::Estimate(const cv::Mat& bgr, double* straightRmsPx) const
{
    std::vector<Chain> chains = FindChains(bgr);
    if (chains.size() < 3 || !directionsSpread(chains))
        return std::nullopt;
    const cv::Size picture = bgr.size();
    const CLensModel pinhole = CLensModel::pinhole(picture);
    std::optional<CLensModel> lens = FitChains(chains, picture);
    if (!lens)
        return std::nullopt;
    // Pieces of one line the first fit saw apart are one line for the
    // second: a long line bends the most.
    chains = MergeChains(chains, *lens);
    if (chains.size() < 3 || !directionsSpread(chains))
        return std::nullopt;
    lens = FitChains(chains, picture);
    if (!lens)
        return std::nullopt;
    // Lines the lens does not straighten are painted curves (an arc, a
    // circle's edge): leave them out and fit again.
    std::vector<double> each;
    for (const Chain& chain : chains)
        each.push_back(Straightness({ chain }, *lens));
    std::vector<double> sorted = each;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double limit = std::max(kOutlierFactor * sorted[sorted.size() / 2], kOutlierFloorPx);
    std::vector<Chain> kept;
    for (std::size_t i = 0; i < chains.size(); ++i) {
        if (each[i] <= limit)
            kept.push_back(chains[i]);
    }
    if (kept.size() != chains.size()) {
        if (kept.size() < 3 || !directionsSpread(kept))
            return std::nullopt;
        lens = FitChains(kept, picture);
        if (!lens)
            return std::nullopt;
    }
    const double before = Straightness(kept, pinhole);
    const double after = Straightness(kept, *lens);
    if (before < kMinBendingRmsPx || after > (1.0 - kMinImprovement) * before)
        return std::nullopt;
    if (straightRmsPx)
        *straightRmsPx = after;
    return lens;
}
