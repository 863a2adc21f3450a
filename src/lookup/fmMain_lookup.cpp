// The main window's address lookup through the address dictionary component.
#include "app/fmMain.h"

#include "env/Desktop.h"
#include "env/Program.h"
#include "grid/vAdd.h"
#include "lookup/AddressComponent.h"
#include "lookup/PostalAddressComponent.h"

#include <QAbstractItemDelegate>
#include <QLineEdit>
#include <QMenu>

#include <cmath>

void fmMain::CreateAddressComponent()
{
    // Tried once; without a component the address menu stays disabled.
    if (m_services.addressComponent)
        AddressComponent = m_services.addressComponent();
    else
        AddressComponent = PostalAddressComponent::create(Program().UserDataFolder);
    mnJb[2]->menuAction()->setEnabled(AddressComponent != nullptr);
}

void fmMain::mnAdd_Click(int index)
{
    if (!mnJb[2]->menuAction()->isEnabled() || !AddressComponent)
        return;
    vAdd &grid = *m_vAdd;
    if (grid.CurCol() > 3)
        return;
    const int row = grid.CurRow();
    const int col = grid.CurCol();
    if (row < 1 || col < 1)
        return;
    // What is still being typed in the cell counts: the shortcut keys reach
    // the menu while the cell editor is open, so commit it first.
    if (QLineEdit *editor = grid.cellEditor(); editor && editor->isVisible()) {
        QMetaObject::invokeMethod(&grid, "commitData", Q_ARG(QWidget *, editor));
        QMetaObject::invokeMethod(&grid, "closeEditor", Q_ARG(QWidget *, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }

    // The active cell's top-left on the screen, in twips: the cell inside the
    // grid, the grid inside the window, the window's own position.
    const QRect cell = grid.CellRect(col, row);
    const QPoint gridAt = grid.mapTo(this, QPoint(0, 0));
    const double twipsX = 1440.0 / logicalDpiX();
    const double twipsY = 1440.0 / logicalDpiY();
    int x = int(std::lround(gridAt.x() * twipsX + cell.x() * twipsX + this->x() * twipsX));
    int y = int(std::lround(gridAt.y() * twipsY + cell.y() * twipsY + this->y() * twipsY));

    QString zip = GetRowVal(QStringLiteral("Zip"));
    QString add = GetRowVal(QStringLiteral("Add"));
    QString cmp = GetRowVal(QStringLiteral("Cmp"));
    if (zip.isEmpty() && add.isEmpty() && cmp.isEmpty() && m_services.desktop)
        m_services.desktop->message(QStringLiteral("現在の選択行には住所情報がありません"));
    if (index == 1 && !add.isEmpty())
        zip.clear();
    if (index == 2 && !zip.isEmpty())
        add.clear();

    AddressComponent->SetPos(x, y);
    AddressComponent->PutAdd(zip, add, cmp, 0);

    SetRowVal(QStringLiteral("Zip"), zip);
    SetRowVal(QStringLiteral("Add"), add + u'\u3000');
    SetRowVal(QStringLiteral("Cmp"), cmp);
    grid.GoToCell(2, row);
    // The caret goes right after the address text: SetRowVal dropped any
    // leading half-width spaces, the full-width space after it stays.
    qsizetype lead = 0;
    while (lead < add.size() && add[lead] == u' ')
        ++lead;
    const int caret = int(add.size() - lead);
    // The cell opens for editing so the caret shows where typing goes on.
    if (grid.CurRow() == row && grid.CurCol() == 2)
        static_cast<QAbstractItemView &>(grid).edit(grid.currentIndex());
    grid.SetCaret(caret, 0);
    if (QLineEdit *editor = grid.cellEditor(); editor && editor->isVisible())
        editor->setCursorPosition(caret);
}
