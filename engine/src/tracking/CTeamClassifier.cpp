#include "tracking/CTeamClassifier.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kRefits = 3;
constexpr double kSpreadFactor = 3.0; // inliers lie within this many median distances
// Beyond its cluster's radius a colour still counts when it lies within
// this many radii and clearly nearer that team than the other.
constexpr double kLooseRadii = 2.0;
constexpr double kClearlyNearer = 0.5;
constexpr std::uint64_t kSeed = 0x7ea35eedULL;

struct Fit
{
    cv::Vec3f centre[2];
    double radius[2];
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

bool fitTwo(const std::vector<cv::Vec3f>& colours, Fit& fit)
{
    if (colours.size() < 2)
        return false;
    // k-means draws its first centres from OpenCV's thread RNG: a fixed
    // seed makes the same video give the same teams every time.
    const cv::RNG saved = cv::theRNG();
    cv::theRNG() = cv::RNG(kSeed);
    cv::Mat labels, centres;
    cv::kmeans(colours, 2, labels,
        cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 50, 0.01), 5,
        cv::KMEANS_PP_CENTERS, centres);
    cv::theRNG() = saved;
    std::vector<double> spread[2];
    for (int c = 0; c < 2; ++c)
        fit.centre[c] = centres.at<cv::Vec3f>(c);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const int c = labels.at<int>(int(i));
        spread[c].push_back(cv::norm(colours[i] - fit.centre[c]));
    }
    for (int c = 0; c < 2; ++c)
        fit.radius[c] = std::max(CTeamClassifier::kMinRadius, kSpreadFactor * median(spread[c]));
    return true;
}

int nearest(const Fit& fit, const cv::Vec3f& colour, bool loose)
{
    const double d0 = cv::norm(colour - fit.centre[0]), d1 = cv::norm(colour - fit.centre[1]);
    const int c = d0 <= d1 ? 0 : 1;
    const double near = std::min(d0, d1), far = std::max(d0, d1);
    if (near <= fit.radius[c])
        return c;
    return loose && near <= kLooseRadii * fit.radius[c] && near < kClearlyNearer * far ? c : -1;
}

} // namespace

std::vector<int> CTeamClassifier::classify(const std::vector<cv::Vec3f>& colours)
{
    std::vector<int> teams(colours.size(), -1);
    Fit fit;
    std::vector<cv::Vec3f> inliers = colours;
    for (int round = 0; round < kRefits; ++round) {
        if (!fitTwo(inliers, fit))
            return teams;
        std::vector<cv::Vec3f> kept;
        for (const cv::Vec3f& c : colours)
            if (nearest(fit, c, false) >= 0)
                kept.push_back(c);
        if (kept.size() == inliers.size())
            break;
        inliers = std::move(kept);
    }
    for (std::size_t i = 0; i < colours.size(); ++i)
        teams[i] = nearest(fit, colours[i], true);
    return teams;
}
