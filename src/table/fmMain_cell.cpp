// The main window's reactions to cell movement: input method, pre-filled
// addresses, the spare row, double-click and the pop-up menu.
#include "app/fmMain.h"

#include "grid/vAdd.h"
#include "map/uWeb.h"
#include "table/DesktopImeBackend.h"
#include "table/ImeMode.h"

#include <QCursor>
#include <QMenu>

namespace {
constexpr int AddressCol = 2;
constexpr int WorkplaceCol = 3;
constexpr int MapLinkCol = 5;
constexpr QChar FullWidthSpace = u'\u3000';
} // namespace

void fmMain::SetUpIme()
{
    m_ime = m_services.ime;
    if (!m_ime)
        m_ime = new DesktopImeBackend(FcitxImeBackend::sessionBus(), this);
    // The grid itself takes the first keys of a composition, before its cell
    // editor exists.
    m_ime->attach(m_vAdd);
    connect(m_vAdd, &vAdd::EditorCreated, this, [this](QLineEdit *editor, int, int) { m_ime->attach(editor); });
}

void fmMain::vAdd_LeavingCell(int, int, int newCol, int newRow, bool *)
{
    const bool want = newCol == AddressCol || newCol == WorkplaceCol;
    if (want != ImeOn) {
        SetImeMode(want ? 1 : 0);
        ImeOn = want;
    }

    if (newCol != AddressCol || newRow == 1)
        return;
    if (m_vAdd->GetCell(AddressCol, newRow).isEmpty()) {
        // The row above's address up to and including its first full-width
        // space: usually the prefecture and town the next address shares.
        QString prev = m_vAdd->GetCell(AddressCol, newRow - 1);
        if (!prev.isEmpty()) {
            const qsizetype space = prev.indexOf(FullWidthSpace);
            if (space >= 0)
                prev.truncate(space + 1);
            m_vAdd->SetCell(AddressCol, newRow, prev);
            m_vAdd->SetCaret(int(prev.size()), 0);
            markDirty();
        }
    }
    if (newRow == m_vAdd->RowCount())
        m_vAdd->SetRowCount(m_vAdd->RowCount() + 1);
}

void fmMain::SetImeMode(int mode)
{
    if (m_ime)
        m_ime->apply(ImeMode::forMode(mode));
}

void fmMain::vAdd_CellDblClick(int col, int row)
{
    if (col != MapLinkCol)
        return;
    ShowCellAddress(m_vAdd->GetCell(MapLinkCol, row));
}

void fmMain::vAdd_GridRightClick(int, int, int, int, int)
{
    mnJb[1]->popup(QCursor::pos());
}
