#pragma once

// Placeholder until the image-analysis stages land.
class CProbabilityMatrix
{
public:
    CProbabilityMatrix() = default;
    virtual ~CProbabilityMatrix() = default;
};
