#include "LookupCommands.h"

#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/Twips.h"
#include "core/lookup/AddressComponent.h"
#include "core/lookup/LookupRules.h"
#include "core/lookup/PostalUpdate.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/lookup/PostalAddressComponent.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <cmath>

LookupCommands::LookupCommands(AddressTable &table, Desktop &desktop, QWidget &window, Factory factory)
    : m_table(table), m_desktop(desktop), m_window(window), m_factory(std::move(factory))
{
}

LookupCommands::~LookupCommands() = default;

void LookupCommands::CreateAddressComponent()
{
    // Left without a factory, the program's own dictionary component is made.
    if (m_factory)
        m_component = m_factory();
    else
        m_component = PostalAddressComponent::create(Program().UserDataFolder);
    if (availabilityChanged)
        availabilityChanged(m_component != nullptr);
}

void LookupCommands::ReleaseAddressComponent()
{
    m_component.reset();
}

void LookupCommands::mnAdd_Click(int index)
{
    using enum AddressTableModel::Column;
    if (index == 4) {
        UpdatePostalData();
        return;
    }
    if (!m_component)
        return;
    vAdd &grid = m_table.grid();
    const int row = grid.CurRow();
    const int col = grid.CurCol();
    if (col > vAdd::gridColumn(Cmp) || row < 1 || col < 1)
        return;
    // What is still being typed in the cell counts: the shortcut keys reach
    // the menu while the cell editor is open.
    grid.EndEdit();

    // The active cell's top-left on the screen, in twips: the cell inside the
    // grid, the grid inside the window, the window's own position.
    const QRect cell = grid.CellRect(col, row);
    const QPoint gridAt = grid.mapTo(&m_window, QPoint(0, 0));
    const double twipsX = Twips::perPixel(m_window.logicalDpiX());
    const double twipsY = Twips::perPixel(m_window.logicalDpiY());
    int x = int(std::lround(gridAt.x() * twipsX + cell.x() * twipsX + m_window.x() * twipsX));
    int y = int(std::lround(gridAt.y() * twipsY + cell.y() * twipsY + m_window.y() * twipsY));

    LookupRules::Fields fields{m_table.GetRowVal(QStringLiteral("Zip")), m_table.GetRowVal(QStringLiteral("Add")),
                               m_table.GetRowVal(QStringLiteral("Cmp"))};
    if (fields.zip.isEmpty() && fields.add.isEmpty() && fields.cmp.isEmpty())
        m_desktop.message(QStringLiteral("現在の選択行には住所情報がありません"));
    fields = LookupRules::request(LookupRules::Search(index), fields);

    m_component->SetPos(x, y);
    // A cancelled search leaves the row, the active cell and Dirty as they were.
    if (!m_component->PutAdd(fields.zip, fields.add, fields.cmp, 0))
        return;

    const LookupRules::Written address = LookupRules::writtenAddress(fields.add);
    m_table.record(QStringLiteral("住所検索"), row, 1, [&] {
        m_table.SetRowVal(QStringLiteral("Zip"), fields.zip);
        m_table.SetRowVal(QStringLiteral("Add"), address.text);
        m_table.SetRowVal(QStringLiteral("Cmp"), fields.cmp);
    });
    // The cell opens for editing so the caret shows where typing goes on.
    grid.EditCell(vAdd::gridColumn(Add), row, address.caret);
}

void LookupCommands::UpdatePostalData()
{
    Desktop::FileRequest request;
    request.title = QStringLiteral("郵便番号データの更新");
    request.folder = PostalUpdate::dialogFolder(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
                                                QDir::homePath());
    request.startName.clear(); // never the folder's name as a file name
    request.filter = QStringLiteral("日本郵便の郵便番号データ (*.zip *.ZIP *.csv *.CSV);;すべてのファイル (*)");
    const QString file = m_desktop.chooseFile(request);
    if (file.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PostalUpdate::Result result =
        PostalUpdate::install(file, PostalAddressComponent::locations(Program().UserDataFolder));
    // The component is made again from the data now newest.
    if (result.done)
        CreateAddressComponent();
    QApplication::restoreOverrideCursor();
    m_desktop.message(result.message);
}
