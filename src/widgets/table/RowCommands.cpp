#include "RowCommands.h"

#include "core/table/RowRules.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"

#include <algorithm>

void RowCommands::mnEdt_Click(int index)
{
    using RowRules::EditCommand;
    vAdd &grid = m_table.grid();
    const TableState &state = m_table.state();
    // Text still being typed belongs to its cell before rows move; an
    // untouched pre-fill is taken back.
    grid.EndEdit();
    m_table.dropPrefill();
    const auto command = EditCommand(index);
    const RowRules::Rows rows = RowRules::rowsFor(
        command, {state.SelRowFrom, state.SelRowTo, grid.CurRow(), grid.RowCount()});
    switch (command) {
    case EditCommand::ClearAll:
        grid.ClearCells(-1, -1, -1, -1);
        m_table.markDirty();
        break;
    case EditCommand::ClearRows:
        if (rows.count > 0)
            grid.ClearCells(1, rows.first, grid.ColCount(), rows.first + rows.count - 1);
        m_table.markDirty();
        break;
    case EditCommand::InsertRows:
        if (rows.count == 0)
            return;
        grid.SetRowCount(grid.RowCount() + rows.count);
        grid.InsertRowsAt(rows.first, rows.count);
        m_table.markDirty();
        break;
    case EditCommand::DeleteRows: {
        if (rows.count == 0)
            return;
        const int total = grid.RowCount();
        grid.DeleteRowsAt(rows.first, rows.count);
        // Deleting every row still leaves one to type into.
        grid.SetRowCount(std::max(total - rows.count, 1));
        m_table.markDirty();
        break;
    }
    default:
        break;
    }
}
