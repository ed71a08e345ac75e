#include "pitch/CLensEstimator.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

// How straight a lens makes the painted lines, and the lens that makes them
// straightest: Levenberg-Marquardt over k1, k2 and the centre.

namespace {

// At most this many points of a chain take part in the fit, so that no
// chain outweighs the others by far.
constexpr std::size_t kMaxFitPoints = 160;
// Step of the fit's numerical derivatives, and its iterations per run.
constexpr double kJacobianStep = 1e-6;
constexpr int kFitIterations = 40;
// Two pieces of one painted line (split by a player, or bent too far for
// the first fit to follow): their ideal points lie on one straight line
// within this many pixels.
constexpr double kMergeRmsPx = 1.5;
constexpr double kMergeMaxPx = 4.5;

using Chain = CLensEstimator::Chain;

// The distances of the undistorted chain points from each chain's best
// straight line, in recorded pixels; appended to `out`.
void straightnessResiduals(
    const std::vector<Chain>& chains, const CLensModel& lens, std::vector<double>& out)
{
    for (const Chain& chain : chains) {
        std::vector<cv::Point2d> ideal(chain.size());
        cv::Point2d mean;
        for (std::size_t i = 0; i < chain.size(); ++i) {
            ideal[i] = lens.undistort(chain[i]);
            mean += ideal[i];
        }
        mean *= 1.0 / static_cast<double>(chain.size());
        double sxx = 0.0, sxy = 0.0, syy = 0.0;
        for (const cv::Point2d& u : ideal) {
            const cv::Point2d d = u - mean;
            sxx += d.x * d.x;
            sxy += d.x * d.y;
            syy += d.y * d.y;
        }
        // The normal of the total-least-squares line: the direction of least spread.
        const double angle = 0.5 * std::atan2(2.0 * sxy, sxx - syy);
        const cv::Point2d normal(-std::sin(angle), std::cos(angle));
        for (std::size_t i = 0; i < chain.size(); ++i) {
            const double rho = cv::norm(chain[i] - lens.centre()) / lens.unitRadius();
            out.push_back((ideal[i] - mean).dot(normal) / lens.factor(rho));
        }
    }
}

// A lens from the fitted parameters (k1, k2 and, when fitted, the centre's
// offset from the middle in units of half the diagonal), unchecked.
struct LensParameters
{
    cv::Size picture;
    bool withCentre = false;

    CLensModel lensOf(const cv::Mat& p) const
    {
        const CLensModel middle = CLensModel::pinhole(picture);
        cv::Point2d centre = middle.centre();
        if (withCentre)
            centre += cv::Point2d(p.at<double>(2), p.at<double>(3)) * middle.unitRadius();
        return CLensModel::unchecked(p.at<double>(0), p.at<double>(1), centre, picture);
    }
};

class StraightnessCallback : public cv::LMSolver::Callback
{
public:
    StraightnessCallback(const std::vector<Chain>& chains, LensParameters parameters)
        : chains(chains)
        , parameters(parameters)
    { }

    bool compute(cv::InputArray param, cv::OutputArray err, cv::OutputArray jacobian) const override
    {
        const cv::Mat p = param.getMat().clone();
        const std::vector<double> base = residuals(p);
        cv::Mat(base, true).copyTo(err);
        if (!jacobian.needed())
            return true;
        jacobian.create(static_cast<int>(base.size()), p.rows, CV_64F);
        cv::Mat j = jacobian.getMat();
        for (int k = 0; k < p.rows; ++k) {
            cv::Mat moved = p.clone();
            moved.at<double>(k) += kJacobianStep;
            const std::vector<double> ahead = residuals(moved);
            for (std::size_t i = 0; i < base.size(); ++i)
                j.at<double>(static_cast<int>(i), k) = (ahead[i] - base[i]) / kJacobianStep;
        }
        return true;
    }

private:
    std::vector<double> residuals(const cv::Mat& p) const
    {
        std::vector<double> out;
        straightnessResiduals(chains, parameters.lensOf(p), out);
        return out;
    }

    const std::vector<Chain>& chains;
    LensParameters parameters;
};

// Keeps every n-th point so that no chain outweighs the others by far.
Chain thinned(const Chain& chain)
{
    if (chain.size() <= kMaxFitPoints)
        return chain;
    Chain kept;
    const double stride = static_cast<double>(chain.size()) / kMaxFitPoints;
    for (std::size_t i = 0; i < kMaxFitPoints; ++i)
        kept.push_back(chain[static_cast<std::size_t>(i * stride)]);
    return kept;
}

double rmsOf(const std::vector<double>& values)
{
    if (values.empty())
        return 0.0;
    return std::sqrt(std::inner_product(values.begin(), values.end(), values.begin(), 0.0)
        / static_cast<double>(values.size()));
}

} // namespace

double CLensEstimator::Straightness(const std::vector<Chain>& chains, const CLensModel& lens)
{
    std::vector<double> residuals;
    straightnessResiduals(chains, lens, residuals);
    return rmsOf(residuals);
}

std::optional<CLensModel> CLensEstimator::FitChains(
    const std::vector<Chain>& raw, cv::Size picture, bool fitCentre)
{
    if (raw.size() < 3)
        return std::nullopt;
    std::vector<Chain> chains;
    for (const Chain& chain : raw)
        chains.push_back(thinned(chain));
    // First k1 and k2 about the middle of the picture, then the centre too.
    cv::Mat p = cv::Mat::zeros(2, 1, CV_64F);
    cv::LMSolver::create(
        cv::makePtr<StraightnessCallback>(chains, LensParameters { picture, false }), kFitIterations)
        ->run(p);
    if (fitCentre) {
        cv::Mat q = cv::Mat::zeros(4, 1, CV_64F);
        p.copyTo(q.rowRange(0, 2));
        cv::LMSolver::create(
            cv::makePtr<StraightnessCallback>(chains, LensParameters { picture, true }), kFitIterations)
            ->run(q);
        const CLensModel withCentre = LensParameters { picture, true }.lensOf(q);
        if (CLensModel::make(withCentre.k1(), withCentre.k2(), withCentre.centre(), picture))
            return withCentre;
    }
    const CLensModel middle = LensParameters { picture, false }.lensOf(p);
    return CLensModel::make(middle.k1(), middle.k2(), middle.centre(), picture);
}

std::vector<Chain> CLensEstimator::MergeChains(
    const std::vector<Chain>& chains, const CLensModel& lens)
{
    std::vector<Chain> merged = chains;
    const auto fitsOneLine = [&](const Chain& a, const Chain& b) {
        Chain both = a;
        both.insert(both.end(), b.begin(), b.end());
        std::vector<double> residuals;
        straightnessResiduals({ both }, lens, residuals);
        double worst = 0.0;
        for (double r : residuals)
            worst = std::max(worst, std::abs(r));
        return rmsOf(residuals) < kMergeRmsPx && worst < kMergeMaxPx;
    };
    for (bool joined = true; joined;) {
        joined = false;
        for (std::size_t i = 0; i < merged.size() && !joined; ++i) {
            for (std::size_t j = i + 1; j < merged.size() && !joined; ++j) {
                if (!fitsOneLine(merged[i], merged[j]))
                    continue;
                merged[i].insert(merged[i].end(), merged[j].begin(), merged[j].end());
                merged.erase(merged.begin() + static_cast<std::ptrdiff_t>(j));
                joined = true;
            }
        }
    }
    return merged;
}
