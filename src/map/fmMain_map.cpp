// The main window's map search and map-link capture.
#include "app/fmMain.h"

#include "env/Desktop.h"
#include "map/MapSearch.h"
#include "map/uWeb.h"

using namespace Qt::StringLiterals;

void fmMain::setMapAddresses(const MapAddresses &addresses)
{
    m_map = addresses;
    m_uWeb->setHomePage(m_map.base);
    m_uWeb->setSearchPage(m_map.searchPage());
}

void fmMain::mnMap_Click(int index)
{
    const QString keyword = MapSearch::keyword(index, GetRowVal(u"Add"_s), GetRowVal(u"Cmp"_s), GetRowVal(u"URL"_s));
    if (keyword.isEmpty()) {
        m_services.desktop->message(u"検索キーワードが空です"_s);
        return;
    }
    if (index == 3) {
        // A stored link is opened as it stands, never encoded.
        ShowCellAddress(keyword);
        return;
    }
    m_uWeb->setURL(m_map.searchAddress(EncodeKeyword(keyword)));
}

void fmMain::ShowCellAddress(const QString &address)
{
    // A cell may hold anything a file or another program put there; only web
    // addresses are opened from it. An empty cell shows the blank page.
    if (!address.trimmed().isEmpty() && !MapSearch::isWebAddress(address.trimmed())) {
        m_services.desktop->message(address + u" は開けません\rhttp または https のｱﾄﾞﾚｽではありません"_s);
        return;
    }
    m_uWeb->setURL(address);
}

void fmMain::ClipEvent(const QString &text)
{
    if (m_map.isMapLink(text))
        SetRowVal(u"Url"_s, text);
}
