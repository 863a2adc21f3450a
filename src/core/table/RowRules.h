#pragma once

#include <QString>

// The rules of the row commands and of the cell reactions, without the grid:
// grid rows are numbered from 1.
namespace RowRules {

// The 編集 menu's items: the row commands, then the spreadsheet commands.
enum class EditCommand {
    ClearAll = 0,
    ClearRows = 2,
    InsertRows = 3,
    DeleteRows = 4,
    Undo = 6,
    Redo = 7,
    Cut = 9,
    Copy = 10,
    Paste = 11,
    ClearContents = 12,
    Find = 14,
    Sort = 15,
};

// Rows a command acts on: `count` rows from `first`; a count of 0 means the
// command does nothing.
struct Rows
{
    int first = 0;
    int count = 0;
    friend bool operator==(const Rows &, const Rows &) = default;
};

// Where the grid stands when a row command runs.
struct Where
{
    int selRowFrom = 0; // the remembered block; selRowTo 0: no block
    int selRowTo = 0;
    int curRow = 0;     // the active row; 0: none
    int rowCount = 0;
};

// The rows an edit command touches: the remembered block when there is one,
// else the active row. Clearing and deleting touch only rows that exist;
// inserting may insert right after the last row, and with no active row
// inserts at the top. ClearAll touches every row.
Rows rowsFor(EditCommand command, const Where &where);

// The text an empty address cell is filled with from the row above's address:
// up to and including its first full-width space, the whole address when it
// has none.
QString prefill(const QString &addressAbove);

} // namespace RowRules
