#include "tracking/CTrackSmoother.h"

#include <algorithm>
#include <cmath>

CTrackSmoother::CTrackSmoother(double fps)
    : fps(fps > 0 ? fps : 25.0)
    , halfWindow(std::max(1, int(std::lround(kWindowS * this->fps / 2))))
{ }

CTrackSmoother::Result CTrackSmoother::smooth(const std::vector<cv::Point2d>& raw) const
{
    const int n = int(raw.size());
    Result r;
    r.positions.resize(n);
    r.speedsMps.assign(n, 0.0);
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - halfWindow), to = std::min(n - 1, i + halfWindow);
        // Least squares of p(k) = a + b k + c k^2, k = j - i, by the normal
        // equations (3 x 3, well conditioned for these small k).
        cv::Matx33d m = cv::Matx33d::zeros();
        cv::Matx32d rhs = cv::Matx32d::zeros();
        for (int j = from; j <= to; ++j) {
            const double k = j - i, powers[3] = { 1, k, k * k };
            for (int a = 0; a < 3; ++a) {
                for (int b = 0; b < 3; ++b)
                    m(a, b) += powers[a] * powers[b];
                rhs(a, 0) += powers[a] * raw[j].x;
                rhs(a, 1) += powers[a] * raw[j].y;
            }
        }
        const int terms = std::min(3, to - from + 1);
        cv::Matx32d coef = cv::Matx32d::zeros();
        if (terms == 3)
            cv::solve(m, rhs, coef, cv::DECOMP_CHOLESKY);
        if (terms < 3 || !std::isfinite(coef(0, 0))) {
            r.positions[i] = raw[i];
            continue;
        }
        r.positions[i] = cv::Point2d(coef(0, 0), coef(0, 1));
        const double speed = std::hypot(coef(1, 0), coef(1, 1)) * fps;
        r.speedsMps[i] = speed < kStillMps ? 0.0 : speed;
    }
    return r;
}

double CTrackSmoother::distance(const std::vector<double>& speedsMps) const
{
    double sum = 0;
    for (std::size_t i = 1; i < speedsMps.size(); ++i)
        sum += (speedsMps[i - 1] + speedsMps[i]) / 2 / fps;
    return sum;
}
