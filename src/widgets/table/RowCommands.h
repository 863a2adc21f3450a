#pragma once

#include <QtGlobal>

class AddressTable;

// The 編集 menu's commands: clear the table, clear, insert and delete rows.
class RowCommands final
{
public:
    explicit RowCommands(AddressTable &table) : m_table(table) {}
    Q_DISABLE_COPY_MOVE(RowCommands)

    // Runs menu item `index`: 0 clear all, 2 clear rows, 3 insert rows,
    // 4 delete rows.
    void mnEdt_Click(int index);

private:
    AddressTable &m_table;
};
