// The main window's row accessors and row commands.
#include "app/fmMain.h"

#include "grid/vAdd.h"
#include "table/CsvFormat.h"

#include <QMenu>

#include <algorithm>


int fmMain::KeyCol(const QString &key)
{
    const QString upper = key.toUpper();
    if (upper == u"ZIP")
        return 1;
    if (upper == u"ADD")
        return 2;
    if (upper == u"CMP")
        return 3;
    if (upper == u"TEL")
        return 4;
    if (upper == u"URL")
        return 5;
    return 0;
}

QString fmMain::GetRowVal(const QString &key) const
{
    return Csv::trimSpaces(m_vAdd->GetCell(KeyCol(key), m_vAdd->CurRow())).toString();
}

void fmMain::SetRowVal(const QString &key, const QString &value)
{
    const int col = KeyCol(key);
    const int row = m_vAdd->CurRow();
    if (col == 0 || row == 0)
        return;
    const QString trimmed = Csv::trimSpaces(value).toString();
    if (m_vAdd->GetCell(col, row) == trimmed)
        return;
    m_vAdd->SetCell(col, row, trimmed);
    markDirty();
}

void fmMain::markDirty()
{
    if (!Quiet)
        Dirty = true;
}

void fmMain::vAdd_BlockSelected(int, int row1, int, int row2)
{
    SelRowFrom = row1;
    SelRowTo = row2;
}

void fmMain::vAdd_CellChanged(int, int)
{
    markDirty();
}

void fmMain::mnEdt_Click(int index)
{
    vAdd &grid = *m_vAdd;
    const bool range = SelRowTo >= 1;
    const int rows = grid.RowCount();
    switch (index) {
    case 0: // clear the whole table
        grid.ClearCells(-1, -1, -1, -1);
        markDirty();
        break;
    case 2: // clear rows
        if (range)
            grid.ClearCells(1, SelRowFrom, grid.ColCount(), SelRowTo);
        else
            grid.ClearCells(-1, grid.CurRow(), -1, -1);
        markDirty();
        break;
    case 3: { // insert rows
        const int at = range ? SelRowFrom : grid.CurRow();
        const int n = range ? SelRowTo - SelRowFrom + 1 : 1;
        if (n <= 0 || at < 1 || at > rows + 1)
            return;
        grid.SetRowCount(rows + n);
        grid.InsertRowsAt(at, n);
        markDirty();
        break;
    }
    case 4: { // delete rows
        // Only rows that exist are deleted: a remembered range reaching past
        // the last row, or an empty table, never drops another row.
        const int at = range ? SelRowFrom : grid.CurRow();
        int n = range ? SelRowTo - SelRowFrom + 1 : 1;
        if (at < 1 || at > rows || n <= 0)
            return;
        n = std::min(n, rows - at + 1);
        grid.DeleteRowsAt(at, n);
        grid.SetRowCount(rows - n);
        markDirty();
        break;
    }
    default:
        break;
    }
}
