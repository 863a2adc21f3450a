#include "MapCommands.h"

#include "core/env/Desktop.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/map/ClipboardWatcher.h"
#include "widgets/map/uWeb.h"

#include <QStatusBar>

using namespace Qt::StringLiterals;

MapCommands::MapCommands(AddressTable &table, Desktop &desktop, uWeb &web, QStatusBar &status)
    : m_table(table), m_desktop(desktop), m_web(web), m_status(status),
      m_clipboard(std::make_unique<ClipboardWatcher>([this](const QString &text) { ClipEvent(text); }))
{
    setMapAddresses(m_map);
}

MapCommands::~MapCommands() = default;

void MapCommands::setMapAddresses(const MapAddresses &addresses)
{
    m_map = addresses;
    m_web.setHomePage(m_map.base);
    m_web.setSearchPage(m_map.searchPage());
}

void MapCommands::mnMap_Click(int index)
{
    const QString keyword = MapSearch::keyword(index, m_table.GetRowVal(u"Add"_s), m_table.GetRowVal(u"Cmp"_s),
                                               m_table.GetRowVal(u"URL"_s));
    if (keyword.isEmpty()) {
        m_desktop.message(u"検索キーワードが空です"_s);
        return;
    }
    if (index == 3) {
        // A stored link is opened as it stands, never encoded.
        ShowCellAddress(keyword);
        return;
    }
    m_web.setURL(m_map.searchAddress(EncodeKeyword(keyword)));
}

void MapCommands::ShowCellAddress(const QString &address)
{
    // A cell may hold anything a file or another program put there; only web
    // addresses are opened from it. An empty cell shows the blank page.
    if (!address.trimmed().isEmpty() && !MapSearch::isWebAddress(address.trimmed())) {
        m_desktop.message(address + u" は開けません\rhttp または https のｱﾄﾞﾚｽではありません"_s);
        return;
    }
    m_web.setURL(address);
}

void MapCommands::WatchClipboard(int mode)
{
    m_clipboard->WatchClipboard(mode);
}

void MapCommands::ClipEvent(const QString &text)
{
    if (!m_map.isMapLink(text))
        return;
    // A file command's question or progress is open: the bytes it writes or
    // the table it replaces must not change under it.
    m_table.afterFileCommand([this, text] {
        // Before the window was first activated the grid has no active row.
        if (m_table.grid().CurRow() < 1) {
            m_status.showMessage(u"行を選んでから地図のリンクをコピーしてください"_s, 5000);
            return;
        }
        // A cell being edited takes what was typed first; its editor must not
        // write its old text over the link when it closes.
        m_table.grid().EndEdit();
        m_table.record(u"Map URL"_s, m_table.grid().CurRow(), 1, [&] { m_table.SetRowVal(u"Url"_s, text); });
    });
}
