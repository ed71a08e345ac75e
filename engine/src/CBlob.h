#pragma once

// Placeholder until the image-analysis stages land.
class CBlob
{
public:
    CBlob() = default;
    virtual ~CBlob() = default;
};
