#pragma once

#include "CBinaryWindow.h"

#include <vector>

// Placeholder until the image-analysis stages land.
class CSegmentation
{
public:
    CSegmentation() = default;
    virtual ~CSegmentation() = default;

    int AddWindow(CBinaryWindow window)
    {
        windows.push_back(window);
        return 0;
    }

private:
    std::vector<CBinaryWindow> windows;
};
