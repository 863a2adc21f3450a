#include "SheetKeys.h"

#include <cstdlib>

namespace SheetKeys {

TabRun afterTab(const TabRun &run, Cell from, Cell to)
{
    // Tab moves one column; a longer move within the row is the wrap of a
    // one-row table back to its first cell, which no run goes on across.
    if (to.row != from.row || to.row < 1 || std::abs(to.col - from.col) != 1)
        return {};
    const bool goesOn = run.row == from.row && run.atCol == from.col;
    return {to.row, goesOn ? run.startCol : from.col, to.col};
}

Cell enterTarget(const TabRun &run, Cell at, int rowCount)
{
    if (at.row < 1 || at.row >= rowCount)
        return at;
    const bool inRun = run.row == at.row && run.atCol == at.col && run.startCol >= 1;
    return {inRun ? run.startCol : at.col, at.row + 1};
}

} // namespace SheetKeys
