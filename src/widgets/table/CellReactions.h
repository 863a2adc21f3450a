#pragma once

#include <QtGlobal>

class AddressTable;
class ImeBackend;

// What happens as the active cell moves: the input method follows the column,
// an empty address is pre-filled from the row above, a spare blank row is kept
// at the bottom; and the remembered block and the dirty flag follow the grid.
class CellReactions final
{
public:
    // `ime` switches the input method; it must outlive this object.
    CellReactions(AddressTable &table, ImeBackend &ime);
    Q_DISABLE_COPY_MOVE(CellReactions)

    ImeBackend &ime() const { return m_ime; }

    void vAdd_LeavingCell(int col, int row, int newCol, int newRow, bool *cancel);
    void vAdd_BlockSelected(int col1, int row1, int col2, int row2);
    void vAdd_CellChanged(int col, int row);
    // Opens the input method in mode 1 or closes it (mode 0).
    void SetImeMode(int mode);

private:
    AddressTable &m_table;
    ImeBackend &m_ime;
};
