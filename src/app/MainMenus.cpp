#include "MainMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <vector>

QAction *MainMenus::topAction(int index) const
{
    return index == 4 ? mnHelp : mnJb[index]->menuAction();
}

MainMenus buildMainMenus(QMenuBar &bar, QObject *context, const std::function<void(int menu, int index)> &click)
{
    MainMenus menus;
    // Items in their visual order, each with the index its menu's handler
    // receives (an index may be missing, and they need not follow the order).
    struct Item
    {
        int index;
        const char16_t *caption; // "-": a separator
        QKeySequence key;
        QKeySequence otherKey = {};
    };
    struct Menu
    {
        const char16_t *caption;
        const char16_t *arrayName;
        QAction **array;
        std::vector<Item> items;
    };
    const Menu all[] = {
        {u"ﾌｧｲﾙ(&F)", u"mnFile", menus.mnFile,
         {{0, u"開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
          {1, u"上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S)},
          {2, u"名を付けて保存(&A)", {}},
          {3, u"-", {}},
          {7, u"取り込み(&I)...", QKeySequence(Qt::CTRL | Qt::Key_I)},
          {8, u"書き出し(&E)...", {}},
          {10, u"-", {}},
          {4, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", {}},
          {9, u"宛名ラベル印刷(&L)...", {}},
          {5, u"-", {}},
          {6, u"終了(&X)", {}}}},
        {u"編集(&E)", u"mnEdt", menus.mnEdt,
         {{0, u"初期化(&A)", {}},
          {1, u"-", {}},
          {2, u"行消去(&C)", {}},
          {3, u"行挿入(&I)", {}},
          {4, u"行削除(&D)", {}},
          {5, u"-", {}},
          {6, u"元に戻す(&U)", QKeySequence(Qt::CTRL | Qt::Key_Z)},
          {7, u"やり直し(&R)", QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
          {8, u"-", {}},
          {9, u"切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X)},
          {10, u"コピー(&O)", QKeySequence(Qt::CTRL | Qt::Key_C)},
          {11, u"貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V)},
          {12, u"内容を消去(&L)", QKeySequence(Qt::Key_Delete)},
          {13, u"-", {}},
          {14, u"検索(&F)...", QKeySequence(Qt::CTRL | Qt::Key_F)},
          {15, u"並べ替え(&S)...", {}}}},
        {u"住所検索(&A)", u"mnAdd", menus.mnAdd,
         {{0, u"任意に検索", QKeySequence(Qt::Key_F2)},
          {1, u"住所から検索", QKeySequence(Qt::Key_F3)},
          {2, u"郵便番号から検索", QKeySequence(Qt::Key_F4)},
          {3, u"-", {}},
          {4, u"郵便番号データの更新(&U)...", {}},
          {5, u"一括チェック(&B)...", QKeySequence(Qt::CTRL | Qt::Key_B)}}},
        {u"地図検索(&M)", u"mnMap", menus.mnMap,
         {{0, u"住所で検索", QKeySequence(Qt::Key_F5)},
          {2, u"勤務先等で検索", QKeySequence(Qt::Key_F7)},
          {3, u"登録されているURLで検索", QKeySequence(Qt::Key_F8)}}},
    };
    for (int m = 0; m < int(std::size(all)); ++m) {
        QMenu *menu = bar.addMenu(QString::fromUtf16(all[m].caption));
        menu->setObjectName(QStringLiteral("mnJb_%1").arg(m));
        QObject::connect(menu, &QMenu::aboutToShow, context, [click, m] { click(m, -1); });
        menus.mnJb[m] = menu;
        for (const Item &item : all[m].items) {
            const int i = item.index;
            const QString caption = QString::fromUtf16(item.caption);
            QAction *action = caption == u"-" ? menu->addSeparator() : menu->addAction(caption);
            action->setObjectName(QString::fromUtf16(all[m].arrayName) + u'_' + QString::number(i));
            if (!item.otherKey.isEmpty())
                action->setShortcuts({item.key, item.otherKey});
            else if (!item.key.isEmpty())
                action->setShortcut(item.key);
            if (!action->isSeparator())
                QObject::connect(action, &QAction::triggered, context, [click, m, i] { click(m, i); });
            all[m].array[i] = action;
        }
    }
    // "Help" has no items: choosing it (mouse or Alt+H) opens the help page at once.
    menus.mnHelp = bar.addAction(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    menus.mnHelp->setObjectName(QStringLiteral("mnJb_4"));
    QObject::connect(menus.mnHelp, &QAction::triggered, context, [click] { click(4, -1); });
    return menus;
}
