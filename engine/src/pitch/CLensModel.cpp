#include "pitch/CLensModel.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <limits>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kMaxIterations = 60;
// The undistortion map is computed on a grid this many pixels apart and
// interpolated between: the lens bends smoothly, so the interpolation
// stays within a few hundredths of a pixel.
constexpr int kMapStepPx = 2;

bool isFinite(cv::Point2d p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The first positive rho at which d/drho [rho (1 + k1 rho^2 + k2 rho^4)]
// = 1 + 3 k1 rho^2 + 5 k2 rho^4 reaches zero; infinite when it never does.
double firstStationaryRadius(double k1, double k2)
{
    // In s = rho^2: 5 k2 s^2 + 3 k1 s + 1 = 0.
    const double a = 5.0 * k2;
    const double b = 3.0 * k1;
    double smallest = kInfinity;
    if (a == 0.0) {
        if (b < 0.0)
            smallest = -1.0 / b;
    } else {
        const double discriminant = b * b - 4.0 * a;
        if (discriminant >= 0.0) {
            const double root = std::sqrt(discriminant);
            for (const double s : { (-b - root) / (2.0 * a), (-b + root) / (2.0 * a) }) {
                if (s > 0.0 && s < smallest)
                    smallest = s;
            }
        }
    }
    return std::sqrt(smallest);
}

} // namespace

CLensModel::CLensModel(double k1, double k2, cv::Point2d centre, cv::Size picture)
    : coefficient1(k1)
    , coefficient2(k2)
    , middle(centre)
    , picture(picture)
    , unit(std::max(0.5 * std::hypot(picture.width, picture.height), 1.0))
    , growthLimit(firstStationaryRadius(k1, k2))
{ }

CLensModel CLensModel::pinhole(cv::Size picture)
{
    return CLensModel(
        0.0, 0.0, cv::Point2d((picture.width - 1) * 0.5, (picture.height - 1) * 0.5), picture);
}

std::optional<CLensModel> CLensModel::make(
    double k1, double k2, cv::Point2d centre, cv::Size picture)
{
    if (!std::isfinite(k1) || !std::isfinite(k2) || !isFinite(centre)
        || std::abs(k1) > kMaxCoefficient || std::abs(k2) > kMaxCoefficient
        || picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    // The picture covers the pixels' squares: -0.5 .. size - 0.5.
    const double right = picture.width - 0.5;
    const double bottom = picture.height - 0.5;
    if (!(centre.x >= -0.5 && centre.x <= right && centre.y >= -0.5 && centre.y <= bottom))
        return std::nullopt;
    const CLensModel lens(k1, k2, centre, picture);
    const double farX = std::max(centre.x + 0.5, right - centre.x);
    const double farY = std::max(centre.y + 0.5, bottom - centre.y);
    if (!(std::hypot(farX, farY) / lens.unit < lens.growthLimit))
        return std::nullopt;
    return lens;
}

double CLensModel::factor(double rho) const
{
    const double rho2 = rho * rho;
    return 1.0 + coefficient1 * rho2 + coefficient2 * rho2 * rho2;
}

cv::Point2d CLensModel::undistort(cv::Point2d recorded) const
{
    if (isPinhole())
        return recorded;
    const cv::Point2d offset = recorded - middle;
    const double rho = std::hypot(offset.x, offset.y) / unit;
    return middle + offset * factor(rho);
}

std::optional<double> CLensModel::recordedRadius(double rhoIdeal) const
{
    const auto image = [this](double rho) { return rho * factor(rho); };
    double low = 0.0;
    double high = growthLimit;
    if (std::isfinite(high) && !(rhoIdeal < image(high)))
        return std::nullopt;
    // Newton's method from the ideal radius, kept inside a bracket that
    // bisection narrows whenever a step leaves it.
    double rho = std::isfinite(high) ? std::min(rhoIdeal, 0.5 * high) : rhoIdeal;
    for (int i = 0; i < kMaxIterations; ++i) {
        const double residual = image(rho) - rhoIdeal;
        if (residual == 0.0)
            return rho;
        (residual > 0.0 ? high : low) = rho;
        const double rho2 = rho * rho;
        const double slope = 1.0 + 3.0 * coefficient1 * rho2 + 5.0 * coefficient2 * rho2 * rho2;
        double next = rho - residual / slope;
        if (!(next > low && next < high))
            next = std::isfinite(high) ? 0.5 * (low + high) : 2.0 * rho + 1.0;
        if (std::abs(next - rho) <= 1e-16 * std::max(rho, 1.0))
            return next;
        rho = next;
    }
    return rho;
}

std::optional<cv::Point2d> CLensModel::distort(cv::Point2d ideal) const
{
    if (isPinhole())
        return ideal;
    if (!isFinite(ideal))
        return std::nullopt;
    const cv::Point2d offset = ideal - middle;
    const double distance = std::hypot(offset.x, offset.y);
    if (distance == 0.0)
        return ideal;
    const std::optional<double> rho = recordedRadius(distance / unit);
    if (!rho)
        return std::nullopt;
    return middle + offset * (*rho * unit / distance);
}

cv::Mat CLensModel::undistortPicture(const cv::Mat& recorded) const
{
    if (isPinhole() || recorded.empty())
        return recorded;
    const cv::Size coarse((recorded.cols + kMapStepPx - 1) / kMapStepPx + 1,
        (recorded.rows + kMapStepPx - 1) / kMapStepPx + 1);
    cv::Mat coarseX(coarse, CV_32FC1);
    cv::Mat coarseY(coarse, CV_32FC1);
    for (int j = 0; j < coarse.height; ++j) {
        for (int i = 0; i < coarse.width; ++i) {
            const cv::Point2d ideal(i * kMapStepPx, j * kMapStepPx);
            // Beyond where the lens reaches: a point outside any picture.
            const cv::Point2d source = distort(ideal).value_or(cv::Point2d(-1e6, -1e6));
            coarseX.at<float>(j, i) = static_cast<float>(source.x);
            coarseY.at<float>(j, i) = static_cast<float>(source.y);
        }
    }
    // Pixel x of the full map reads the grid at x / step.
    const cv::Matx23d shrink(1.0 / kMapStepPx, 0.0, 0.0, 0.0, 1.0 / kMapStepPx, 0.0);
    cv::Mat mapX, mapY;
    const int flags = cv::INTER_LINEAR | cv::WARP_INVERSE_MAP;
    cv::warpAffine(coarseX, mapX, shrink, recorded.size(), flags, cv::BORDER_REPLICATE);
    cv::warpAffine(coarseY, mapY, shrink, recorded.size(), flags, cv::BORDER_REPLICATE);
    cv::Mat ideal;
    cv::remap(recorded, ideal, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE,
        cv::Scalar::all(0));
    return ideal;
}
