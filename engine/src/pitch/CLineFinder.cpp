#include "pitch/CLineFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Painted lines are up to about 12 px wide in the pictures the engine gets
// (a 4K camera near the pitch); the top-hat keeps ridges narrower than its
// window.
constexpr int kTopHatSizePx = 15;
// Grey levels a line must stand out from the grass around it.
constexpr double kMinRidge = 30.0;
// Green in OpenCV's HSV (hue 0..180): grass and artificial turf, also in
// shade, but not grey asphalt, sky or white paint.
const cv::Scalar kGrassLow(30, 50, 40);
const cv::Scalar kGrassHigh(95, 255, 255);
// A line pixel has grass at most this far away.
constexpr int kGrassReachPx = 9;

// Segments: the probabilistic Hough transform on the line mask.
constexpr double kHoughRhoPx = 1.0;
constexpr double kHoughThetaRad = CV_PI / 360.0;
constexpr int kHoughVotes = 20;
constexpr double kMinSegmentPx = 20.0;
constexpr double kMaxSegmentGapPx = 4.0;
// Segments of one painted line.
const double kSameLineAngleRad = 3.0 * CV_PI / 180.0;
constexpr double kSameLineOffsetPx = 3.0;
// Refined lines closer than this are one line found twice.
const double kDuplicateAngleRad = 2.5 * CV_PI / 180.0;
constexpr double kDuplicateOffsetPx = 1.5;

// Refinement: ridge centres are searched across the line at every pixel
// along it, first widely round the rough line (wide enough for the widest
// line to end inside the search), then round the fit within the line's half
// width and kNarrowMarginPx.
constexpr double kWideSearchPx = 15.0;
constexpr double kMinWideSearchPx = 5.0;
constexpr double kWideMarginPx = 2.0;
// The rough width of a line is taken at this many places along its segment.
constexpr int kBandSamples = 7;
constexpr int kNarrowPasses = 3;
// A refit that turns and moves the line less than this has settled.
constexpr double kSettledCosine = 1.0 - 1e-9;
constexpr double kSettledOffsetPx = 0.005;
constexpr double kMinNarrowSearchPx = 3.0;
constexpr double kProfileStepPx = 0.5;
constexpr std::size_t kStackProfileSamples = 128;
constexpr double kAlongStepPx = 1.0;
// Where grass is looked for beside a ridge centre: this far beyond the
// line's edge.
constexpr double kGrassSideDistancesPx[] = { 1.5, 3.5, 5.5 };
// Where an outer line has no grass beyond it, its paint is this much paler
// (darkest channel) than the ground this far beyond its edge.
constexpr double kMinOuterContrast = 70.0;
constexpr double kBeyondPaintPx = 3.0;
// Fewer ridge centres than this along a line: not a line.
constexpr std::size_t kMinSupport = 12;
constexpr double kMinSupportShare = 0.5;
// Ridge centres of a straight line lie this close to it.
constexpr double kMaxOffLinePx = 1.0;

// Bilinear sample of an 8-bit, one-channel image; 0 outside it.
double sampleAt(const cv::Mat& image, cv::Point2d at)
{
    const int x0 = static_cast<int>(std::floor(at.x));
    const int y0 = static_cast<int>(std::floor(at.y));
    if (x0 < 0 || y0 < 0 || x0 + 1 >= image.cols || y0 + 1 >= image.rows)
        return 0.0;
    const double fx = at.x - x0, fy = at.y - y0;
    const uchar* top = image.ptr<uchar>(y0) + x0;
    const uchar* bottom = image.ptr<uchar>(y0 + 1) + x0;
    return (1 - fy) * ((1 - fx) * top[0] + fx * top[1])
        + fy * ((1 - fx) * bottom[0] + fx * bottom[1]);
}

// The positions along line (distances from its point) inside the image.
bool rangeInside(const CLineFinder::Line& line, cv::Size size, double& from, double& to)
{
    from = -1e9;
    to = 1e9;
    const double point[2] = { line.point.x, line.point.y };
    const double direction[2] = { line.direction.x, line.direction.y };
    const double limit[2] = { size.width - 1.0, size.height - 1.0 };
    for (int axis = 0; axis < 2; ++axis) {
        if (std::abs(direction[axis]) < 1e-12) {
            if (point[axis] < 0 || point[axis] > limit[axis])
                return false;
            continue;
        }
        double a = -point[axis] / direction[axis];
        double b = (limit[axis] - point[axis]) / direction[axis];
        if (a > b)
            std::swap(a, b);
        from = std::max(from, a);
        to = std::min(to, b);
    }
    return from < to;
}

cv::Point2d normalOf(const CLineFinder::Line& line)
{
    return { -line.direction.y, line.direction.x };
}

double distanceTo(const CLineFinder::Line& line, cv::Point2d p)
{
    return std::abs((p - line.point).dot(normalOf(line)));
}

CLineFinder::Line lineThrough(cv::Point2d a, cv::Point2d b)
{
    const cv::Point2d d = b - a;
    return { a, d * (1.0 / cv::norm(d)), { 0.0, cv::norm(d) }, 0.0 };
}

// Ridge centres across line at every step along it, and the widths of the
// ridges there.
struct Centres
{
    std::vector<cv::Point2f> points;
    std::vector<double> widths;
};

Centres ridgeCentres(const cv::Mat& ridge, const CLineFinder::Line& line, double searchPx)
{
    Centres centres;
    double from = 0, to = 0;
    if (!rangeInside(line, ridge.size(), from, to))
        return centres;
    const cv::Point2d normal = normalOf(line);
    for (double t = from; t <= to; t += kAlongStepPx) {
        const cv::Point2d at = line.point + line.direction * t;
        if (const auto run = CLineFinder::RidgeAt(ridge, at, normal, searchPx)) {
            centres.points.emplace_back(at + normal * run->offset);
            centres.widths.push_back(run->width);
        }
    }
    return centres;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The width of the painted band under a rough line (a segment from its point
// along its support): the median length of the mask's run across it.
double bandWidth(const cv::Mat& mask, const CLineFinder::Line& rough)
{
    const cv::Point2d normal = normalOf(rough);
    const cv::Rect inside(0, 0, mask.cols, mask.rows);
    const auto painted = [&](cv::Point2d p) {
        const cv::Point q(cvRound(p.x), cvRound(p.y));
        return inside.contains(q) && mask.at<uchar>(q) != 0;
    };
    std::vector<double> widths;
    const double length = rough.support.empty() ? 0.0 : rough.support.back();
    for (int k = 0; k < kBandSamples; ++k) {
        const cv::Point2d at = rough.point + rough.direction * (length * (k + 0.5) / kBandSamples);
        if (!painted(at))
            continue;
        double run = 1.0;
        for (const double side : { -1.0, 1.0 }) {
            for (double d = 1.0; d <= kWideSearchPx && painted(at + normal * (side * d)); d += 1.0)
                run += 1.0;
        }
        widths.push_back(run);
    }
    return median(widths);
}

// Which sides of a ridge centre have grass just beyond the paint: bit 0 the
// side the normal points away from, bit 1 the side it points to.
int grassSides(const cv::Mat& grass, cv::Point2d centre, cv::Point2d normal, double halfWidth)
{
    const auto grassAt = [&](double side) {
        for (const double distance : kGrassSideDistancesPx) {
            const cv::Point at = centre + normal * (side * (halfWidth + distance));
            if (cv::Rect(0, 0, grass.cols, grass.rows).contains(at) && grass.at<uchar>(at) != 0)
                return true;
        }
        return false;
    };
    return (grassAt(-1.0) ? 1 : 0) | (grassAt(1.0) ? 2 : 0);
}

} // namespace

CLineFinder::CLineFinder()
    : CLineFinder(kMinSegmentPx)
{ }

CLineFinder::CLineFinder(double minSegmentPx)
    : minSegmentPx(std::max(minSegmentPx, kMinSegmentPx))
{ }

CLineFinder::~CLineFinder() = default;

cv::Mat CLineFinder::GrassMask(const cv::Mat& bgr)
{
    cv::Mat hsv, mask;
    cv::cvtColor(bgr, hsv, cv::COLOR_BGR2HSV);
    cv::inRange(hsv, kGrassLow, kGrassHigh, mask);
    return mask;
}

cv::Mat CLineFinder::RidgeImage(const cv::Mat& bgr) { return ridgeOf(paleOf(bgr)); }

CLineFinder::RidgeWindow CLineFinder::RidgeAround(
    const cv::Mat& bgr, const std::vector<cv::Point2f>& points, int marginPx)
{
    cv::Rect box = cv::boundingRect(points);
    box = cv::Rect(box.x - marginPx, box.y - marginPx, box.width + 2 * marginPx,
              box.height + 2 * marginPx)
        & cv::Rect(0, 0, bgr.cols, bgr.rows);
    if (box.empty())
        return {};
    return { RidgeImage(bgr(box)), cv::Point2d(box.x, box.y) };
}

cv::Mat CLineFinder::paleOf(const cv::Mat& bgr)
{
    cv::Mat channels[3], pale;
    cv::split(bgr, channels);
    cv::min(channels[0], channels[1], pale);
    cv::min(pale, channels[2], pale);
    return pale;
}

cv::Mat CLineFinder::ridgeOf(const cv::Mat& pale)
{
    cv::Mat ridge;
    const cv::Mat window
        = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kTopHatSizePx, kTopHatSizePx));
    cv::morphologyEx(pale, ridge, cv::MORPH_TOPHAT, window);
    return ridge;
}

cv::Mat CLineFinder::LineMask(const cv::Mat& ridge, const cv::Mat& grass)
{
    cv::Mat mask, nearGrass;
    cv::threshold(ridge, mask, kMinRidge, 255, cv::THRESH_BINARY);
    const cv::Mat reach = cv::getStructuringElement(
        cv::MORPH_RECT, cv::Size(2 * kGrassReachPx + 1, 2 * kGrassReachPx + 1));
    cv::dilate(grass, nearGrass, reach);
    return mask & nearGrass;
}

std::vector<CLineFinder::Line> CLineFinder::FindLines(const cv::Mat& bgr) const
{
    const cv::Mat pale = paleOf(bgr);
    const cv::Mat ridge = ridgeOf(pale);
    const cv::Mat grass = GrassMask(bgr);
    const Surroundings around { grass, pale, LineMask(ridge, grass) };
    std::vector<Line> lines;
    for (const Line& rough : groupSegments(segments(around.paint))) {
        const std::optional<Line> line = refine(ridge, around, rough);
        if (!line)
            continue;
        const auto same = std::find_if(lines.begin(), lines.end(), [&](const Line& other) {
            return std::abs(other.direction.dot(line->direction)) > std::cos(kDuplicateAngleRad)
                && distanceTo(other, line->point) < kDuplicateOffsetPx;
        });
        if (same == lines.end())
            lines.push_back(*line);
        else if (same->support.size() < line->support.size())
            *same = *line;
    }
    return lines;
}

std::optional<double> CLineFinder::RidgeOffset(
    const cv::Mat& ridge, cv::Point2d at, cv::Point2d normal, double searchPx)
{
    const std::optional<Ridge> run = RidgeAt(ridge, at, normal, searchPx);
    return run ? std::optional(run->offset) : std::nullopt;
}

std::optional<CLineFinder::Ridge> CLineFinder::RidgeAt(
    const cv::Mat& ridge, cv::Point2d at, cv::Point2d normal, double searchPx)
{
    if (!(searchPx >= kProfileStepPx && searchPx <= ridge.cols + ridge.rows))
        return std::nullopt;
    const int steps = static_cast<int>(std::floor(searchPx / kProfileStepPx));
    // On the stack for the usual search widths: this runs at every pixel
    // along every line.
    cv::AutoBuffer<double, kStackProfileSamples> profile(static_cast<std::size_t>(2 * steps + 1));
    for (int k = -steps; k <= steps; ++k)
        profile[k + steps] = sampleAt(ridge, at + normal * (k * kProfileStepPx));
    const double peak = *std::max_element(profile.data(), profile.data() + profile.size());
    if (peak < kMinRidge)
        return std::nullopt;
    // Runs above half the peak; the one nearest the middle is the ridge,
    // unless it reaches the end of the profile (a wide bright area, or a
    // line running along the profile). Its weighted middle is the centre
    // of the paint whatever its width.
    const double level = peak / 2;
    std::optional<Ridge> nearest;
    bool nearestCut = false;
    for (int k = 0; k < static_cast<int>(profile.size());) {
        if (profile[k] <= level) {
            ++k;
            continue;
        }
        const int first = k;
        double weight = 0, moment = 0;
        for (; k < static_cast<int>(profile.size()) && profile[k] > level; ++k) {
            weight += profile[k] - level;
            moment += (profile[k] - level) * (k - steps) * kProfileStepPx;
        }
        const bool cut = first == 0 || k == static_cast<int>(profile.size());
        const Ridge run { moment / weight, (k - first) * kProfileStepPx };
        if (!nearest || std::abs(run.offset) < std::abs(nearest->offset)) {
            nearest = run;
            nearestCut = cut;
        }
    }
    if (nearestCut)
        return std::nullopt;
    return nearest;
}

std::vector<cv::Vec4i> CLineFinder::segments(const cv::Mat& mask) const
{
    std::vector<cv::Vec4i> found;
    cv::HoughLinesP(
        mask, found, kHoughRhoPx, kHoughThetaRad, kHoughVotes, minSegmentPx, kMaxSegmentGapPx);
    return found;
}

std::vector<CLineFinder::Line> CLineFinder::groupSegments(const std::vector<cv::Vec4i>& found) const
{
    std::vector<cv::Vec4i> byLength = found;
    const auto length = [](const cv::Vec4i& s) { return std::hypot(s[2] - s[0], s[3] - s[1]); };
    std::sort(byLength.begin(), byLength.end(),
        [&](const cv::Vec4i& a, const cv::Vec4i& b) { return length(a) > length(b); });
    std::vector<Line> groups;
    for (const cv::Vec4i& s : byLength) {
        const cv::Point2d a(s[0], s[1]), b(s[2], s[3]);
        if (a == b)
            continue;
        const Line candidate = lineThrough(a, b);
        const bool known = std::any_of(groups.begin(), groups.end(), [&](const Line& g) {
            return std::abs(g.direction.dot(candidate.direction)) > std::cos(kSameLineAngleRad)
                && distanceTo(g, a) < kSameLineOffsetPx && distanceTo(g, b) < kSameLineOffsetPx;
        });
        if (!known)
            groups.push_back(candidate);
    }
    return groups;
}

namespace {

// Fits line to the centres; false when there are too few.
bool fitTo(const Centres& centres, CLineFinder::Line& line)
{
    if (centres.points.size() < kMinSupport)
        return false;
    cv::Vec4f fit;
    cv::fitLine(centres.points, fit, cv::DIST_HUBER, 0, 0.01, 0.01);
    line.point = cv::Point2d(fit[2], fit[3]);
    line.direction = cv::Point2d(fit[0], fit[1]);
    line.width = median(centres.widths);
    return true;
}

// Whether a refit left the line where it was: the next search would find
// the same centres.
bool settled(const CLineFinder::Line& before, const CLineFinder::Line& after)
{
    return std::abs(before.direction.dot(after.direction)) > kSettledCosine
        && distanceTo(before, after.point) < kSettledOffsetPx;
}

// The positions along line of the centres that have grass beside them:
// on both sides, or on the side of the pitch where the line is an outer
// one (a track, a run-off or a wall beyond it). That side is the one most
// centres with grass on one side have it on.
std::vector<double> supportOf(
    const CLineFinder::Surroundings& around, const Centres& centres, const CLineFinder::Line& line)
{
    const cv::Point2d normal = normalOf(line);
    std::vector<int> sides;
    int counts[4] = { 0, 0, 0, 0 };
    for (const cv::Point2f& c : centres.points) {
        // A centre off the straight line is on a curve or on other paint.
        const bool straight = distanceTo(line, c) <= kMaxOffLinePx;
        sides.push_back(straight ? grassSides(around.grass, c, normal, line.width / 2) : 0);
        ++counts[sides.back()];
    }
    const int inner = counts[1] >= counts[2] ? 1 : 2;
    // Beyond an outer line the paint stands out clearly from what is there;
    // the edge of a road or a path beside a lawn does not.
    const double outwards = inner == 1 ? 1.0 : -1.0;
    const auto standsOut = [&](cv::Point2d c) {
        const cv::Point2d beyond = c + normal * (outwards * (line.width / 2 + kBeyondPaintPx));
        return sampleAt(around.pale, c) - sampleAt(around.pale, beyond) >= kMinOuterContrast;
    };
    std::vector<double> support;
    for (std::size_t k = 0; k < sides.size(); ++k) {
        if (sides[k] == 3 || (sides[k] == inner && standsOut(centres.points[k])))
            support.push_back((cv::Point2d(centres.points[k]) - line.point).dot(line.direction));
    }
    std::sort(support.begin(), support.end());
    return support;
}

} // namespace

std::optional<CLineFinder::Line> CLineFinder::refine(
    const cv::Mat& ridge, const Surroundings& around, const Line& rough) const
{
    // Widely first, for a rough line anywhere on a wide line; then within
    // the width found, so that neighbouring paint stays out.
    Line line = rough;
    // The rough line may run along either edge of the band.
    const double wideSearchPx = std::clamp(
        bandWidth(around.paint, rough) + kWideMarginPx, kMinWideSearchPx, kWideSearchPx);
    if (!fitTo(ridgeCentres(ridge, rough, wideSearchPx), line))
        return std::nullopt;
    // Narrowly, until the line settles: a rough line drawn through the
    // stretch where two lines' paint runs together starts askew, and
    // turns onto the line whose paint holds along it.
    Centres centres;
    for (int pass = 0; pass < kNarrowPasses; ++pass) {
        const double searchPx = std::max(kMinNarrowSearchPx, line.width / 2 + kNarrowMarginPx);
        const Line before = line;
        centres = ridgeCentres(ridge, line, searchPx);
        if (!fitTo(centres, line))
            return std::nullopt;
        if (settled(before, line))
            break;
    }
    // Paint is paint along most of its course: a line whose ridge has grass
    // beside it only here and there is the edge of something else.
    line.support = supportOf(around, centres, line);
    if (line.support.size()
        < std::max<double>(kMinSupport, kMinSupportShare * centres.points.size()))
        return std::nullopt;
    return line;
}
