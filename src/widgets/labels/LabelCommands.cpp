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
    // Columns a list taken in keeps in its rows: one can name the addressee.
    AddressTableModel &model = *grid.table();
    const AddressTableModel::Rows &all = model.rows();
    if (state.Kept.any()
        && std::any_of(all.begin(), all.end(), [](const AddressTableModel::Row &r) { return r.hasKept(); })) {
        for (const int c : state.Kept.kept) {
            const QString name = state.Kept.header ? state.Kept.names.value(c).trimmed() : QString();
            source.keptColumns.append(name.isEmpty() ? QStringLiteral("%1 列目").arg(c + 1) : name);
        }
        source.keptCell = [&model](int row, int column) {
            return row >= 1 && row <= model.rowCount() ? model.row(row - 1).keptCells().value(column) : QString();
        };
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
