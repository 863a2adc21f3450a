#include "app/fmMain.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "widgets/lookup/AddressLookupDialog.h"
#include "widgets/lookup/ListCheckCommands.h"
#include "widgets/lookup/ListCheckPane.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/lookup/PostalAddressComponent.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "support/TestData.h"
#include "harness/WidgetTestMain.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalUpdate.h"
#include "app/MainMenus.h"
#include "widgets/lookup/LookupCommands.h"
#include <QDir>
#include "core/grid/GridUnits.h"
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QHeaderView>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QUndoStack>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Stands in for the dictionary component: records what it is handed and
// hands back what the test scripted.
struct Call
{
    int x = 0, y = 0;
    QString zip, add, cmp;
    short mode = -1;
    bool posFirst = false;
};

struct Script
{
    std::vector<Call> calls;
    bool posSet = false;
    int x = 0, y = 0;
    std::function<void(QString &, QString &, QString &)> answer; // empty: unchanged
    bool taken = true; // false: the person cancels the search
};

class ScriptedComponent final : public AddressComponent
{
public:
    explicit ScriptedComponent(Script *script) : m_script(script) {}
    void SetPos(int &x, int &y) override
    {
        m_script->posSet = true;
        m_script->x = x;
        m_script->y = y;
    }
    bool PutAdd(QString &zip, QString &add, QString &cmp, short mode) override
    {
        m_script->calls.push_back({m_script->x, m_script->y, zip, add, cmp, mode, m_script->posSet});
        m_script->posSet = false;
        if (!m_script->taken)
            return false;
        if (m_script->answer)
            m_script->answer(zip, add, cmp);
        return true;
    }

private:
    Script *m_script;
};

// Runs `step` on the modal window once it is up; a window the step left
// open (a failed check) is closed so the test goes on.
void whenModal(std::function<void(QWidget *)> step)
{
    QTimer::singleShot(0, [step] {
        [&] {
            QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
            step(QApplication::activeModalWidget());
        }();
        if (auto *open = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            open->reject();
    });
}

// Keys into the grid as a person types them: the first opens the cell
// editor, the rest go to it.
void typeIntoGrid(vAdd *grid, const QString &text)
{
    for (const QChar c : text) {
        QWidget *target = grid;
        if (grid->cellEditor() && grid->cellEditor()->isVisible())
            target = grid->cellEditor();
        QTest::keyClick(target, c.toLatin1());
    }
}

// Typing as an input method delivers it: text without a key code.
void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

std::shared_ptr<const PostalDictionary> fixtureDictionary()
{
    static std::shared_ptr<const PostalDictionary> dict = [] {
        QTemporaryDir dir;
        QFile::copy(testDataPath(u"lookup/KEN_ALL.CSV"_qs), dir.filePath(u"KEN_ALL.CSV"_qs));
        QFile::copy(testDataPath(u"lookup/JIGYOSYO.CSV"_qs), dir.filePath(u"JIGYOSYO.CSV"_qs));
        return std::shared_ptr<const PostalDictionary>(PostalReaders::load({dir.path(), dir.path()}));
    }();
    return dict;
}

} // namespace

class AddressLookupTest : public QObject
{
    Q_OBJECT

private:
    ScriptedDesktop desktop;
    Script script;
    std::unique_ptr<fmMain> window;

    void open(std::function<std::unique_ptr<AddressComponent>()> factory)
    {
        desktop.clear();
        script = Script{};
        fmMainServices services;
        services.desktop = &desktop;
        services.addressComponent = std::move(factory);
        window = std::make_unique<fmMain>(std::move(services));
        window->move(40, 30);
        QVERIFY(showAndActivate(*window));
    }
    void openScripted()
    {
        open([this] { return std::make_unique<ScriptedComponent>(&script); });
    }
    void setRow(int row, const QString &zip, const QString &add, const QString &cmp, const QString &tel = {})
    {
        vAdd *grid = window->grid();
        grid->SetCell(1, row, zip);
        grid->SetCell(2, row, add);
        grid->SetCell(3, row, cmp);
        grid->SetCell(4, row, tel);
        window->state().Dirty = false;
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 1; c <= 5; ++c)
            cells.append(window->grid()->GetCell(c, r));
        return cells;
    }

private Q_SLOTS:
    void cleanup()
    {
        if (window)
            window->close();
        window.reset();
    }

    // ---- the menu command over a scripted component ----

    void handsOverTheRow_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("col");
        QTest::addColumn<QStringList>("cells");  // zip, add, cmp in the row
        QTest::addColumn<QStringList>("handed"); // zip, add, cmp handed over
        QTest::addColumn<int>("messages");

        const QStringList full{u"100-0005"_qs, u"東京都千代田区丸の内"_qs, u"日本テスト商事"_qs};
        QTest::addRow("any: all three as read") << 0 << 1 << full << full << 0;
        QTest::addRow("by address: code emptied") << 1 << 2 << full
                                                  << QStringList{{}, full[1], full[2]} << 0;
        QTest::addRow("by code: address emptied") << 2 << 3 << full << QStringList{full[0], {}, full[2]} << 0;
        QTest::addRow("spaces trimmed as read")
            << 0 << 1 << QStringList{u" 1000005  "_qs, u"  東京都　"_qs, u" "_qs}
            << QStringList{u"1000005"_qs, u"東京都　"_qs, {}} << 0;
        QTest::addRow("empty row: message, then empty lookup")
            << 0 << 2 << QStringList{{}, {}, {}} << QStringList{{}, {}, {}} << 1;
    }

    void handsOverTheRow()
    {
        QFETCH(int, index);
        QFETCH(int, col);
        QFETCH(QStringList, cells);
        QFETCH(QStringList, handed);
        QFETCH(int, messages);
        openScripted();
        setRow(3, cells[0], cells[1], cells[2], u"03-1234-5678"_qs);
        window->grid()->GoToCell(col, 3);

        window->menus().mnAdd[index]->trigger();

        QCOMPARE(int(script.calls.size()), 1);
        const Call &call = script.calls.front();
        QCOMPARE((QStringList{call.zip, call.add, call.cmp}), handed);
        QCOMPARE(call.mode, short(0));
        QVERIFY(call.posFirst);
        QCOMPARE(desktop.asked.size(), messages);
        if (messages)
            QCOMPARE(desktop.asked.front().text, u"現在の選択行には住所情報がありません"_qs);
        QCOMPARE(window->grid()->GetCell(4, 3), u"03-1234-5678"_qs);
    }

    void telephoneAndMapColumnsDoNothing_data()
    {
        QTest::addColumn<int>("col");
        QTest::addRow("telephone") << 4;
        QTest::addRow("map link") << 5;
    }

    void telephoneAndMapColumnsDoNothing()
    {
        QFETCH(int, col);
        openScripted();
        setRow(2, {}, {}, {});
        window->grid()->GoToCell(col, 2);
        for (int i = 0; i < 3; ++i)
            window->menus().mnAdd[i]->trigger();
        QVERIFY(script.calls.empty());
        QVERIFY(desktop.asked.isEmpty());
        // but say where they work
        QCOMPARE(window->statusBar()->currentMessage(), u"郵便番号・住所・勤務先等の列で使います"_qs);
        QCOMPARE(window->grid()->CurCol(), col);
        QVERIFY(!window->state().Dirty);
    }

    void writesBackWithCaretAfterTheAddress_data()
    {
        QTest::addColumn<QStringList>("answer");  // what the component hands back
        QTest::addColumn<QStringList>("written"); // zip, add, cmp cells after
        QTest::addColumn<int>("caret");

        QTest::addRow("address from the dictionary")
            << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内"_qs, u"会社"_qs}
            << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内　"_qs, u"会社"_qs} << 10;
        QTest::addRow("leading spaces dropped, caret follows the text")
            << QStringList{u" 100-0005 "_qs, u"  東京都"_qs, u"会社 "_qs}
            << QStringList{u"100-0005"_qs, u"東京都　"_qs, u"会社"_qs} << 3;
    }

    void writesBackWithCaretAfterTheAddress()
    {
        QFETCH(QStringList, answer);
        QFETCH(QStringList, written);
        QFETCH(int, caret);
        openScripted();
        script.answer = [answer](QString &zip, QString &add, QString &cmp) {
            zip = answer[0];
            add = answer[1];
            cmp = answer[2];
        };
        setRow(4, u"1000005"_qs, {}, {}, u"tel"_qs);
        window->grid()->GoToCell(1, 4);

        window->menus().mnAdd[2]->trigger();

        QCOMPARE(row(4).mid(0, 3), written);
        QCOMPARE(window->grid()->GetCell(4, 4), u"tel"_qs);
        QCOMPARE(window->grid()->CurRow(), 4);
        QCOMPARE(window->grid()->CurCol(), 2);
        QVERIFY(window->state().Dirty);
        // The cell is open with the caret right after the address text.
        QLineEdit *editor = window->grid()->cellEditor();
        QVERIFY(editor && editor->isVisible());
        QCOMPARE(editor->cursorPosition(), caret);
        QVERIFY(!editor->hasSelectedText());
        QTest::keyClick(editor, Qt::Key_X);
        QCOMPARE(editor->text(), written[1].left(caret) + u'x' + written[1].mid(caret));
    }

    // Esc in the search window leaves the row as it was: no text, no move,
    // no Dirty.
    void cancelledLookupChangesNothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("cells");
        QTest::addRow("F2 on an empty row") << 0 << QStringList{{}, {}, {}};
        QTest::addRow("F3") << 1 << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内"_qs, {}};
        QTest::addRow("F4") << 2 << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内"_qs, u"会社"_qs};
    }

    void cancelledLookupChangesNothing()
    {
        QFETCH(int, index);
        QFETCH(QStringList, cells);
        openScripted();
        script.taken = false;
        setRow(2, cells[0], cells[1], cells[2]);
        window->grid()->GoToCell(1, 2);
        window->state().Dirty = false;
        window->menus().mnAdd[index]->trigger();
        QCOMPARE(int(script.calls.size()), 1);
        QCOMPARE(row(2).mid(0, 3), cells);
        QCOMPARE(window->grid()->CurCol(), 1);
        QCOMPARE(window->grid()->CurRow(), 2);
        QVERIFY(!window->state().Dirty);
    }

    void unchangedAnswerStillWritesTheFullWidthSpace()
    {
        openScripted();
        setRow(1, u"1000005"_qs, u"東京都千代田区丸の内"_qs, {});
        window->grid()->GoToCell(2, 1);
        window->menus().mnAdd[0]->trigger();
        QCOMPARE(window->grid()->GetCell(2, 1), u"東京都千代田区丸の内　"_qs);
        QVERIFY(window->state().Dirty);
    }

    void positionIsTheCellOnTheScreenInTwips()
    {
        openScripted();
        setRow(5, u"1"_qs, {}, {});
        vAdd *grid = window->grid();
        grid->GoToCell(3, 5);
        window->menus().mnAdd[0]->trigger();
        QCOMPARE(int(script.calls.size()), 1);
        const QRect cell = grid->CellRect(3, 5);
        const QPoint gridAt = grid->mapTo(window.get(), QPoint(0, 0));
        const double twips = 1440.0 / window->logicalDpiX();
        QCOMPARE(script.calls[0].x, int(std::lround((cell.x() + gridAt.x() + window->x()) * twips)));
        QCOMPARE(script.calls[0].y, int(std::lround((cell.y() + gridAt.y() + window->y()) * twips)));
        QVERIFY(script.calls[0].x > 0);
        QVERIFY(script.calls[0].y > 0);
    }

    void valueStillBeingTypedIsLookedUp()
    {
        openScripted();
        setRow(1, {}, {}, {});
        vAdd *grid = window->grid();
        grid->GoToCell(1, 1);
        grid->setFocus();
        typeIntoGrid(grid, u"1000005"_qs);
        QVERIFY(grid->cellEditor() && grid->cellEditor()->isVisible());
        QTest::keyClick(window.get(), Qt::Key_F4);
        QCOMPARE(int(script.calls.size()), 1);
        QCOMPARE(script.calls[0].zip, u"1000005"_qs);
        QVERIFY(desktop.asked.isEmpty());
    }

    void withoutComponentTheSearchesAreDisabledAndDoNothing()
    {
        int made = 0;
        open([&made] {
            ++made;
            return std::unique_ptr<AddressComponent>();
        });
        QCOMPARE(made, 1);
        // The menu stays open for the update of the postal data.
        QVERIFY(window->menus().topAction(2)->isEnabled());
        for (int i = 0; i < 3; ++i)
            QVERIFY(!window->menus().mnAdd[i]->isEnabled());
        QVERIFY(window->menus().mnAdd[4]->isEnabled());
        setRow(1, {}, {}, {});
        window->grid()->GoToCell(1, 1);
        window->mnAdd_Click(0);
        QVERIFY(desktop.asked.isEmpty());
        QVERIFY(!window->state().Dirty);
        QCOMPARE(made, 1); // not tried again
    }

    void updateOfThePostalDataMakesTheLookupAvailable()
    {
        // No data at all: only the update can be chosen.
        QTemporaryDir noSkk;
        const QString skk = noSkk.path();
        open([skk] { return PostalAddressComponent::create(Program().UserDataFolder, skk); });
        const MainMenus &menus = window->menus();
        QCOMPARE(menus.mnAdd[4]->text(), u"郵便番号データの更新(&U)..."_qs);
        QVERIFY(!menus.mnAdd[0]->isEnabled());
        QVERIFY(menus.mnAdd[4]->isEnabled());

        desktop.files.push_back(sourcePath(u"data/postal/ken_all.zip"_qs));
        menus.mnAdd[4]->trigger();
        QCOMPARE(desktop.fileRequests.size(), 1);
        // An existing folder (Downloads, or home without it), never a name.
        QVERIFY(QFileInfo(desktop.fileRequests[0].folder).isDir());
        QCOMPARE(desktop.fileRequests[0].startName, QString());
        QCOMPARE(desktop.messages().size(), 1);
        QVERIFY2(desktop.messages()[0].contains(u"→ 2026/05/26"_qs), qPrintable(desktop.messages()[0]));
        // The running component now answers from the new data.
        QVERIFY(menus.mnAdd[0]->isEnabled());
        auto *component = dynamic_cast<PostalAddressComponent *>(window->lookup().component());
        QVERIFY(component);
        QCOMPARE(QFileInfo(component->dictionary().sources.front().path).fileName(), u"ken_all.zip"_qs);
        QVERIFY(!component->dictionary().findCode(u"1000005"_qs, 10).empty());
        QFile::remove(QDir(Program().UserDataFolder).filePath(u"ken_all.zip"_qs));
        QDir(PostalUpdate::previousFolder(Program().UserDataFolder)).removeRecursively();
    }

    // ---- the program's own component and its window ----

    void cancelReturnsTheInputsUnchanged_data()
    {
        QTest::addColumn<int>("how"); // 0 Esc, 1 close, 2 cancel button
        QTest::addRow("Esc") << 0;
        QTest::addRow("window closed") << 1;
        QTest::addRow("cancel button") << 2;
    }

    void cancelReturnsTheInputsUnchanged()
    {
        QFETCH(int, how);
        PostalAddressComponent component(fixtureDictionary());
        QString zip = u"1000005"_qs, add = u"東京都千代田区丸ノ内　１－１"_qs, cmp = u"会社"_qs;
        whenModal([how](QWidget *w) {
            auto *dialog = qobject_cast<AddressLookupDialog *>(w);
            QVERIFY(dialog);
            QVERIFY(dialog->candidates()->rowCount() > 0); // there was something to take
            typeText(dialog->addressField(), u"京都"_qs);   // edits in the window are not handed back
            if (how == 0)
                QTest::keyClick(dialog->addressField(), Qt::Key_Escape);
            else if (how == 1)
                dialog->close();
            else
                dialog->findChild<QPushButton *>(u"btCancel"_qs)->click();
        });
        QVERIFY(!component.PutAdd(zip, add, cmp, 0));
        QCOMPARE(zip, u"1000005"_qs);
        QCOMPARE(add, u"東京都千代田区丸ノ内　１－１"_qs);
        QCOMPARE(cmp, u"会社"_qs);
    }

    void keyboardOnlyLookups_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QString>("field"); // where the person types
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QStringList>("returned");

        QTest::addRow("code to address") << QStringList{u"1000005"_qs, {}, u"会社"_qs} << QString() << QString() << 0
                                         << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内"_qs, u"会社"_qs};
        QTest::addRow("address to code keeps block numbers")
            << QStringList{{}, u"東京都千代田区丸の内　１－１"_qs, {}} << QString() << QString() << 0
            << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内　１－１"_qs, {}};
        QTest::addRow("typing narrows, arrow picks the second")
            << QStringList{{}, {}, {}} << u"txZip"_qs << u"１００"_qs << 1
            << QStringList{u"100-0005"_qs, u"東京都千代田区丸の内"_qs, {}};
        QTest::addRow("typed address") << QStringList{{}, {}, {}} << u"txAdd"_qs << u"北海道札幌市中央区大通西２２丁目"_qs
                                       << 0 << QStringList{u"064-0820"_qs, u"北海道札幌市中央区大通西２２丁目"_qs, {}};
        QTest::addRow("office by workplace") << QStringList{{}, {}, {}} << u"txCmp"_qs << u"テスト商事"_qs << 0
                                             << QStringList{u"100-8799"_qs, u"東京都千代田区丸の内１丁目１－１"_qs,
                                                            u"株式会社　日本テスト商事"_qs};
    }

    void keyboardOnlyLookups()
    {
        QFETCH(QStringList, given);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QStringList, returned);
        PostalAddressComponent component(fixtureDictionary());
        QString zip = given[0], add = given[1], cmp = given[2];
        whenModal([=](QWidget *w) {
            QWidget *target = field.isEmpty() ? w->focusWidget() : w->findChild<QLineEdit *>(field);
            QVERIFY(target);
            if (!field.isEmpty())
                target->setFocus();
            typeText(target, typed);
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(target, Qt::Key_Down);
            QTest::keyClick(target, Qt::Key_Return);
        });
        component.PutAdd(zip, add, cmp, 0);
        QCOMPARE((QStringList{zip, add, cmp}), returned);
    }

    void doubleClickTakesTheRow()
    {
        PostalAddressComponent component(fixtureDictionary());
        QString zip = u"4980000"_qs, add, cmp;
        whenModal([](QWidget *w) {
            auto *dialog = qobject_cast<AddressLookupDialog *>(w);
            QTableView *list = dialog->candidateList();
            QCOMPARE(dialog->candidates()->rowCount(), 2); // one code, two prefectures
            QVERIFY(QTest::qWaitForWindowExposed(w, 30000));
            const QRect second = list->visualRect(dialog->candidates()->index(1, 1));
            QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        });
        component.PutAdd(zip, add, cmp, 0);
        QCOMPARE(zip, u"498-0000"_qs);
        QCOMPARE(add, u"三重県桑名郡木曽岬町"_qs);
    }

    void windowShowsItsDataAndOpensAtThePosition()
    {
        PostalAddressComponent component(fixtureDictionary());
        QString zip = u"100"_qs, add, cmp;
        int x = 20 * 15, y = 30 * 15;
        component.SetPos(x, y);
        whenModal([](QWidget *w) {
            auto *dialog = qobject_cast<AddressLookupDialog *>(w);
            // Just below the row whose cell starts there, never over it.
            QCOMPARE(dialog->x(), 20);
            QVERIFY2(dialog->frameGeometry().top() >= 30 + GridUnits::RowHeightPixels, qPrintable(QString::number(dialog->y())));
            QVERIFY(dialog->frameGeometry().top() <= 30 + GridUnits::RowHeightPixels + 40);
            const QString source = dialog->sourceLabel()->text();
            QVERIFY2(source.contains(u"KEN_ALL.CSV"_qs) && source.contains(u"JIGYOSYO.CSV"_qs), qPrintable(source));
            QVERIFY(source.contains(QFileInfo(testDataPath(u"lookup/KEN_ALL.CSV"_qs)).lastModified().date().toString(u"yyyy/MM/dd"_qs))
                    || source.contains(QDate::currentDate().toString(u"yyyy/MM/dd"_qs)));
            QCOMPARE(dialog->zipField()->text(), u"100"_qs);
            dialog->reject();
        });
        component.PutAdd(zip, add, cmp, 0);
    }

    void windowKeptOnScreen()
    {
        PostalAddressComponent component(fixtureDictionary());
        QString zip, add, cmp;
        int x = 100000 * 15, y = 100000 * 15;
        component.SetPos(x, y);
        whenModal([](QWidget *w) {
            const QRect screen = w->screen()->availableGeometry();
            QVERIFY2(screen.contains(w->frameGeometry().topLeft()), qPrintable(u"%1,%2"_qs.arg(w->x()).arg(w->y())));
            QVERIFY(w->x() + w->width() <= screen.right() + 1);
            QVERIFY(w->y() + w->height() <= screen.bottom() + 1);
            static_cast<QDialog *>(w)->reject();
        });
        component.PutAdd(zip, add, cmp, 0);
    }

    void keptOnScreenArithmetic_data()
    {
        QTest::addColumn<QPoint>("wanted");
        QTest::addColumn<QPoint>("placed");
        const QRect screen(0, 0, 1280, 1024);
        QTest::addRow("inside") << QPoint(100, 200) << QPoint(100, 200);
        QTest::addRow("past the right edge") << QPoint(1000, 200) << QPoint(880, 200);
        QTest::addRow("past the bottom") << QPoint(100, 900) << QPoint(100, 724);
        QTest::addRow("negative") << QPoint(-50, -10) << QPoint(0, 0);
        QTest::addRow("far away") << QPoint(99999, 99999) << QPoint(880, 724);
    }

    void keptOnScreenArithmetic()
    {
        QFETCH(QPoint, wanted);
        QFETCH(QPoint, placed);
        QCOMPARE(AddressLookupDialog::keptOnScreen(wanted, QSize(400, 300), QRect(0, 0, 1280, 1024)), placed);
    }

    void besideTheRow_data()
    {
        QTest::addColumn<QRect>("row");
        QTest::addColumn<QPoint>("placed");
        QTest::addRow("below") << QRect(100, 200, 50, 20) << QPoint(100, 220);
        QTest::addRow("just fits below") << QRect(100, 704, 50, 20) << QPoint(100, 724);
        QTest::addRow("above near the bottom") << QRect(100, 800, 50, 20) << QPoint(100, 500);
        QTest::addRow("below, moved in from the right") << QRect(1200, 100, 50, 20) << QPoint(880, 120);
        QTest::addRow("no room either side, more below") << QRect(0, 250, 50, 20) << QPoint(0, 260);
        QTest::addRow("no room either side, more above") << QRect(0, 290, 50, 20) << QPoint(0, 0);
    }

    void besideTheRow()
    {
        QFETCH(QRect, row);
        QFETCH(QPoint, placed);
        const bool shortScreen = QString::fromUtf8(QTest::currentDataTag()).startsWith(u"no room"_qs);
        const QRect screen = shortScreen ? QRect(0, 0, 1280, 560) : QRect(0, 0, 1280, 1024);
        QCOMPARE(AddressLookupDialog::besideRow(row, QSize(400, 300), screen), placed);
    }

    void officeNameAndReadingShownWhole()
    {
        AddressLookupDialog dialog(fixtureDictionary(), {}, {}, u"テスト"_qs);
        const CandidateModel *model = dialog.candidates();
        QCOMPARE(model->headerData(CandidateModel::Kana, Qt::Horizontal).toString(), u"読み"_qs);
        int offices = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString name = model->data(model->index(row, CandidateModel::Office)).toString();
            if (name.isEmpty())
                continue;
            ++offices;
            QVERIFY(!model->data(model->index(row, CandidateModel::Kana)).toString().isEmpty());
            QVERIFY2(dialog.candidateList()->columnWidth(CandidateModel::Office)
                         >= dialog.candidateList()->fontMetrics().horizontalAdvance(name),
                     qPrintable(name));
        }
        QVERIFY(offices >= 2);
        dialog.zipField()->setText(u"0640941"_qs);
        QCOMPARE(model->data(model->index(0, CandidateModel::Kana)).toString(), u"ｱｻﾋｶﾞｵｶ"_qs);
    }

    void listNarrowsAsAnyFieldIsEdited()
    {
        AddressLookupDialog dialog(fixtureDictionary(), {}, {}, {});
        CandidateModel *model = dialog.candidates();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model->rowCount(), 0);
        typeText(dialog.zipField(), u"1"_qs);
        QCOMPARE(model->rowCount(), 0);
        typeText(dialog.zipField(), u"00"_qs);
        QCOMPARE(model->rowCount(), 8); // 7 towns and an office
        typeText(dialog.zipField(), u"6"_qs);
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->data(model->index(0, CandidateModel::Zip)).toString(), u"100-6201"_qs);
        QCOMPARE(model->data(model->index(0, CandidateModel::Note)).toString(), u"１階"_qs);
        dialog.zipField()->clear();
        typeText(dialog.addressField(), u"府中市"_qs);
        QCOMPARE(model->rowCount(), 2);
        typeText(dialog.workplaceField(), u"髙﨑製作所"_qs);
        QCOMPARE(model->data(model->index(model->rowCount() - 1, CandidateModel::Office)).toString(),
                 u"（株）髙﨑製作所"_qs);
    }

    // ---- the whole road: fmMain with its own component ----

    void lookupsFromTheGridEndToEnd()
    {
        open([] { return PostalAddressComponent::create(QString(), testDataPath(u"lookup"_qs)); });
        QVERIFY(window->menus().topAction(2)->isEnabled());
        vAdd *grid = window->grid();
        setRow(1, {}, {}, {});
        setRow(2, {}, {}, {});
        grid->GoToCell(1, 1);
        grid->setFocus();
        typeIntoGrid(grid, u"1000005"_qs);
        whenModal([](QWidget *w) {
            auto *dialog = qobject_cast<AddressLookupDialog *>(w);
            QCOMPARE(dialog->candidates()->data(dialog->candidates()->index(0, 1)).toString(), u"東京都千代田区丸の内"_qs);
            QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(window.get(), Qt::Key_F4);
        QCOMPARE(grid->GetCell(1, 1), u"100-0005"_qs);
        QCOMPARE(grid->GetCell(2, 1), u"東京都千代田区丸の内　"_qs);
        QCOMPARE(grid->CurCol(), 2);

        QTRY_VERIFY(window->isActiveWindow());
        grid->GoToCell(2, 2);
        grid->SetCell(2, 2, u"東京都千代田区丸の内　１－１"_qs);
        whenModal([](QWidget *w) { QTest::keyClick(w->focusWidget(), Qt::Key_Return); });
        QTest::keyClick(window.get(), Qt::Key_F3);
        QCOMPARE(grid->GetCell(1, 2), u"100-0005"_qs);
        QCOMPARE(grid->GetCell(2, 2), u"東京都千代田区丸の内　１－１　"_qs);
    }

    // ---- the check of the whole list ----

    void wholeListCheckAppliesOneKindAsOneStep()
    {
        open([] { return std::make_unique<PostalAddressComponent>(fixtureDictionary()); });
        ListCheckCommands &check = window->listCheck();
        check.skkFolder = testDataPath(u"lookup"_qs);
        setRow(1, {}, u"東京都千代田区霞が関１－１"_qs, {});
        setRow(2, u"1000005"_qs, u"東京都千代田区丸の内１－１"_qs, {});
        setRow(3, {}, u"滋賀県犬上郡多賀町一円"_qs, {});
        setRow(4, {}, u"京都府京都市中京区下丸屋町"_qs, u"中京事務所"_qs);
        setRow(5, u"6048001"_qs, {}, {});
        QSignalSpy ended(&check, &ListCheckCommands::checkEnded);
        const QList<int> panes = window->splitter()->sizes();
        QTest::keyClick(window.get(), Qt::Key_B, Qt::ControlModifier);
        QVERIFY(ended.wait(10000));
        // The pane's room came from the browser pane: the grid kept its height.
        QTRY_VERIFY(window->splitter()->sizes()[1] < panes[1]);
        QTRY_COMPARE(window->splitter()->sizes()[0], panes[0]);
        const CheckResultModel &results = check.results();
        const auto kinds = [&] {
            QList<QPair<int, CheckKind>> found; // rows from 1
            for (int e = 0; e < results.entryCount(); ++e)
                found.append({results.result(e).row + 1, results.result(e).kind});
            return found;
        };
        using enum CheckKind;
        QCOMPARE(kinds(), (QList<QPair<int, CheckKind>>{{1, NoCode}, {3, NoCode}, {4, NoCode}, {5, NoAddress}}));

        // A row inserted above moves the results with their rows; a row edited
        // since the check is left alone.
        window->grid()->GoToCell(1, 1);
        window->mnEdt_Click(3);
        QCOMPARE(kinds(), (QList<QPair<int, CheckKind>>{{2, NoCode}, {4, NoCode}, {5, NoCode}, {6, NoAddress}}));
        window->grid()->SetCell(2, 5, u"京都府京都市中京区上大阪町"_qs);
        const QStringList edited = row(5);

        QUndoStack &history = window->table().history().stack();
        const int steps = history.count();
        check.pane().setFilter(NoCode);
        QCOMPARE(check.pane().list()->model()->rowCount(), 3);
        // Each kind says what it is and what 適用 writes; the address shows whole.
        const QModelIndex first = check.pane().list()->model()->index(0, CheckResultModel::Kind);
        QCOMPARE(first.data(Qt::ToolTipRole).toString(), explanation(NoCode));
        QCOMPARE(first.siblingAtColumn(CheckResultModel::Address).data(Qt::ToolTipRole).toString(),
                 u"東京都千代田区霞が関１－１"_qs);
        // F6 goes to the pane and back; the buttons have access keys.
        window->grid()->setFocus();
        QTest::keyClick(window->grid(), Qt::Key_F6);
        QTRY_VERIFY(check.pane().list()->hasFocus());
        QTest::keyClick(check.pane().list(), Qt::Key_F6);
        QTRY_VERIFY(window->grid()->hasFocus());
        QTest::keyClick(window->grid(), Qt::Key_K, Qt::AltModifier); // この種類をすべて適用
        QTRY_COMPARE(history.count(), steps + 1);
        QCOMPARE(row(2).mid(0, 2), (QStringList{u"100-0013"_qs, u"東京都千代田区霞が関１－１"_qs}));
        QCOMPARE(row(3)[0], u"1000005"_qs);
        QCOMPARE(row(4).mid(0, 2), (QStringList{u"522-0317"_qs, u"滋賀県犬上郡多賀町一円"_qs}));
        QCOMPARE(row(5), edited);
        QCOMPARE(row(6)[1], QString());
        QCOMPARE(results.state(results.entryOfRow(1)), CheckResultModel::EntryState::Applied);
        QCOMPARE(results.state(results.entryOfRow(4)), CheckResultModel::EntryState::Changed);

        // 元に戻す, from the pane where the apply was made.
        check.pane().list()->setFocus();
        QTest::keyClick(check.pane().list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(row(2)[0], QString());
        QCOMPARE(row(4)[0], QString());
        QCOMPARE(row(5), edited);
        QCOMPARE(results.state(results.entryOfRow(1)), CheckResultModel::EntryState::Open);

        // A click on a result goes to its row.
        check.pane().setFilter(std::nullopt);
        QTableView *list = check.pane().list();
        const QRect line = list->visualRect(list->model()->index(results.lineOf(results.entryOfRow(5)), 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line.center());
        QCOMPARE(window->grid()->CurRow(), 6);

        // Closed, the pane gives its room back and takes its colours along.
        QAbstractItemModel *numbers = window->grid()->verticalHeader()->model();
        QVERIFY(numbers->headerData(1, Qt::Vertical, Qt::BackgroundRole).isValid());
        window->mnEdt_Click(0); // 初期化
        QVERIFY(!numbers->headerData(1, Qt::Vertical, Qt::BackgroundRole).isValid());
        window->mnEdt_Click(6); // 元に戻す
        QVERIFY(numbers->headerData(1, Qt::Vertical, Qt::BackgroundRole).isValid());
        check.pane().close();
        QTRY_COMPARE(window->splitter()->sizes(), panes);
        QVERIFY(!numbers->headerData(1, Qt::Vertical, Qt::BackgroundRole).isValid());
    }
};

KOTOVEN_WIDGET_TEST_MAIN(AddressLookupTest)
#include "AddressLookupTest.moc"
