#include "pitch/CPointCalibration.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Relative size of a triangle's area below which three points count as
// lying on one line (as the pitch model judges its corners).
constexpr double kCollinearTolerance = 1e-9;
// The search for four points in general position looks at this many points
// at most; real calibrations give a few dozen.
constexpr std::size_t kGeneralPositionSearch = 64;

bool isFinite(cv::Point2d p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool apart(cv::Point2d a, cv::Point2d b, cv::Point2d c)
{
    const cv::Point2d u = b - a;
    const cv::Point2d v = c - a;
    return std::abs(u.cross(v)) > kCollinearTolerance * cv::norm(u) * cv::norm(v);
}

// (x, y, w) = h (p, 1).
cv::Vec3d lift(const cv::Matx33d& h, cv::Point2d p) { return h * cv::Vec3d(p.x, p.y, 1.0); }

} // namespace

bool CPointCalibration::hasGeneralFour(const std::vector<cv::Point2d>& points)
{
    const std::size_t n = std::min(points.size(), kGeneralPositionSearch);
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            for (std::size_t c = b + 1; c < n; ++c) {
                if (!apart(points[a], points[b], points[c]))
                    continue;
                for (std::size_t d = c + 1; d < n; ++d) {
                    if (apart(points[a], points[b], points[d])
                        && apart(points[a], points[c], points[d])
                        && apart(points[b], points[c], points[d]))
                        return true;
                }
            }
        }
    }
    return false;
}

std::optional<CPointCalibration::Result> CPointCalibration::Fit(
    const std::vector<cv::Point2d>& picture, const std::vector<cv::Point2d>& pitch,
    const CLensModel& lens, double width, double length)
{
    const auto finite = [](const std::vector<cv::Point2d>& v) {
        return std::all_of(v.begin(), v.end(), [](cv::Point2d p) { return isFinite(p); });
    };
    if (picture.size() < 4 || picture.size() != pitch.size() || !finite(picture) || !finite(pitch)
        || !(std::isfinite(width) && width > 0.0 && std::isfinite(length) && length > 0.0))
        return std::nullopt;
    std::vector<cv::Point2d> ideal(picture.size());
    std::transform(picture.begin(), picture.end(), ideal.begin(),
        [&](cv::Point2d p) { return lens.undistort(p); });
    if (!finite(ideal) || !hasGeneralFour(ideal) || !hasGeneralFour(pitch))
        return std::nullopt;
    // A normalised linear fit refined by Levenberg-Marquardt on the
    // reprojection error in the picture (OpenCV does both for method 0).
    const cv::Mat found = cv::findHomography(pitch, ideal, 0);
    if (found.empty())
        return std::nullopt;
    cv::Matx33d h = cv::Matx33d(found);
    // w has one sign over the points the camera sees; make it positive.
    if (lift(h, pitch[0])[2] < 0.0)
        h = h * -1.0;
    for (const cv::Point2d& p : pitch) {
        if (!(lift(h, p)[2] > 0.0))
            return std::nullopt;
    }
    Result result;
    const cv::Point2d pitchCorners[4] = { { 0.0, length }, { width, length }, { 0.0, 0.0 },
        { width, 0.0 } };
    for (int i = 0; i < 4; ++i) {
        const cv::Vec3d v = lift(h, pitchCorners[i]);
        const cv::Point2d corner(v[0] / v[2], v[1] / v[2]);
        if (!(v[2] > 0.0) || !isFinite(corner))
            return std::nullopt;
        result.idealCorners[i] = corner;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < pitch.size(); ++i) {
        const cv::Vec3d v = lift(h, pitch[i]);
        const cv::Point2d projected(v[0] / v[2], v[1] / v[2]);
        const cv::Point2d recorded = lens.distort(projected).value_or(projected);
        const cv::Point2d error = recorded - picture[i];
        sum += error.dot(error);
    }
    result.rmsPx = std::sqrt(sum / static_cast<double>(pitch.size()));
    return result;
}
