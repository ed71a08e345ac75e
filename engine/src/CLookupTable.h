#pragma once

// Placeholder until the image-analysis stages land.
class CLookupTable
{
public:
    CLookupTable() = default;
    virtual ~CLookupTable() = default;
};
