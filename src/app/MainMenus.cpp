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
    struct Item
    {
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
         {{u"開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
          {u"上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S)},
          {u"名を付けて保存(&A)", {}},
          {u"-", {}},
          {u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", {}},
          {u"-", {}},
          {u"終了(&X)", {}}}},
        {u"編集(&E)", u"mnEdt", menus.mnEdt,
         {{u"初期化(&A)", {}},
          {u"-", {}},
          {u"行消去(&C)", {}},
          {u"行挿入(&I)", {}},
          {u"行削除(&D)", {}},
          {u"-", {}},
          {u"元に戻す(&U)", QKeySequence(Qt::CTRL | Qt::Key_Z)},
          {u"やり直し(&R)", QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
          {u"-", {}},
          {u"切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X)},
          {u"コピー(&O)", QKeySequence(Qt::CTRL | Qt::Key_C)},
          {u"貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V)},
          {u"内容を消去(&L)", QKeySequence(Qt::Key_Delete)},
          {u"-", {}},
          {u"検索(&F)...", QKeySequence(Qt::CTRL | Qt::Key_F)},
          {u"並べ替え(&S)...", {}}}},
        {u"住所検索(&A)", u"mnAdd", menus.mnAdd,
         {{u"任意に検索", QKeySequence(Qt::Key_F2)},
          {u"住所から検索", QKeySequence(Qt::Key_F3)},
          {u"郵便番号から検索", QKeySequence(Qt::Key_F4)},
          {u"-", {}},
          {u"郵便番号データの更新(&U)...", {}},
          {u"一括チェック(&B)...", QKeySequence(Qt::CTRL | Qt::Key_B)}}},
        // Item 1 of the map menu does not exist.
        {u"地図検索(&M)", u"mnMap", menus.mnMap,
         {{u"住所で検索", QKeySequence(Qt::Key_F5)},
          {nullptr, {}},
          {u"勤務先等で検索", QKeySequence(Qt::Key_F7)},
          {u"登録されているURLで検索", QKeySequence(Qt::Key_F8)}}},
    };
    for (int m = 0; m < int(std::size(all)); ++m) {
        QMenu *menu = bar.addMenu(QString::fromUtf16(all[m].caption));
        menu->setObjectName(QStringLiteral("mnJb_%1").arg(m));
        QObject::connect(menu, &QMenu::aboutToShow, context, [click, m] { click(m, -1); });
        menus.mnJb[m] = menu;
        int index = 0;
        for (const Item &item : all[m].items) {
            const int i = index++;
            if (!item.caption)
                continue;
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
