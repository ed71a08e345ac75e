#include "analysis/CBinaryWindow.h"

#include <cstddef>

CBinaryWindow::CBinaryWindow(int size)
    : cells(size > 0 ? static_cast<std::size_t>(size) * static_cast<std::size_t>(size) : 0, 0)
    , size(size)
{ }

CBinaryWindow::~CBinaryWindow() = default;

int CBinaryWindow::Match(CBinaryWindow patch) const
{
    if (patch.size != size || size <= 0)
        return -1;
    const int half = size / 2;
    const int required = centre();
    const int own = patch.centre();
    if (own == required)
        return required;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            if (row == half && column == half)
                continue;
            const int value = patch.cell(row, column);
            if (value != cell(row, column) && value != required)
                return own;
        }
    }
    return required;
}
