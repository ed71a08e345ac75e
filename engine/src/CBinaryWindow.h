#pragma once

#include <vector>

// A square pattern of 0/255 cells, row by row.
class CBinaryWindow
{
public:
    explicit CBinaryWindow(int size)
        : cells(static_cast<std::size_t>(size * size), 0)
        , size(size)
    {
    }
    virtual ~CBinaryWindow() = default;

    int getSize() const { return size; }
    int& cell(int row, int column) { return cells[static_cast<std::size_t>(row * size + column)]; }

private:
    std::vector<int> cells;
    int size;
};
