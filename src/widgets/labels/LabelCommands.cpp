#include "LabelCommands.h"

#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "core/lookup/ListCheck.h"

#include <algorithm>

LabelSource LabelCommands::source() const
{
    vAdd &grid = m_table.grid();
    grid.CommitEdit();
    const TableState &state = m_table.state();
    LabelSource source;
    const auto cell = [&grid](AddressTableModel::Column column, int row) {
        return grid.GetCell(vAdd::gridColumn(column), row);
    };
    const int rows = grid.RowCount();
    source.records.reserve(rows);
    for (int row = 1; row <= rows; ++row) {
        LabelRecord record{row, cell(AddressTableModel::Zip, row), cell(AddressTableModel::Add, row),
                           cell(AddressTableModel::Cmp, row), cell(AddressTableModel::Tel, row)};
        // A suggestion nobody typed into is no address.
        if (row == state.PrefillRow && record.add == state.PrefillText)
            record.add.clear();
        source.records.append(record);
    }
    if (state.SelRowTo > 0) {
        source.blockFrom = std::min(state.SelRowFrom, state.SelRowTo);
        source.blockTo = std::max(state.SelRowFrom, state.SelRowTo);
    }
    // 一括チェック's kinds, once a check has listed its results: 一致 are the
    // checked rows without an entry.
    if (m_checks.checked && m_checks.checked()) {
        for (int kind = 0; kind < CheckKindCount; ++kind)
            source.kinds.append(caption(CheckKind(kind)));
        source.inKind = [kindOfRow = m_checks.kindOfRow](int row, int kind) { return kindOfRow(row) == kind; };
    }
    return source;
}

void LabelCommands::PrintLabels()
{
    LabelDialog dialog(source(), m_desktop, &m_window);
    const int result = runDialog ? runDialog(dialog) : dialog.exec();
    if (result == LabelDialog::CheckFirst)
        m_checks.runCheck();
}
