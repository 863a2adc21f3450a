#pragma once

#include <QtGlobal>

class AddressTable;

// The 編集 menu's spreadsheet commands: undo and redo of any change to the
// table.
class SheetCommands final
{
public:
    explicit SheetCommands(AddressTable &table) : m_table(table) {}
    Q_DISABLE_COPY_MOVE(SheetCommands)

    // Runs 編集 item `index` (6 and after).
    void mnEdt_Click(int index);

private:
    AddressTable &m_table;
};
