#pragma once

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QObject;

// The menu bar's menus and items under their design names; an item's index in
// its array is the index its menu's handler receives.
struct MainMenus
{
    QMenu *mnJb[4] = {};       // ﾌｧｲﾙ, 編集, 住所検索, 地図検索
    QAction *mnHelp = nullptr; // ﾍﾙﾌﾟ: a top-level entry without items
    // ﾌｧｲﾙ: the design's items 0..6, then 7 取り込み, 8 書き出し, 9 the address
    // labels, 10 the separator after 書き出し.
    QAction *mnFile[11] = {};
    // 編集: the design's items 0..4, then the spreadsheet commands from 6
    // (EditCommand in the table's rules names them).
    QAction *mnEdt[16] = {};
    // 3: a separator, 4: the update of the postal data, 5: the check of the
    // whole list.
    QAction *mnAdd[6] = {};
    QAction *mnMap[4] = {}; // item 1 does not exist

    // The entry of top-level menu `index` (4: help) in the menu bar.
    QAction *topAction(int index) const;
};

// Fills the menu bar. Choosing an item calls `click(menu, index)`; opening a
// top-level menu, or choosing help, calls `click(menu, -1)`. `context` owns
// the connections.
MainMenus buildMainMenus(QMenuBar &bar, QObject *context, const std::function<void(int menu, int index)> &click);
