#include "LensWarp.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace testclips {

namespace {

double unitRadius(cv::Size picture) { return 0.5 * std::hypot(picture.width, picture.height); }

} // namespace

cv::Point2d Lens::centre(cv::Size picture) const
{
    return { (picture.width - 1) * 0.5 + centreShiftX * picture.width,
        (picture.height - 1) * 0.5 + centreShiftY * picture.height };
}

cv::Point2d Lens::undistort(cv::Point2d recorded, cv::Size picture) const
{
    const cv::Point2d c = centre(picture);
    const double rho = cv::norm(recorded - c) / unitRadius(picture);
    const double rho2 = rho * rho;
    return c + (recorded - c) * (1.0 + k1 * rho2 + k2 * rho2 * rho2);
}

cv::Point2d Lens::distort(cv::Point2d ideal, cv::Size picture) const
{
    const cv::Point2d c = centre(picture);
    const double target = cv::norm(ideal - c) / unitRadius(picture);
    if (target == 0.0)
        return ideal;
    const auto image = [&](double rho) { return rho * (1.0 + k1 * rho * rho + k2 * std::pow(rho, 4)); };
    // The generator's lenses grow monotonically over the range searched.
    double low = 0.0;
    double high = 4.0 * target + 1.0;
    for (int i = 0; i < 200 && high - low > 1e-15; ++i) {
        const double middle = 0.5 * (low + high);
        (image(middle) < target ? low : high) = middle;
    }
    return c + (ideal - c) * (0.5 * (low + high) / target);
}

cv::Mat warpThroughLens(const cv::Mat& ideal, const Lens& lens)
{
    if (!lens.active() || ideal.empty())
        return ideal;
    const cv::Size size = ideal.size();
    cv::Mat mapX(size, CV_32FC1);
    cv::Mat mapY(size, CV_32FC1);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const cv::Point2d u = lens.undistort(cv::Point2d(x, y), size);
            mapX.at<float>(y, x) = static_cast<float>(u.x);
            mapY.at<float>(y, x) = static_cast<float>(u.y);
        }
    }
    cv::Mat recorded;
    cv::remap(ideal, recorded, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return recorded;
}

} // namespace testclips
