#include "PasteRules.h"

#include <algorithm>

namespace PasteRules {

Plan plan(const CellBlock::Block &block, int activeRow, int activeColumn, Area selection, int columnCount)
{
    Plan result;
    if (block.isEmpty())
        return result;
    const bool oneValue = block.size() == 1 && block.first().size() == 1;
    const bool selectionIsBlock = selection.bottom > selection.top || selection.right > selection.left;
    if (oneValue && selectionIsBlock) {
        result.top = selection.top;
        result.left = selection.left;
        const int right = std::min(selection.right, columnCount - 1);
        const QStringList row(std::max(0, right - selection.left + 1), block.first().first());
        result.cells = CellBlock::Block(selection.bottom - selection.top + 1, row);
        result.rowsNeeded = selection.bottom + 1;
        return result;
    }
    result.top = activeRow;
    result.left = activeColumn;
    const int room = std::max(0, columnCount - activeColumn);
    result.cells.reserve(block.size());
    for (const QStringList &row : block) {
        if (row.size() > room) {
            result.cellsCut += int(row.size()) - room;
            result.cells.append(row.first(room));
        } else {
            result.cells.append(row);
        }
    }
    result.rowsNeeded = activeRow + int(block.size());
    return result;
}

} // namespace PasteRules
