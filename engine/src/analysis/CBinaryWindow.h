#pragma once

#include <vector>

// A square pattern of cells (0 or 255 in use), row by row. Match decides the
// new value of a patch's centre pixel: a pixel that differs from the window's
// centre value takes that value when every neighbour either agrees with the
// pattern or already has the centre value.
class CBinaryWindow
{
public:
    // The cells start at 0. A size of 0 or less gives a window without cells
    // that matches nothing.
    explicit CBinaryWindow(int size);
    virtual ~CBinaryWindow();
    CBinaryWindow(const CBinaryWindow&) = default;
    CBinaryWindow& operator=(const CBinaryWindow&) = default;
    CBinaryWindow(CBinaryWindow&&) = default;
    CBinaryWindow& operator=(CBinaryWindow&&) = default;

    int getSize() const { return size; }
    int& cell(int row, int column) { return cells[index(row, column)]; }
    int cell(int row, int column) const { return cells[index(row, column)]; }
    int centre() const { return cell(size / 2, size / 2); }

    // The new value of the patch's centre, or -1 when the sizes differ or
    // the window has no centre.
    int Match(CBinaryWindow patch) const;

private:
    std::size_t index(int row, int column) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(size)
            + static_cast<std::size_t>(column);
    }

    std::vector<int> cells;
    int size;
};
