#include "analysis/CMotionAnalysis.h"

#include <opencv2/imgproc.hpp>

namespace {

// Grey-level differences up to this much are noise, not motion.
constexpr double kMotionThresholdGrey = 5.0;
constexpr double kMarked = 255.0;

void thresholdedDifference(const cv::Mat& a, const cv::Mat& b, cv::Mat& motion)
{
    cv::absdiff(a, b, motion);
    cv::threshold(motion, motion, kMotionThresholdGrey, kMarked, cv::THRESH_BINARY);
}

int checkInputs(const cv::Mat& current, const cv::Mat& previous, const cv::Mat& beforePrevious)
{
    if (current.empty() || previous.empty() || beforePrevious.empty())
        return -1;
    if (current.type() != CV_8UC1 || previous.type() != CV_8UC1 || beforePrevious.type() != CV_8UC1)
        return -2;
    if (previous.size() != current.size() || beforePrevious.size() != current.size())
        return -1;
    return 0;
}

} // namespace

CMotionAnalysis::CMotionAnalysis() = default;

CMotionAnalysis::~CMotionAnalysis() = default;

int CMotionAnalysis::Analyse(
    const cv::Mat& current, const cv::Mat& previous, const cv::Mat& beforePrevious)
{
    const int check = checkInputs(current, previous, beforePrevious);
    if (check != 0) {
        recentMotion.release();
        earlierMotion.release();
        motionChange.release();
        compareMask.release();
        return check;
    }
    // The results are refilled in place, so per-frame use allocates nothing.
    thresholdedDifference(current, previous, recentMotion);
    thresholdedDifference(previous, beforePrevious, earlierMotion);
    cv::absdiff(recentMotion, earlierMotion, motionChange);
    cv::compare(recentMotion, earlierMotion, compareMask, cv::CMP_GE);
    // Motion that stopped (recent 0, earlier 255) is not new motion.
    motionChange.setTo(0, compareMask == 0);
    return 0;
}
