#include "CellReactions.h"

#include "core/table/RowRules.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/table/ImeBackend.h"

namespace {
constexpr int AddressCol = vAdd::gridColumn(AddressTableModel::Add);
constexpr int WorkplaceCol = vAdd::gridColumn(AddressTableModel::Cmp);
} // namespace

CellReactions::CellReactions(AddressTable &table, ImeBackend &ime) : m_table(table), m_ime(ime)
{
    // The grid itself takes the first keys of a composition, before its cell
    // editor exists.
    m_ime.attach(&m_table.grid());
}

void CellReactions::vAdd_LeavingCell(int, int, int newCol, int newRow, bool *)
{
    TableState &state = m_table.state();
    vAdd &grid = m_table.grid();
    const bool want = newCol == AddressCol || newCol == WorkplaceCol;
    if (want != state.ImeOn) {
        SetImeMode(want ? 1 : 0);
        state.ImeOn = want;
    }

    // A pre-fill is a suggestion: left without typing, it goes when the
    // active cell leaves its row, so arrowing down the column fills nothing.
    if (newRow != state.PrefillRow)
        m_table.dropPrefill();

    if (newCol != AddressCol || newRow == 1)
        return;
    if (grid.GetCell(AddressCol, newRow).isEmpty()) {
        // Usually the prefecture and town the next address shares.
        const QString prefill = RowRules::prefill(grid.GetCell(AddressCol, newRow - 1));
        if (!prefill.isEmpty()) {
            m_table.quietly([&] { grid.SetCell(AddressCol, newRow, prefill); });
            grid.SetCaret(int(prefill.size()), 0);
            state.PrefillRow = newRow;
            state.PrefillText = prefill;
        }
    }
    if (newRow == grid.RowCount())
        grid.SetRowCount(grid.RowCount() + 1);
}

void CellReactions::vAdd_BlockSelected(int, int row1, int, int row2)
{
    m_table.setBlock(row1, row2);
}

void CellReactions::vAdd_CellChanged(int col, int row)
{
    // Typed into, a pre-fill becomes the person's own text.
    if (col == AddressCol && row == m_table.state().PrefillRow)
        m_table.state().PrefillRow = 0;
}

void CellReactions::SetImeMode(int mode)
{
    m_ime.apply(ImeMode::forMode(mode));
}
