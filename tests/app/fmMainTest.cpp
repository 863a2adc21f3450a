#include "app/fmMain.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/lookup/LookupCommands.h"
#include "core/env/Program.h"
#include "core/grid/GridUnits.h"
#include "widgets/grid/vAdd.h"
#include "widgets/table/StatusFields.h"
#include "core/lookup/AddressComponent.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTimer>

#include <memory>

namespace {

struct Block
{
    int from = 0;
    int to = 0;
};

} // namespace

Q_DECLARE_METATYPE(Block)

class fmMainTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;

    void open()
    {
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        services.addressComponent = [] { return std::unique_ptr<AddressComponent>(); };
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
    }

    QStringList zipColumn() const
    {
        QStringList values;
        for (int r = 1; r <= window->grid()->RowCount(); ++r)
            values.append(window->grid()->GetCell(1, r));
        return values;
    }

    // Rows 1..n hold "1".."n" in the postal-code column.
    void fillNumbered(int rows)
    {
        vAdd *grid = window->grid();
        grid->SetRowCount(rows);
        grid->ClearCells(-1, -1, -1, -1);
        for (int r = 1; r <= rows; ++r)
            grid->SetCell(1, r, QString::number(r));
        window->state().Dirty = false;
    }

    // Selects rows from..to the way a person drags over them.
    void selectRows(int from, int to)
    {
        vAdd *grid = window->grid();
        const QItemSelection block(grid->table()->index(from - 1, 0), grid->table()->index(to - 1, 4));
        grid->selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
    }

private Q_SLOTS:
    void init() { open(); }
    void cleanup()
    {
        if (window)
            window->close();
        window.reset();
    }

    void startUpLeavesTheFirstCellActive()
    {
        vAdd *grid = window->grid();
        QCOMPARE(window->windowTitle(), u"住所･郵便番号･Map URLを調べる (Yahoo 測地系=tokyo)"_qs);
        QCOMPARE(grid->CurRow(), 1);
        QCOMPARE(grid->CurCol(), 1);
        QCOMPARE(grid->RowCount(), 50);
        QCOMPARE(grid->ColCount(), 5);
        QVERIFY(Program().FormLoaded);
        QVERIFY(!window->state().Quiet);
        QVERIFY(!window->state().Dirty);
        QVERIFY(!window->state().ImeOn);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(desktop.asked.isEmpty());
        const QStringList captions{u"郵便番号"_qs, u"住所"_qs, u"勤務先等"_qs, u"電話番号"_qs, u"Map URL"_qs};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(grid->ColumnWidth(c), GridUnits::DesignedWidths[c - 1]);
    }

    void menuBarHoldsEveryCommand()
    {
        const QStringList top{u"ﾌｧｲﾙ(&F)"_qs, u"編集(&E)"_qs, u"住所検索(&A)"_qs, u"地図検索(&M)"_qs, u"ﾍﾙﾌﾟ(&H)"_qs};
        const QList<QAction *> actions = window->menuBar()->actions();
        QCOMPARE(actions.size(), 5);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(actions[i]->text(), top[i]);
        QVERIFY(actions[4]->menu() == nullptr); // help has no items
        QCOMPARE(window->menus().mnFile[0]->shortcut(), QKeySequence(u"Ctrl+O"_qs));
        QCOMPARE(window->menus().mnFile[1]->shortcut(), QKeySequence(u"Ctrl+S"_qs));
        QVERIFY(window->menus().mnFile[3]->isSeparator());
        QVERIFY(window->menus().mnFile[5]->isSeparator());
        QCOMPARE(window->menus().mnFile[6]->text(), u"終了(&X)"_qs);
        QCOMPARE(window->menus().mnEdt[4]->text(), u"行削除(&D)"_qs);
        QCOMPARE(window->menus().mnAdd[2]->shortcut(), QKeySequence(Qt::Key_F4));
        QCOMPARE(window->menus().mnMap[1], nullptr);
        QCOMPARE(window->menus().mnMap[3]->shortcut(), QKeySequence(Qt::Key_F8));
        // No dictionary component was made: the searches are disabled, the
        // address menu and its update of the postal data are not.
        QVERIFY(window->menus().topAction(2)->isEnabled());
        QVERIFY(!window->menus().mnAdd[0]->isEnabled());
        QVERIFY(window->menus().mnAdd[4]->isEnabled());
    }

    void editCommands_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("current");
        QTest::addColumn<Block>("block");
        QTest::addColumn<QString>("commands"); // 編集 items in turn
        QTest::addColumn<QString>("expected"); // postal-code column after, '.' = blank
        // current 0: the active cell stays where selecting the block put it.

        QTest::addRow("clear rows, no block") << 10 << 4 << Block{} << u"2"_qs << u"1 2 3 . 5 6 7 8 9 10"_qs;
        QTest::addRow("insert rows twice, block 3-5")
            << 10 << 1 << Block{3, 5} << u"3 3"_qs << u"1 2 . . . . . . 3 4 5 6 7 8 9 10"_qs;
        QTest::addRow("delete rows, block 3-5") << 10 << 1 << Block{3, 5} << u"4"_qs << u"1 2 6 7 8 9 10"_qs;
        QTest::addRow("clear rows, block 3-5, other cell clicked")
            << 10 << 8 << Block{3, 5} << u"2"_qs << u"1 2 . . . 6 7 8 9 10"_qs;
        QTest::addRow("delete twice, block reaching past the end")
            << 10 << 1 << Block{8, 10} << u"4 4"_qs << u"1 2 3 4 5 6 7"_qs;
        QTest::addRow("delete rows, empty table") << 0 << 1 << Block{} << u"4"_qs << QString();
        QTest::addRow("insert, then type into the new row") << 10 << 3 << Block{} << u"3"_qs
                                                            << u"1 2 999 3 4 5 6 7 8 9 10"_qs;
        QTest::addRow("delete, delete, clear stay on the row") << 10 << 3 << Block{} << u"4 4 2"_qs
                                                              << u"1 2 . 6 7 8 9 10"_qs;
        QTest::addRow("insert, delete, clear with the block still selected")
            << 10 << 0 << Block{3, 5} << u"3 4 2"_qs << u"1 2 . . . 6 7 8 9 10"_qs;
        QTest::addRow("insert into an empty table") << 0 << 1 << Block{} << u"3"_qs << u"999"_qs;
    }

    void editCommands()
    {
        QFETCH(int, rows);
        QFETCH(int, current);
        QFETCH(Block, block);
        QFETCH(QString, commands);
        QFETCH(QString, expected);

        fillNumbered(rows);
        vAdd *grid = window->grid();
        if (block.to > 0) {
            selectRows(block.from, block.to);
            QCOMPARE(window->state().SelRowFrom, block.from);
            QCOMPARE(window->state().SelRowTo, block.to);
            // The remembered block is marked beside its row numbers, and only it.
            const auto marked = [grid](int row) {
                return grid->table()->headerData(row - 1, Qt::Vertical, AddressTableModel::MarkedRole).toBool();
            };
            QVERIFY(marked(block.from) && marked(block.to) && !marked(block.from - 1) && !marked(block.to + 1));
        }
        if (current > 0)
            grid->GoToCell(1, current); // a later single click keeps the remembered block
        const int before = grid->CurRow();
        for (const QString &command : commands.split(u' '))
            window->menus().mnEdt[command.toInt()]->trigger();
        // The commands never move the active cell (only off rows that are gone).
        QCOMPARE(grid->CurRow(), before > 0 ? std::min(before, grid->RowCount()) : std::min(1, grid->RowCount()));
        QCOMPARE(grid->CurCol(), grid->RowCount() > 0 ? 1 : 0);
        if (expected.contains(u"999"_qs)) {
            grid->setFocus();
            for (const char key : {'9', '9', '9'})
                QTest::keyClick(QApplication::focusWidget(), key);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            // The editor commits its text once the event loop runs.
            QTRY_COMPARE(QApplication::focusWidget(), grid);
        }

        QStringList want = expected.isEmpty() ? QStringList() : expected.split(u' ');
        for (QString &w : want)
            if (w == u".")
                w.clear();
        QCOMPARE(zipColumn(), want);
        QCOMPARE(window->state().SelRowFrom, block.from);
        QCOMPARE(window->state().SelRowTo, block.to);
        QVERIFY(grid->RowCount() >= 0);
        QCOMPARE(window->state().Dirty, !want.isEmpty());
        QCOMPARE(desktop.asked.size(), 0);
    }

    void personEditsSetDirtyProgramChangesDoNot()
    {
        vAdd *grid = window->grid();
        grid->SetCell(2, 3, u"program"_qs);
        QVERIFY(!window->state().Dirty);
        grid->setFocus();
        grid->GoToCell(4, 2);
        for (const QChar ch : u"0312345678"_qs)
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(grid->GetCell(4, 2), u"0312345678"_qs);
        QVERIFY(window->state().Dirty);
        // Enter takes the text and moves down, as in a spreadsheet; so does
        // Enter on a cell that is not being edited.
        QCOMPARE(grid->CurRow(), 3);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(grid->CurRow(), 4);
        QCOMPARE(grid->CurCol(), 4);
    }

    // The status bar's fields follow the table and its file.
    void statusBarTellsTheFileAndItsState()
    {
        const StatusFields &fields = window->statusFields();
        const auto shown = [&] {
            return QStringList{fields.fileField()->text(), fields.unsavedField()->text(), fields.rowsField()->text(),
                               fields.encodingField()->text()};
        };
        QCOMPARE(shown(), (QStringList{u"(名前なし)"_qs, QString(), u"0 行"_qs, u"Shift_JIS"_qs}));

        // 貼り付け with nothing to paste says what it needs.
        QGuiApplication::clipboard()->clear();
        QTRY_VERIFY(!QGuiApplication::clipboard()->mimeData() || !QGuiApplication::clipboard()->mimeData()->hasText());
        window->menus().mnEdt[11]->trigger();
        QCOMPARE(window->statusBar()->currentMessage(), u"貼り付けるには、セルか文字をコピーしてください"_qs);

        vAdd *grid = window->grid();
        grid->setFocus();
        grid->GoToCell(4, 2);
        for (const QChar ch : u"0312"_qs)
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(shown(), (QStringList{u"(名前なし)"_qs, u"未保存"_qs, u"1 行"_qs, u"Shift_JIS"_qs}));

        // A UTF-8 file without a byte-order mark.
        QTemporaryDir folder;
        const QString path = folder.filePath(u"list.csv"_qs);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("\"郵便番号\",\"住所\",\"勤務先等\",\"電話番号\",\"Map URL\"\r\n"
                                  "\"100-0005\",\"東京都千代田区丸の内\",\"\",\"\",\"\"\r\n"
                                  "\"\",\"大阪府大阪市北区\",\"\",\"\",\"\"\r\n").toUtf8());
        file.close();
        desktop.choices = {1}; // open without saving the typing
        window->openFile(path);
        QTRY_COMPARE(shown(), (QStringList{u"list.csv"_qs, QString(), u"2 行"_qs, u"UTF-8"_qs}));
        QCOMPARE(fields.fileField()->toolTip(), QDir::toNativeSeparators(path));
        QCOMPARE(window->statusBar()->currentMessage(), u"2 行を読み込みました (UTF-8)"_qs);

        // Saved under another name, the file is in code page 932.
        const QString saved = folder.filePath(u"saved.csv"_qs);
        desktop.files = {saved};
        window->menus().mnFile[2]->trigger();
        QTRY_COMPARE(shown(), (QStringList{u"saved.csv"_qs, QString(), u"2 行"_qs, u"Shift_JIS"_qs}));
        QCOMPARE(window->statusBar()->currentMessage(), u"保存しました (2 行)"_qs);
    }

    void rowAccessorsTrimHalfWidthSpaces()
    {
        vAdd *grid = window->grid();
        grid->GoToCell(3, 6);
        window->table().SetRowVal(u"Zip"_qs, u"  100-0005 "_qs);
        QCOMPARE(grid->GetCell(1, 6), u"100-0005"_qs);
        QVERIFY(window->state().Dirty);
        grid->SetCell(2, 6, u" 東京都　千代田区\t "_qs);
        QCOMPARE(window->table().GetRowVal(u"add"_qs), u"東京都　千代田区\t"_qs);
        QCOMPARE(AddressTable::KeyCol(u"url"_qs), 5);
        QCOMPARE(AddressTable::KeyCol(u"Tel"_qs), 4);
        QCOMPARE(AddressTable::KeyCol(u"addr"_qs), 0);
        QCOMPARE(AddressTable::KeyCol(QString()), 0);
    }

    void lastColumnFollowsTheWindowWidth()
    {
        vAdd *grid = window->grid();
        auto columnsWidth = [grid] {
            int sum = 0;
            for (int c = 0; c < 5; ++c)
                sum += grid->columnWidth(c);
            return sum;
        };
        // The table fills its pane: no horizontal scrolling at the designed size.
        QTRY_VERIFY2(qAbs(columnsWidth() - grid->viewport()->width()) <= 2,
                     qPrintable(u"%1 vs %2"_qs.arg(columnsWidth()).arg(grid->viewport()->width())));

        // Widening column 2 by dragging narrows column 5 by as much.
        window->resize(1200, window->height());
        QTRY_COMPARE(window->width(), 1200);
        const double before = grid->ColumnWidth(5);
        grid->horizontalHeader()->resizeSection(1, grid->columnWidth(1) + 81);
        QVERIFY(qAbs(grid->ColumnWidth(5) - (before - 10)) < 0.2);

        // Dragging column 5 itself is undone at once.
        grid->horizontalHeader()->resizeSection(4, grid->columnWidth(4) + 200);
        QVERIFY(qAbs(grid->ColumnWidth(5) - (before - 10)) < 0.2);

        // Too narrow: column 5 keeps its width.
        const double kept = grid->ColumnWidth(5);
        window->resize(500, window->height());
        QTRY_COMPARE(window->width(), 500);
        QCOMPARE(grid->ColumnWidth(5), kept);

        // While Quiet, a width notification is ignored.
        window->state().Quiet = true;
        grid->horizontalHeader()->resizeSection(1, grid->columnWidth(1) - 81);
        window->state().Quiet = false;
        QCOMPARE(grid->ColumnWidth(5), kept);
    }

    void rightClickPopsUpTheEditMenu()
    {
        fillNumbered(5);
        vAdd *grid = window->grid();
        grid->GoToCell(1, 2);
        QTimer::singleShot(0, this, [this] {
            QMenu *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(popup);
            QCOMPARE(popup, window->menus().mnJb[1]);
            window->menus().mnEdt[4]->trigger();
            popup->close();
        });
        const QPoint inCell = grid->visualRect(grid->table()->index(3, 2)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, inCell, grid->viewport()->mapToGlobal(inCell));
        QApplication::sendEvent(grid->viewport(), &event);
        QTRY_COMPARE(grid->RowCount(), 4);
        QCOMPARE(zipColumn(), QStringList({u"1"_qs, u"3"_qs, u"4"_qs, u"5"_qs}));
    }

    void closingShutsDownInOrderAndAsksNothingWhenSaved()
    {
        QVERIFY(window->close());
        QVERIFY(window->shutDown());
        QVERIFY(!Program().FormLoaded);
        QVERIFY(window->lookup().component() == nullptr);
        QVERIFY(desktop.asked.isEmpty());
    }
};

KOTOVEN_WIDGET_TEST_MAIN(fmMainTest)
#include "fmMainTest.moc"
