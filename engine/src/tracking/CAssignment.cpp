#include "tracking/CAssignment.h"

#include <algorithm>
#include <limits>

namespace {

// Rows <= columns. p[j]: the row given column j (1-based, 0 = none).
std::vector<int> hungarian(const cv::Mat_<double>& a)
{
    const int n = a.rows, m = a.cols;
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> u(n + 1, 0), v(m + 1, 0), minv(m + 1);
    std::vector<int> p(m + 1, 0), way(m + 1, 0);
    std::vector<char> used(m + 1);
    for (int i = 1; i <= n; ++i) {
        p[0] = i;
        int j0 = 0;
        std::fill(minv.begin(), minv.end(), inf);
        std::fill(used.begin(), used.end(), 0);
        do {
            used[j0] = 1;
            const int i0 = p[j0];
            double delta = inf;
            int j1 = 0;
            for (int j = 1; j <= m; ++j) {
                if (used[j])
                    continue;
                const double cur = a(i0 - 1, j - 1) - u[i0] - v[j];
                if (cur < minv[j]) {
                    minv[j] = cur;
                    way[j] = j0;
                }
                if (minv[j] < delta) {
                    delta = minv[j];
                    j1 = j;
                }
            }
            for (int j = 0; j <= m; ++j) {
                if (used[j]) {
                    u[p[j]] += delta;
                    v[j] -= delta;
                } else {
                    minv[j] -= delta;
                }
            }
            j0 = j1;
        } while (p[j0] != 0);
        do {
            const int j1 = way[j0];
            p[j0] = p[j1];
            j0 = j1;
        } while (j0);
    }
    return p;
}

} // namespace

std::vector<int> CAssignment::solve(const cv::Mat_<double>& cost, double forbidden)
{
    std::vector<int> rowToCol(cost.rows, -1);
    if (cost.rows == 0 || cost.cols == 0)
        return rowToCol;
    // Forbidden pairs get a cost above any allowed assignment's total, so
    // they are taken only where nothing else is left, and then dropped.
    const bool transposed = cost.rows > cost.cols;
    cv::Mat_<double> a = transposed ? cv::Mat_<double>(cost.t()) : cost.clone();
    const double big = forbidden * (std::max(a.rows, a.cols) + 1);
    for (double& c : a)
        c = std::min(c, big);
    const std::vector<int> p = hungarian(a);
    for (int j = 1; j <= a.cols; ++j) {
        if (p[j] == 0)
            continue;
        const int row = transposed ? j - 1 : p[j] - 1;
        const int col = transposed ? p[j] - 1 : j - 1;
        if (cost(row, col) < forbidden)
            rowToCol[row] = col;
    }
    return rowToCol;
}
