// 取り込み and 書き出し through the window: a workbook LibreOffice wrote taken
// in with the guessed mapping, the mapping remembered per header, a dropped
// workbook, bad input, and export → import round trips.
#include "app/fmMain.h"
#include "core/exchange/ColumnMapping.h"
#include "core/grid/TableState.h"
#include "harness/MainWindow.h"
#include "harness/WidgetTestMain.h"
#include "support/ScriptedDesktop.h"
#include "widgets/exchange/ExchangeCommands.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"

#include <QAction>
#include <QFile>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>

#include <memory>

class ExchangeCommandsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    std::unique_ptr<QTemporaryDir> dir;

    static QString data(const QString &name) { return QStringLiteral(KOTOVEN_EXCHANGE_DATA "/") + name; }
    QString path(const QString &name) const { return dir->filePath(name); }
    AddressTableModel &model() const { return *window->table().grid().table(); }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < AddressTableModel::ColumnCount; ++c)
            cells.append(model().cell(r, c).toString());
        return cells;
    }
    void importFile(const QString &file)
    {
        desktop.files.push_back(file);
        window->menus().mnFile[7]->trigger();
    }

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        desktop.clear();
        dir = std::make_unique<QTemporaryDir>();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
    }

    void cleanup()
    {
        desktop.answers.push_back(Desktop::Answer::No); // the close question, if any
        desktop.choices.push_back(1);
        window.reset();
    }

    void workbookTakenInAsGuessed()
    {
        window->table().state().CurrentFile = path(u"old.csv"_qs);
        importFile(data(u"list.xlsx"_qs));
        // The first sheet holding anything is preselected; hidden ones marked.
        QCOMPARE(desktop.sheetsOffered.size(), 1);
        QCOMPARE(desktop.sheetsOffered[0], (QStringList{u"空"_qs, u"名簿"_qs, u"隠し (hidden)"_qs}));
        QCOMPARE(desktop.sheetsPreselected[0], 1);
        QCOMPARE(model().rowCount(), 3);
        QCOMPARE(row(0), (QStringList{u"060-0042"_qs, u"北海道札幌市中央区大通西\u30001丁目"_qs, u"山田商事"_qs,
                                      u"0112345678"_qs, QString()}));
        QCOMPARE(row(1), (QStringList{u"100-0001"_qs, u"東京都千代田区千代田"_qs, u"皇居外苑管理事務所"_qs, QString(),
                                      QString()}));
        QCOMPARE(row(2), (QStringList{u"0600042"_qs, u"北海道札幌市中央区\u3000北1条西2丁目"_qs, u"札幌市役所"_qs,
                                      u"011-211-2111"_qs, QString()}));
        // Not the workbook's file, and changed.
        QCOMPARE(window->table().state().CurrentFile, QString());
        QVERIFY(window->table().state().Dirty);
        QCOMPARE(window->statusBar()->currentMessage(),
                 u"3 行を取り込みました (数値になっていた郵便番号 1 件、電話番号 1 件を直しました)"_qs);
        // 上書き保存 asks for a name rather than writing anywhere.
        window->menus().mnFile[1]->trigger();
        QCOMPARE(desktop.fileRequests.last().mode, Desktop::FileMode::Save);
    }

    void mappingRememberedPerHeader()
    {
        desktop.mappings.push_back([](ColumnMapping &m) {
            m.sources[AddressTableModel::Cmp] = {0}; // 氏名 as the workplace
            return true;
        });
        importFile(data(u"list.xlsx"_qs));
        QCOMPARE(model().cell(0, AddressTableModel::Cmp), u"山田太郎");
        const QString chosen = desktop.mappingsOffered.isEmpty() ? QString() : desktop.mappingsOffered[0];
        // Again, without saving: the question comes first, then the mapping
        // chosen last is offered.
        desktop.choices.push_back(1); // 保存せずに開く
        importFile(data(u"list.xlsx"_qs));
        QCOMPARE(desktop.mappingsOffered.size(), 2);
        QVERIFY(desktop.mappingsOffered[1] != chosen);
        QCOMPARE(model().cell(0, AddressTableModel::Cmp), u"山田太郎");

        // Cancelling the mapping keeps the table.
        desktop.choices.push_back(1);
        desktop.mappings.push_back([](ColumnMapping &) { return false; });
        importFile(data(u"list.xlsx"_qs));
        QCOMPARE(model().cell(0, AddressTableModel::Cmp), u"山田太郎");
    }

    void badInputLeavesTheTable()
    {
        model().setCell(0, 0, u"100-0001"_qs);
        window->table().history().startOver(true);
        importFile(data(u"list.ods"_qs));
        QCOMPARE(desktop.messages().size(), 1);
        QVERIFY(desktop.messages()[0].contains(u".ods"_qs));
        QCOMPARE(model().cell(0, 0), u"100-0001");
        QVERIFY(desktop.mappingsOffered.isEmpty());
    }

    void droppedWorkbookIsTakenIn()
    {
        window->openFile(data(u"list.xlsx"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(desktop.mappingsOffered.size(), 1, 20000);
        QCOMPARE(model().cell(0, 0), u"060-0042");
        QCOMPARE(window->table().state().CurrentFile, QString());
    }

    void exportThenImport_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("encoding"); // button of the encoding question; -1: none asked
        QTest::newRow("xlsx") << u"out.xlsx"_qs << -1;
        QTest::newRow("no extension") << u"out"_qs << -1;
        QTest::newRow("csv cp932") << u"out.csv"_qs << 0;
        QTest::newRow("tsv utf-8") << u"out.tsv"_qs << 2;
        QTest::newRow("csv utf-16") << u"out.csv"_qs << 3;
    }

    void exportThenImport()
    {
        QFETCH(QString, name);
        QFETCH(int, encoding);
        const QList<QStringList> rows{{u"060-0042"_qs, u"北海道札幌市中央区大通西1丁目"_qs, u"山田商事, 本社"_qs,
                                       u"0112345678"_qs, u"https://a.example/?a=1&b=\"2\""_qs},
                                      {QString(), u"住所だけ"_qs, QString(), QString(), QString()},
                                      {u"0010010"_qs, QString(), QString(), u"09012345678"_qs, QString()}};
        model().setRowCountTo(int(rows.size()) + 2); // empty rows at the end are not written
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < AddressTableModel::ColumnCount; ++c)
                model().setCell(r, c, rows[r][c]);
        if (encoding >= 0)
            desktop.choices.push_back(encoding);
        desktop.files.push_back(path(name));
        window->menus().mnFile[8]->trigger();
        // Only the encoding is asked, for CSV/TSV.
        QCOMPARE(desktop.messages().size(), encoding >= 0 ? 1 : 0);
        QCOMPARE(window->statusBar()->currentMessage(), u"書き出しました (3 行)"_qs);
        const QString written = name.contains(u'.') ? path(name) : path(name + u".xlsx"_qs);
        QVERIFY(QFile::exists(written));

        desktop.choices.push_back(1); // 保存せずに開く
        importFile(written);
        QCOMPARE(desktop.mappingsOffered.size(), 1);
        QCOMPARE(model().rowCount(), int(rows.size()));
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(row(r), rows[r]);
    }

    void exportAsksAboutCharactersCp932CannotHold()
    {
        model().setCell(0, 1, u"髙橋𠮷"_qs);
        desktop.choices.push_back(0); // code page 932
        desktop.answers.push_back(Desktop::Answer::No);
        desktop.files.push_back(path(u"out.csv"_qs));
        window->menus().mnFile[8]->trigger();
        QCOMPARE(desktop.messages().size(), 2); // the encoding, then the characters
        QVERIFY(desktop.messages()[1].startsWith(u"1 行目 2 列目など 1 文字は"_qs));
        QVERIFY(!QFile::exists(path(u"out.csv"_qs)));
    }
};

KOTOVEN_WIDGET_TEST_MAIN(ExchangeCommandsTest)
#include "ExchangeCommandsTest.moc"
