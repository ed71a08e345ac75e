#pragma once

// Placeholder until the image-analysis stages land.
class CMotionAnalysis
{
public:
    CMotionAnalysis() = default;
    virtual ~CMotionAnalysis() = default;
};
