#pragma once

#include "core/map/MapSearch.h"

#include <memory>

class AddressTable;
class ClipboardWatcher;
class Desktop;
class QStatusBar;
class uWeb;

// The 地図検索 menu's commands, the double-clicked Map URL, and the map links
// caught from the clipboard.
class MapCommands final
{
public:
    MapCommands(AddressTable &table, Desktop &desktop, uWeb &web, QStatusBar &status);
    ~MapCommands();
    Q_DISABLE_COPY_MOVE(MapCommands)

    // The map service's addresses (MapRedirectAddress, MapBaseAddress); the
    // start-up reads them from the settings, tests point them elsewhere.
    const MapAddresses &mapAddresses() const { return m_map; }
    void setMapAddresses(const MapAddresses &addresses);

    // Runs menu item `index`: 0 the address, 2 the workplace, 3 the stored link.
    void mnMap_Click(int index);
    // Shows an address taken from a cell in the browser pane, but only an
    // http or https one; anything else is named in a message and not opened.
    void ShowCellAddress(const QString &address);

    // Catching map links: 1 starts watching the clipboard, 0 stops.
    void WatchClipboard(int mode);
    // A new clipboard text: a map link goes into the active row's Map URL.
    // Without an active row it is not taken, and the status bar says why;
    // while a file command's question or progress is open it waits for the
    // command to finish (the last link only).
    void ClipEvent(const QString &text);

private:
    AddressTable &m_table;
    Desktop &m_desktop;
    uWeb &m_web;
    QStatusBar &m_status;
    std::unique_ptr<ClipboardWatcher> m_clipboard;
    MapAddresses m_map;
};
