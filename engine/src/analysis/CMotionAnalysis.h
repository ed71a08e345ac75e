#pragma once

#include <opencv2/core.hpp>

// Motion from three consecutive grey frames: where the newest frame changed
// against the previous one, where the previous one changed against the one
// before, and where a change is new (changed now but not before).
class CMotionAnalysis
{
public:
    CMotionAnalysis();
    virtual ~CMotionAnalysis();

    // 0 done; -1 an input is missing or the three differ in size; -2 an input
    // is not 8-bit single-channel. On failure no result image is left.
    int Analyse(const cv::Mat& current, const cv::Mat& previous, const cv::Mat& beforePrevious);

    const cv::Mat& getRecentMotion() const { return recentMotion; }
    const cv::Mat& getEarlierMotion() const { return earlierMotion; }
    const cv::Mat& getMotionChange() const { return motionChange; }
    const cv::Mat& getCompareMask() const { return compareMask; }

private:
    cv::Mat recentMotion;
    cv::Mat earlierMotion;
    cv::Mat motionChange;
    cv::Mat compareMask;
};
