#pragma once

#include <QRect>
#include <QString>

class AddressTable;
class Desktop;
class QStatusBar;

// The 編集 menu's spreadsheet commands: undo and redo of any change to the
// table, cell blocks on the clipboard, clearing cells and sorting the rows.
class SheetCommands final
{
public:
    SheetCommands(AddressTable &table, Desktop &desktop, QStatusBar &status)
        : m_table(table), m_desktop(desktop), m_status(status)
    {
    }
    Q_DISABLE_COPY_MOVE(SheetCommands)

    // Runs 編集 item `index` (6 and after; 14, the find bar, is the window's).
    void mnEdt_Click(int index);

    // The highlighted cells as spreadsheet text (and HTML) on the clipboard;
    // a cut then clears them.
    void CopyCells(bool cut);
    // The clipboard's cells at the active cell.
    void PasteCells();
    // Clears the highlighted cells.
    void ClearCells();
    // Opens the active cell for typing, emptied (Backspace).
    void ClearAndEdit();
    // Asks for the column and the direction, then sorts the rows.
    void SortRows();

private:
    // Ends typing in progress and takes back an untouched pre-fill; the
    // highlighted cells then.
    QRect settledArea();
    void clearArea(const QRect &area, const QString &text);

    AddressTable &m_table;
    Desktop &m_desktop;
    QStatusBar &m_status;
};
