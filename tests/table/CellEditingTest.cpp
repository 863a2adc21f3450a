#include "ScriptedImeBackend.h"

#include "app/fmMain.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "widgets/map/uWeb.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"

#include <QAction>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QWindow>

#include <memory>

namespace {
const QString Space = QStringLiteral("\u3000");
}

// The window's reactions to the active cell moving, driven by key presses and
// mouse clicks on the real main window with a scripted input method.
class CellEditingTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    ScriptedImeBackend ime;

    vAdd *grid() const { return window->grid(); }

    // Puts the active cell on (col, row) and forgets the calls that caused.
    void startAt(int col, int row)
    {
        grid()->GoToCell(col, row);
        grid()->setFocus();
        QTRY_VERIFY(grid()->hasFocus());
        ime.calls.clear();
        window->state().Dirty = false;
    }

    void press(const QList<int> &keys)
    {
        for (int key : keys)
            QTest::keyClick(grid(), Qt::Key(key));
    }

    // Types the way a person does: each key goes to whatever has the focus,
    // the grid for the first one, the cell editor after it.
    static void type(const QString &text)
    {
        for (const QChar ch : text)
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    }

    QPoint cellCentre(int col, int row) const
    {
        grid()->scrollTo(grid()->table()->index(row - 1, col - 1));
        return grid()->visualRect(grid()->table()->index(row - 1, col - 1)).center();
    }

private Q_SLOTS:
    void init()
    {
        desktop.clear();
        ime = {};
        fmMainServices services;
        services.desktop = &desktop;
        services.ime = &ime;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
    }

    void cleanup()
    {
        if (window)
            window->close();
        window.reset();
    }

    void activationEndsWithTheInputMethodClosed()
    {
        // Column 2 first, then column 1: opened, then closed, in that order.
        QCOMPARE(ime.calls, QStringList({u"open 0x19"_qs, u"close"_qs}));
        QVERIFY(!window->state().ImeOn);
        QCOMPARE(grid()->CurCol(), 1);
        QCOMPARE(grid()->CurRow(), 1);
        // Row 1 is neither pre-filled nor a reason for a spare row.
        QCOMPARE(grid()->RowCount(), 50);
        QVERIFY(!window->state().Dirty);
        QVERIFY(ime.attached.contains(grid()));
    }

    void movesSwitchTheInputMethod_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("imeOn");

        QTest::addRow("1 to 2 opens once") << 1 << 3 << QList<int>{Qt::Key_Right} << QStringList{u"open 0x19"_qs} << true;
        QTest::addRow("1 to 2 to 3: nothing more")
            << 1 << 3 << QList<int>{Qt::Key_Right, Qt::Key_Right} << QStringList{u"open 0x19"_qs} << true;
        QTest::addRow("2 to 3 calls nothing") << 2 << 3 << QList<int>{Qt::Key_Right} << QStringList{} << true;
        QTest::addRow("3 to 4 closes") << 3 << 3 << QList<int>{Qt::Key_Right} << QStringList{u"close"_qs} << false;
        QTest::addRow("4 to 5 calls nothing") << 4 << 3 << QList<int>{Qt::Key_Right} << QStringList{} << false;
        QTest::addRow("1 to 1 calls nothing") << 1 << 3 << QList<int>{Qt::Key_Down, Qt::Key_Up} << QStringList{} << false;
        QTest::addRow("2 to 2 calls nothing") << 2 << 3 << QList<int>{Qt::Key_Down} << QStringList{} << true;
        QTest::addRow("4 back to 3 opens") << 4 << 3 << QList<int>{Qt::Key_Left} << QStringList{u"open 0x19"_qs} << true;
        QTest::addRow("2 back to 1 closes") << 2 << 3 << QList<int>{Qt::Key_Left} << QStringList{u"close"_qs} << false;
        QTest::addRow("a whole row with Tab")
            << 1 << 3 << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab}
            << QStringList{u"open 0x19"_qs, u"close"_qs} << false;
        QTest::addRow("Tab from the map link wraps to the next postal code")
            << 5 << 3 << QList<int>{Qt::Key_Tab} << QStringList{} << false;
        QTest::addRow("Tab from the map link to the next row and on")
            << 5 << 3 << QList<int>{Qt::Key_Tab, Qt::Key_Tab} << QStringList{u"open 0x19"_qs} << true;
        QTest::addRow("back-Tab from the postal code to the map link above")
            << 1 << 3 << QList<int>{Qt::Key_Backtab} << QStringList{} << false;
    }

    void movesSwitchTheInputMethod()
    {
        QFETCH(int, col);
        QFETCH(int, row);
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, calls);
        QFETCH(bool, imeOn);

        startAt(col, row);
        press(keys);
        QCOMPARE(ime.calls, calls);
        QCOMPARE(window->state().ImeOn, imeOn);
    }

    void editorsAreHandedToTheInputMethod()
    {
        startAt(2, 3);
        QTest::keyClick(grid(), Qt::Key_A);
        QLineEdit *editor = grid()->cellEditor();
        QVERIFY(editor);
        QVERIFY(ime.attached.contains(editor));
    }

    void addressIsPrefilled_data()
    {
        QTest::addColumn<QString>("above");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("key"); // enters (2, 5)
        QTest::addColumn<QString>("after");

        QTest::addRow("prefecture, full-width space, ward")
            << u"東京都"_qs + Space + u"千代田区丸の内"_qs << QString() << int(Qt::Key_Right) << u"東京都"_qs + Space;
        QTest::addRow("entered from above")
            << u"東京都"_qs + Space + u"千代田区丸の内"_qs << QString() << int(Qt::Key_Down) << u"東京都"_qs + Space;
        QTest::addRow("entered from the right")
            << u"東京都"_qs + Space + u"港区"_qs << QString() << int(Qt::Key_Left) << u"東京都"_qs + Space;
        QTest::addRow("empty row above: nothing written") << QString() << QString() << int(Qt::Key_Right) << QString();
        QTest::addRow("a filled cell is left alone")
            << u"東京都"_qs + Space + u"港区"_qs << u"京都府"_qs + Space + u"京都市"_qs << int(Qt::Key_Right)
            << u"京都府"_qs + Space + u"京都市"_qs;
        QTest::addRow("a cell of one space is not empty")
            << u"東京都"_qs + Space + u"港区"_qs << u" "_qs << int(Qt::Key_Right) << u" "_qs;
    }

    void addressIsPrefilled()
    {
        QFETCH(QString, above);
        QFETCH(QString, before);
        QFETCH(int, key);
        QFETCH(QString, after);

        grid()->SetCell(2, 4, above);
        grid()->SetCell(2, 5, before);
        const int fromCol = key == Qt::Key_Right ? 1 : key == Qt::Key_Left ? 3 : 2;
        const int fromRow = key == Qt::Key_Down ? 4 : 5;
        startAt(fromCol, fromRow);
        QTest::keyClick(grid(), Qt::Key(key));
        QCOMPARE(grid()->CurCol(), 2);
        QCOMPARE(grid()->CurRow(), 5);
        QCOMPARE(grid()->GetCell(2, 5), after);
        QVERIFY(!window->state().Dirty); // a pre-fill is a suggestion, not a change
        QCOMPARE(grid()->IsSuggestion(2, 5), before.isEmpty() && !after.isEmpty()); // and drawn as one
        QCOMPARE(grid()->GetCell(2, 4), above);
        QCOMPARE(grid()->RowCount(), 50);
    }

    void rowOneIsNeverPrefilled()
    {
        grid()->SetRowCount(1);
        startAt(1, 1);
        QTest::keyClick(grid(), Qt::Key_Right);
        QCOMPARE(grid()->CurCol(), 2);
        QCOMPARE(grid()->GetCell(2, 1), QString());
        QCOMPARE(grid()->RowCount(), 1);
        QVERIFY(!window->state().Dirty);
    }

    // The caret stands after the pre-filled text: what is typed next goes on
    // after it, whether it comes as keys or as a composition.
    void typingContinuesAfterThePrefill_data()
    {
        QTest::addColumn<QString>("above");
        QTest::addColumn<bool>("composed");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");

        const QString tokyo = u"東京都"_qs + Space;
        QTest::addRow("keys after the prefecture")
            << tokyo + u"千代田区"_qs << false << u"minato 1-2"_qs << tokyo + u"minato 1-2"_qs;
        QTest::addRow("composition after the prefecture")
            << tokyo + u"千代田区"_qs << true << u"港区芝公園"_qs << tokyo + u"港区芝公園"_qs;
        QTest::addRow("keys after a whole address")
            << u"大阪市北区"_qs << false << u"3-1"_qs << u"大阪市北区3-1"_qs;
        QTest::addRow("keys into an empty cell with nothing above") << QString() << false << u"abc"_qs << u"abc"_qs;
        QTest::addRow("composition into an empty cell with nothing above")
            << QString() << true << u"横浜市"_qs << u"横浜市"_qs;
    }

    void typingContinuesAfterThePrefill()
    {
        QFETCH(QString, above);
        QFETCH(bool, composed);
        QFETCH(QString, typed);
        QFETCH(QString, result);

        grid()->SetCell(2, 6, above);
        startAt(1, 7);
        QTest::keyClick(grid(), Qt::Key_Right);
        if (composed) {
            // An input method first shows the composition, then commits it.
            QInputMethodEvent preedit(typed.left(1), {});
            QCoreApplication::sendEvent(grid(), &preedit);
            QLineEdit *editor = grid()->cellEditor();
            QVERIFY(editor);
            QVERIFY(editor->isVisible());
            QInputMethodEvent commit;
            commit.setCommitString(typed);
            QCoreApplication::sendEvent(editor, &commit);
        } else {
            type(typed);
        }
        QVERIFY(grid()->cellEditor());
        QTest::keyClick(grid()->cellEditor(), Qt::Key_Return);
        QTRY_COMPARE(grid()->GetCell(2, 7), result);
        QVERIFY(window->state().Dirty);
        QVERIFY(!grid()->IsSuggestion(2, 7)); // typed into: data
    }

    // Typing into a filled cell replaces its text, as in any spreadsheet,
    // also when the text comes through an input method.
    void typingReplacesAFilledCell_data()
    {
        QTest::addColumn<bool>("composed");
        QTest::addRow("keys") << false;
        QTest::addRow("composition") << true;
    }

    void typingReplacesAFilledCell()
    {
        QFETCH(bool, composed);
        grid()->SetCell(2, 6, u"東京都"_qs + Space + u"港区"_qs);
        grid()->SetCell(2, 7, u"古い住所"_qs);
        startAt(1, 7);
        QTest::keyClick(grid(), Qt::Key_Right);
        if (composed) {
            QInputMethodEvent commit;
            commit.setCommitString(u"新しい住所"_qs);
            QCoreApplication::sendEvent(grid(), &commit);
        } else {
            type(u"new"_qs);
        }
        QVERIFY(grid()->cellEditor());
        QTest::keyClick(grid()->cellEditor(), Qt::Key_Return);
        QTRY_COMPARE(grid()->GetCell(2, 7), composed ? u"新しい住所"_qs : u"new"_qs);
    }

    // Backspace empties the cell for typing: what is typed then is one step
    // with it, and Escape puts back what the cell held before either.
    void backspaceTypingAndEscape()
    {
        const struct
        {
            bool backspace;
            const char *typed;
            Qt::Key end;
            const char *after;
        } cases[] = {{true, "new", Qt::Key_Return, "new"}, {true, "", Qt::Key_Return, ""},
                     {true, "new", Qt::Key_Escape, "old"}, {true, "", Qt::Key_Escape, "old"},
                     {false, "new", Qt::Key_Escape, "old"}};
        QAction *undo = window->menus().mnEdt[6];
        for (const auto &c : cases) {
            grid()->SetCell(1, 3, u"old"_qs);
            startAt(1, 3);
            if (c.backspace)
                QTest::keyClick(grid(), Qt::Key_Backspace);
            type(QString::fromLatin1(c.typed));
            QVERIFY(grid()->cellEditor() && grid()->cellEditor()->isVisible());
            QTest::keyClick(grid()->cellEditor(), c.end);
            QTRY_COMPARE(grid()->GetCell(1, 3), QString::fromLatin1(c.after));
            QCOMPARE(undo->isEnabled(), c.end == Qt::Key_Return);
            if (undo->isEnabled()) {
                undo->trigger();
                QCOMPARE(grid()->GetCell(1, 3), u"old"_qs);
                QVERIFY(!undo->isEnabled()); // one step took it all back
            }
        }
    }

    // The caret applies to the cell it was placed for only.
    void caretDoesNotFollowToAnotherCell()
    {
        grid()->SetCell(2, 6, u"東京都"_qs + Space + u"港区"_qs);
        grid()->SetCell(3, 7, u"会社"_qs);
        startAt(1, 7);
        QTest::keyClick(grid(), Qt::Key_Right); // pre-fills (2, 7)
        QTest::keyClick(grid(), Qt::Key_Right); // on to the workplace
        type(u"x"_qs);
        QTest::keyClick(grid()->cellEditor(), Qt::Key_Return);
        QTRY_COMPARE(grid()->GetCell(3, 7), u"x"_qs);
        // Enter moved on to the next row: the untouched pre-fill went with it.
        QCOMPARE(grid()->GetCell(2, 7), QString());
    }

    void spareRow_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("rows");

        QTest::addRow("address of the last row, from the left") << 1 << 50 << int(Qt::Key_Right) << 51;
        QTest::addRow("address of the last row, from above") << 2 << 49 << int(Qt::Key_Down) << 51;
        QTest::addRow("address of the last row, from the right") << 3 << 50 << int(Qt::Key_Left) << 51;
        QTest::addRow("workplace of the last row") << 3 << 49 << int(Qt::Key_Down) << 50;
        QTest::addRow("postal code of the last row") << 1 << 49 << int(Qt::Key_Down) << 50;
        QTest::addRow("address of the row before the last") << 1 << 49 << int(Qt::Key_Right) << 50;
    }

    void spareRow()
    {
        QFETCH(int, col);
        QFETCH(int, row);
        QFETCH(int, key);
        QFETCH(int, rows);

        startAt(col, row);
        QTest::keyClick(grid(), Qt::Key(key));
        QCOMPARE(grid()->RowCount(), rows);
        QCOMPARE(grid()->GetCell(2, 51), QString());
    }

    void spareRowFollowsTheTyping()
    {
        // Typing addresses down the column keeps one blank row below; a
        // pre-fill left without typing is taken back.
        grid()->SetRowCount(3);
        grid()->SetCell(2, 2, u"東京都"_qs + Space + u"港区"_qs);
        startAt(2, 2);
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->RowCount(), 4);
        QCOMPARE(grid()->GetCell(2, 3), u"東京都"_qs + Space);
        type(u"1"_qs);
        QTest::keyClick(grid()->cellEditor(), Qt::Key_Return);
        QTRY_COMPARE(grid()->GetCell(2, 3), u"東京都"_qs + Space + u'1');
        QCOMPARE(grid()->RowCount(), 5);
        QCOMPARE(grid()->GetCell(2, 4), u"東京都"_qs + Space);
        QVERIFY(window->state().Dirty);
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->GetCell(2, 4), QString());
        QCOMPARE(grid()->GetCell(2, 5), QString());
        QCOMPARE(grid()->RowCount(), 6);
    }

    // Tab takes the text and moves on without opening the next cell; after
    // the 編集 menu is opened and closed from the keyboard, keys still reach
    // the grid.
    void keyboardStaysWithTheGrid()
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(1, 2));
        QTRY_VERIFY(grid()->hasFocus());
        type(u"abc"_qs);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(grid()->GetCell(1, 2), u"abc"_qs);
        QCOMPARE(grid()->CurCol(), 2);
        QVERIFY(!grid()->cellEditor() || !grid()->cellEditor()->isVisible());
        QTest::keyClick(window.get(), Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        type(u"xyz"_qs);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(grid()->GetCell(2, 3), u"xyz"_qs);
        QTRY_COMPARE(QApplication::focusWidget(), grid());
    }

    void doubleClick_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");

        const QString before = u"http://127.0.0.1:9/before"_qs;
        QTest::addRow("map link") << 5 << u"http://127.0.0.1:9/map?lat=35.6&lon=139.7"_qs
                                  << u"http://127.0.0.1:9/map?lat=35.6&lon=139.7"_qs;
        // Handed over untrimmed; the browser drops the spaces itself.
        QTest::addRow("map link, untrimmed") << 5 << u"http://127.0.0.1:9/map  "_qs << u"http://127.0.0.1:9/map"_qs;
        QTest::addRow("empty map link") << 5 << QString() << u"about:blank"_qs;
        QTest::addRow("not a web address") << 5 << u"javascript:alert(1)"_qs << before;
        QTest::addRow("a local file") << 5 << u"file:///etc/passwd"_qs << before;
        QTest::addRow("postal code") << 1 << u"http://127.0.0.1:9/zip"_qs << before;
        QTest::addRow("address") << 2 << u"http://127.0.0.1:9/address"_qs << before;
    }

    void doubleClick()
    {
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(QString, shown);

        window->web()->setURL(u"http://127.0.0.1:9/before"_qs);
        QTRY_COMPARE(window->web()->URL(), u"http://127.0.0.1:9/before"_qs);
        grid()->SetCell(col, 4, text);
        const QPoint at = cellCentre(col, 4);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(window->web()->URL(), shown);
        QCOMPARE(grid()->GetCell(col, 4), text);
        // A refused address is named in a message; nothing else asks anything.
        const bool refused = col == 5 && !text.startsWith(u"http"_qs) && !text.isEmpty();
        QCOMPARE(desktop.messages(), refused ? QStringList{text + u" は開けません\rhttp または https のｱﾄﾞﾚｽではありません"_qs}
                                              : QStringList());
    }

    // A right click opens the Edit menu where the pointer is, and its items
    // do what they do from the menu bar.
    void rightClickPopsUpTheEditMenu_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("zip"); // rows 1..4 after

        QTest::addRow("clear the row") << 2 << QStringList{u"1"_qs, u"2"_qs, QString(), u"4"_qs};
        QTest::addRow("insert a row") << 3 << QStringList{u"1"_qs, u"2"_qs, QString(), u"3"_qs};
        QTest::addRow("delete the row") << 4 << QStringList{u"1"_qs, u"2"_qs, u"4"_qs, QString()};
        QTest::addRow("clear the table") << 0 << QStringList{QString(), QString(), QString(), QString()};
    }

    void rightClickPopsUpTheEditMenu()
    {
        QFETCH(int, item);
        QFETCH(QStringList, zip);

        for (int r = 1; r <= 4; ++r)
            grid()->SetCell(1, r, QString::number(r));
        startAt(1, 3);
        const QPoint at = cellCentre(1, 3);
        const QPoint global = grid()->viewport()->mapToGlobal(at);
        QCursor::setPos(global);
        QWindow *handle = window->windowHandle();
        const QPoint inWindow = handle->mapFromGlobal(global);
        QTest::mouseClick(handle, Qt::RightButton, {}, inWindow);

        QMenu *menu = window->menus().mnJb[1];
        QTRY_VERIFY(menu->isVisible());
        QTRY_COMPARE(menu->pos(), QCursor::pos());
        QAction *action = window->menus().mnEdt[item];
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        QTRY_VERIFY(!menu->isVisible());
        QStringList after;
        for (int r = 1; r <= 4; ++r)
            after.append(grid()->GetCell(1, r));
        QCOMPARE(after, zip);
        QVERIFY(window->state().Dirty);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(CellEditingTest)
#include "CellEditingTest.moc"
