// The menu bar: every item with its caption and key, and the keys and clicks
// that reach the commands.
#include "app/fmMain.h"
#include "core/env/Program.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <memory>

class MenuBarTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;

    QAction *item(const QString &array, int index) const
    {
        if (array == u"mnFile")
            return window->menus().mnFile[index];
        if (array == u"mnEdt")
            return window->menus().mnEdt[index];
        if (array == u"mnAdd")
            return window->menus().mnAdd[index];
        return window->menus().mnMap[index];
    }

private Q_SLOTS:
    void init()
    {
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
    }

    void cleanup() { window.reset(); }

    void everyItem_data()
    {
        QTest::addColumn<QString>("array");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("menu"); // top-level menu holding it
        QTest::addColumn<QString>("caption"); // "-": separator
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<int>("position"); // in its menu: the rows below are in visual order

        const struct
        {
            const char16_t *array;
            int index;
            int menu;
            const char16_t *caption;
            QKeySequence key;
        } items[] = {
            {u"mnFile", 0, 0, u"開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
            {u"mnFile", 1, 0, u"上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S)},
            {u"mnFile", 2, 0, u"名を付けて保存(&A)", {}},
            {u"mnFile", 3, 0, u"-", {}},
            {u"mnFile", 7, 0, u"取り込み(&I)...", QKeySequence(Qt::CTRL | Qt::Key_I)},
            {u"mnFile", 8, 0, u"書き出し(&E)...", {}},
            {u"mnFile", 10, 0, u"-", {}},
            {u"mnFile", 4, 0, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", {}},
            {u"mnFile", 9, 0, u"宛名ラベル印刷(&L)...", {}},
            {u"mnFile", 5, 0, u"-", {}},
            {u"mnFile", 6, 0, u"終了(&X)", {}},
            {u"mnEdt", 0, 1, u"初期化(&A)", {}},
            {u"mnEdt", 1, 1, u"-", {}},
            {u"mnEdt", 2, 1, u"行消去(&C)", {}},
            {u"mnEdt", 3, 1, u"行挿入(&I)", {}},
            {u"mnEdt", 4, 1, u"行削除(&D)", {}},
            {u"mnEdt", 5, 1, u"-", {}},
            {u"mnEdt", 6, 1, u"元に戻す(&U)", QKeySequence(Qt::CTRL | Qt::Key_Z)},
            {u"mnEdt", 7, 1, u"やり直し(&R)", QKeySequence(Qt::CTRL | Qt::Key_Y)},
            {u"mnEdt", 8, 1, u"-", {}},
            {u"mnEdt", 9, 1, u"切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X)},
            {u"mnEdt", 10, 1, u"コピー(&O)", QKeySequence(Qt::CTRL | Qt::Key_C)},
            {u"mnEdt", 11, 1, u"貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V)},
            {u"mnEdt", 12, 1, u"内容を消去(&L)", QKeySequence(Qt::Key_Delete)},
            {u"mnEdt", 13, 1, u"-", {}},
            {u"mnEdt", 14, 1, u"検索(&F)...", QKeySequence(Qt::CTRL | Qt::Key_F)},
            {u"mnEdt", 15, 1, u"並べ替え(&S)...", {}},
            {u"mnAdd", 0, 2, u"任意に検索", QKeySequence(Qt::Key_F2)},
            {u"mnAdd", 1, 2, u"住所から検索", QKeySequence(Qt::Key_F3)},
            {u"mnAdd", 2, 2, u"郵便番号から検索", QKeySequence(Qt::Key_F4)},
            {u"mnAdd", 3, 2, u"-", {}},
            {u"mnAdd", 4, 2, u"郵便番号データの更新(&U)...", {}},
            {u"mnAdd", 5, 2, u"一括チェック(&B)...", QKeySequence(Qt::CTRL | Qt::Key_B)},
            {u"mnMap", 0, 3, u"住所で検索", QKeySequence(Qt::Key_F5)},
            {u"mnMap", 2, 3, u"勤務先等で検索", QKeySequence(Qt::Key_F7)},
            {u"mnMap", 3, 3, u"登録されているURLで検索", QKeySequence(Qt::Key_F8)},
        };
        int position = 0;
        for (std::size_t n = 0; n < std::size(items); ++n) {
            const auto &i = items[n];
            position = n > 0 && items[n - 1].menu == i.menu ? position + 1 : 0;
            const QString array = QString::fromUtf16(i.array);
            QTest::addRow("%s(%d)", qPrintable(array), i.index)
                << array << i.index << i.menu << QString::fromUtf16(i.caption) << i.key << position;
        }
    }

    void everyItem()
    {
        QFETCH(QString, array);
        QFETCH(int, index);
        QFETCH(int, menu);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, key);
        QFETCH(int, position);

        QAction *action = item(array, index);
        QVERIFY(action);
        QCOMPARE(action->isSeparator(), caption == u"-");
        if (!action->isSeparator())
            QCOMPARE(action->text(), caption);
        QCOMPARE(action->shortcut(), key);
        QCOMPARE(action->objectName(), array + u'_' + QString::number(index));
        // In its menu, at its place in the visual order.
        const QList<QAction *> inMenu = window->menus().mnJb[menu]->actions();
        QVERIFY(inMenu.contains(action));
        QCOMPARE(int(inMenu.indexOf(action)), position);
    }

    void topLevelMenus()
    {
        const QStringList captions{u"ﾌｧｲﾙ(&F)"_qs, u"編集(&E)"_qs, u"住所検索(&A)"_qs, u"地図検索(&M)"_qs,
                                   u"ﾍﾙﾌﾟ(&H)"_qs};
        const QList<QAction *> bar = window->menuBar()->actions();
        QCOMPARE(bar.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(bar[i]->text(), captions[i]);
            QCOMPARE(bar[i], window->menus().topAction(i));
        }
        QCOMPARE(window->menus().mnJb[0]->actions().size(), 11);
        QCOMPARE(window->menus().mnJb[1]->actions().size(), 16);
        QCOMPARE(window->menus().mnJb[2]->actions().size(), 6);
        QCOMPARE(window->menus().mnJb[3]->actions().size(), 3);
        QCOMPARE(window->menus().mnMap[1], nullptr); // the map menu has no index 1
        QCOMPARE(bar[4]->menu(), nullptr);       // help has no items
    }

    void helpOpensAtOnceByKeyAndByMouse()
    {
        QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(window->helpRequests(), 1);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);

        QMenuBar *bar = window->menuBar();
        const QPoint help = bar->actionGeometry(window->menus().topAction(4)).center();
        QTest::mouseClick(bar, Qt::LeftButton, {}, help);
        QTRY_COMPARE(window->helpRequests(), 2);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);

        // Opening another menu is not help.
        window->menus().mnJb[0]->popup(window->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(window->menus().mnJb[0]->isVisible());
        window->menus().mnJb[0]->close();
        QCOMPARE(window->helpRequests(), 2);
    }

    void fileKeysReachTheirCommands()
    {
        // Ctrl+O asks for a file to open, Ctrl+S (no file yet) for a name to save under.
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(desktop.fileRequests.size(), 1);
        QCOMPARE(desktop.fileRequests[0].mode, Desktop::FileMode::Open);
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(desktop.fileRequests.size(), 2);
        QCOMPARE(desktop.fileRequests[1].mode, Desktop::FileMode::Save);
        window->menus().mnFile[2]->trigger();
        QCOMPARE(desktop.fileRequests.size(), 3);
        QCOMPARE(desktop.fileRequests[2].mode, Desktop::FileMode::Save);
        // Separators do nothing; Exit closes.
        window->mnFile_Click(3);
        window->mnFile_Click(5);
        QVERIFY(window->isVisible());
        window->menus().mnFile[6]->trigger();
        QVERIFY(!window->isVisible());
        QVERIFY(window->shutDown());
    }
};

KOTOVEN_WIDGET_TEST_MAIN(MenuBarTest)
#include "MenuBarTest.moc"
