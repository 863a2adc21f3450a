#pragma once

// Where the grid's keys move the active cell, as spreadsheets do it; columns
// and rows from 1.
namespace SheetKeys {

// A row being typed across with Tab: the row, the column where the first
// Tab was pressed, and the column the last Tab reached. row 0: none.
struct TabRun
{
    int row = 0;
    int startCol = 0;
    int atCol = 0;
    friend bool operator==(const TabRun &, const TabRun &) = default;
};

struct Cell
{
    int col = 0;
    int row = 0;
    friend bool operator==(const Cell &, const Cell &) = default;
};

// The run after Tab or Shift+Tab moved the active cell from `from` to `to`:
// within one row it goes on (or starts at `from`); onto another row, or
// back to the first cell of a one-row table, it ends.
TabRun afterTab(const TabRun &run, Cell from, Cell to);

// Where Enter goes from `at` in a grid of `rowCount` rows: one row down, to
// the column where the Tab run on this row started when `at` is where it
// stands; `at` itself on the last row.
Cell enterTarget(const TabRun &run, Cell at, int rowCount);

} // namespace SheetKeys
