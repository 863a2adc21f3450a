// The main window's reactions to cell movement: input method, pre-filled
// addresses, the spare row, double-click and the pop-up menu.
#include "app/fmMain.h"

#include "grid/vAdd.h"

#include <QCursor>
#include <QMenu>

void fmMain::vAdd_LeavingCell(int, int, int newCol, int, bool *)
{
    const bool want = newCol == 2 || newCol == 3;
    if (want != ImeOn) {
        SetImeMode(want ? 1 : 0);
        ImeOn = want;
    }
}

void fmMain::SetImeMode(int) {}

void fmMain::vAdd_CellDblClick(int, int) {}

void fmMain::vAdd_GridRightClick(int, int, int, int, int)
{
    mnJb[1]->popup(QCursor::pos());
}
