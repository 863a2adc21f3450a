#include "RowCommands.h"

#include "core/grid/TableChange.h"
#include "core/table/RowRules.h"
#include "core/table/TableOperation.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
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
    // Each command is one step of the table's history. Rows that move are
    // recorded from the first one affected to the end of the table.
    switch (command) {
    case EditCommand::ClearAll: {
        // The rows themselves go into the history: blank ones take their place.
        const TablePlace before = m_table.history().place();
        AddressTableModel &model = *grid.table();
        const int count = model.rowCount();
        TableChange change = m_table.history().operate(TableOperation::blankRows(0, count, count));
        if (!change.changesNothing(model))
            m_table.history().push(QStringLiteral("初期化"), std::move(change), before);
        break;
    }
    case EditCommand::ClearRows:
        if (rows.count > 0)
            m_table.record(QStringLiteral("行消去"), rows.first, rows.count, [&] {
                const int last = rows.first + rows.count - 1;
                m_table.history().announce(
                    TableOperation::clearCells(rows.first - 1, last - 1, 0, AddressTableModel::ColumnCount - 1),
                    [&] { grid.ClearCells(1, rows.first, grid.ColCount(), last); });
            });
        break;
    case EditCommand::InsertRows:
    case EditCommand::DeleteRows: {
        if (rows.count == 0)
            return;
        // A step keeps only the rows it takes out: none for an insert, the
        // deleted ones for a delete; the rows after them just move.
        AddressTableModel &model = *grid.table();
        const TablePlace before = m_table.history().place();
        const bool insert = command == EditCommand::InsertRows;
        const int first = rows.first - 1;
        const int removed = insert ? 0 : std::min(rows.count, model.rowCount() - first);
        // Deleting every row still leaves one to type into.
        const int added = insert ? rows.count : (removed == model.rowCount() ? 1 : 0);
        TableChange change(0, {}, 0);
        grid.KeepingPlace([&] { change = m_table.history().operate(TableOperation::blankRows(first, removed, added)); });
        if (!change.changesNothing(model))
            m_table.history().push(insert ? QStringLiteral("行挿入") : QStringLiteral("行削除"), std::move(change), before);
        break;
    }
    default:
        break;
    }
}
