#include "RowRules.h"

#include "core/grid/CellText.h"

#include <algorithm>

namespace RowRules {

Rows rowsFor(EditCommand command, const Where &where)
{
    const bool block = where.selRowTo >= 1;
    // Inserting always grows the table: with no active row (an empty table)
    // it inserts at the top.
    const int active = command == EditCommand::InsertRows && where.curRow < 1 ? 1 : where.curRow;
    const int first = block ? where.selRowFrom : active;
    const int count = block ? where.selRowTo - where.selRowFrom + 1 : 1;
    switch (command) {
    case EditCommand::ClearAll:
        return {1, where.rowCount};
    case EditCommand::InsertRows:
        if (count <= 0 || first < 1 || first > where.rowCount + 1)
            return {};
        return {first, count};
    case EditCommand::ClearRows:
    case EditCommand::DeleteRows:
        // Only rows that exist: a block reaching past the last row, or an
        // empty table, never touches another row.
        if (count <= 0 || first < 1 || first > where.rowCount)
            return {};
        return {first, std::min(count, where.rowCount - first + 1)};
    default: // the spreadsheet commands act on cells, not on the block of rows
        return {};
    }
}

QString prefill(const QString &addressAbove)
{
    const qsizetype space = addressAbove.indexOf(CellText::FullWidthSpace);
    return space < 0 ? addressAbove : addressAbove.left(space + 1);
}

} // namespace RowRules
