#pragma once

#include <opencv2/core.hpp>

#include <vector>

// One-to-one assignment of minimum total cost (the Hungarian method, in its
// O(n^3) form with potentials). OpenCV has none: cv::ml and the tracking
// module match greedily. Pairs whose cost is at or above `forbidden` are
// never made; a row left without a partner gets -1.
class CAssignment
{
public:
    static std::vector<int> solve(const cv::Mat_<double>& cost, double forbidden);
};
