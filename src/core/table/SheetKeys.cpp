#include "SheetKeys.h"

namespace SheetKeys {

TabRun afterTab(const TabRun &run, Cell from, Cell to)
{
    if (to.row != from.row || to.row < 1)
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
