#pragma once

#include "core/table/CellBlock.h"

// Where a pasted block goes in the five-column table.
namespace PasteRules {

// Cells by 0-based row and column, both ends included.
struct Area
{
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    friend bool operator==(const Area &, const Area &) = default;
};

struct Plan
{
    int top = 0;
    int left = 0;
    // Row by row from (top, left); a row writes only the cells it holds.
    CellBlock::Block cells;
    // Cells that fell beyond the last column and were left out.
    int cellsCut = 0;
    // Rows the table needs to hold the paste.
    int rowsNeeded = 0;
    friend bool operator==(const Plan &, const Plan &) = default;
};

// One value fills the selection (when it is more than one cell); a block
// fills from the active cell rightwards and downwards, what falls beyond the
// last column is cut, and the table grows to hold its last row.
Plan plan(const CellBlock::Block &block, int activeRow, int activeColumn, Area selection, int columnCount = 5);

} // namespace PasteRules
