// 取り込み and 書き出し through the window: a workbook LibreOffice wrote taken
// in with the guessed mapping, the mapping remembered per header, a dropped
// workbook, bad input, export → import round trips, the list's other columns
// kept in their rows and written back in its layout, and a cancelled read.
#include "app/fmMain.h"
#include "core/exchange/ColumnMapping.h"
#include "core/env/Program.h"
#include "core/grid/TableState.h"
#include "core/recovery/RecoveryJournal.h"
#include "harness/MainWindow.h"
#include "harness/WidgetTestMain.h"
#include "support/ScriptedDesktop.h"
#include "support/TestData.h"
#include "widgets/exchange/ColumnMappingDialog.h"
#include "widgets/exchange/ExchangeCommands.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"
#include "widgets/labels/LabelCommands.h"
#include "widgets/lookup/ListCheckCommands.h"
#include "widgets/recovery/TableJournal.h"
#include "widgets/lookup/ListCheckPane.h"
#include "core/exchange/DelimitedText.h"
#include "core/exchange/XlsxReader.h"
#include "core/exchange/XlsxWriter.h"

#include <QAction>
#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTableWidget>
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
                 u"3 行を取り込みました (数値になっていた郵便番号 1 件、電話番号 1 件を直しました)"
                 "。ほかの 3 列は表に出さずに保持し、書き出しで元の位置に戻します"_qs);
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

    void mappingDialogShowsTheGuessAndEnterTakesIt()
    {
        SourceTable source;
        source.rows = {{u"氏名"_qs, u"〒"_qs, u"住所1"_qs, u"住所2"_qs, u"TEL"_qs},
                       {u"山田"_qs, u"600042"_qs, u"札幌市"_qs, u"1丁目"_qs, u"112345678"_qs}};
        const ColumnMapping guess = ColumnMapping::guess(source);
        {
            ColumnMappingDialog dialog(source, guess, window.get());
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QCOMPARE(dialog.preview()->rowCount(), 1);
            QCOMPARE(dialog.preview()->item(0, 0)->text(), u"060-0042"_qs);
            QCOMPARE(dialog.preview()->item(0, 1)->text(), u"札幌市\u30001丁目"_qs);
            QTest::keyClick(&dialog, Qt::Key_Return);
            QTRY_VERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.mapping(), guess);
        }
        // Joined in the order chosen, a column left out, no header: the
        // preview follows.
        ColumnMappingDialog dialog(source, guess);
        dialog.chooser(AddressTableModel::Add, 0)->setCurrentIndex(4); // D: 住所2
        dialog.chooser(AddressTableModel::Add, 1)->setCurrentIndex(3); // C: 住所1
        dialog.chooser(AddressTableModel::Tel, 0)->setCurrentIndex(0); // (なし)
        dialog.headerBox()->setChecked(false);
        QCOMPARE(dialog.mapping().sources[AddressTableModel::Add], (std::vector<int>{3, 2}));
        QVERIFY(dialog.mapping().sources[AddressTableModel::Tel].empty());
        QCOMPARE(dialog.preview()->rowCount(), 2);
        QCOMPARE(dialog.preview()->item(1, 1)->text(), u"1丁目\u3000札幌市"_qs);
        QCOMPARE(dialog.preview()->item(1, 3)->text(), QString());
    }

    void excel97Workbook()
    {
        importFile(data(u"plain.xls"_qs));
        QCOMPARE(desktop.sheetsPreselected.value(0), 1);
        QCOMPARE(row(0), (QStringList{u"060-0042"_qs, u"北海道札幌市中央区大通西\u30001丁目"_qs, u"山田商事"_qs,
                                      u"0112345678"_qs, QString()}));
        QCOMPARE(model().rowCount(), 3);
        // Formula cells FreeXL cannot read: said, and the table stays.
        desktop.choices.push_back(1); // 保存せずに開く
        importFile(data(u"list.xls"_qs));
        QCOMPARE(desktop.messages().size(), 2);
        QVERIFY(desktop.messages()[1].endsWith(u"2 個の数式セルは読めません。.xlsx に保存し直してください"_qs));
        QCOMPARE(model().cell(0, 0), u"060-0042");
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

    // Rows keep the list's other columns through 行挿入, 行削除, 並べ替え, 元に戻す
    // and 貼り付け, and 書き出し puts each back in its own column: 氏名 first,
    // 登録日 and 敬称付き last, 住所1+住所2 as one text where 住所1 was.
    void keptColumnsStayWithTheirRows()
    {
        QFile book(data(u"list.xlsx"_qs));
        QVERIFY(book.open(QIODevice::ReadOnly));
        const std::vector<QStringList> source = XlsxReader::read(book.readAll(), 1).table.rows;
        importFile(data(u"list.xlsx"_qs));
        QMap<QString, QStringList> expected; // each record as it is to come back, by its 氏名
        for (int r = 0; r < model().rowCount(); ++r) {
            const QStringList &from = source[std::size_t(r) + 1];
            expected[from[0]] = QStringList{from[0]} + row(r).mid(0, 4) + QStringList{from.value(6), from.value(7)};
        }
        const auto rowOf = [this](const QString &name) {
            for (int r = 0; r < model().rowCount(); ++r)
                if (model().row(r).keptCells().value(0) == name)
                    return r;
            return -1;
        };
        window->table().grid().GoToCell(1, 1);
        window->menus().mnEdt[3]->trigger(); // 行挿入 at the top
        window->table().setBlock(rowOf(u"鈴木花子"_qs) + 1, rowOf(u"鈴木花子"_qs) + 1);
        window->menus().mnEdt[4]->trigger(); // 行削除
        window->table().setBlock(0, 0);
        expected.remove(u"鈴木花子"_qs);
        desktop.sorts.push_back(Desktop::SortChoice{AddressTableModel::Add, false});
        window->menus().mnEdt[15]->trigger(); // 並べ替え by 住所: the blank row goes last
        QCOMPARE(rowOf(u"佐藤一郎"_qs), 0);
        window->menus().mnEdt[6]->trigger(); // 元に戻す
        QCOMPARE(rowOf(u"佐藤一郎"_qs), 2);
        QGuiApplication::clipboard()->setText(u"999-9999\t貼り付けた住所"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), u"999-9999\t貼り付けた住所"_qs, 5000);
        window->table().grid().GoToCell(1, 3);
        window->menus().mnEdt[11]->trigger(); // 貼り付け over 佐藤's 郵便番号 and 住所
        expected[u"佐藤一郎"_qs][1] = u"999-9999"_qs;
        expected[u"佐藤一郎"_qs][2] = u"貼り付けた住所"_qs;

        for (const QString &name : {u"back.xlsx"_qs, u"back.tsv"_qs}) {
            desktop.choices.push_back(2); // UTF-8, for the TSV file
            desktop.files.push_back(path(name));
            desktop.fileRequests.clear();
            window->menus().mnFile[8]->trigger();
            // Offered first: a workbook beside the list, named after it; then the name chosen last.
            QCOMPARE(desktop.fileRequests.value(0).startName,
                     name == u"back.xlsx"_qs ? data(u"list.xlsx"_qs) : path(u"back.xlsx"_qs));
            QFile written(path(name));
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray bytes = written.readAll();
            std::vector<QStringList> back = name.endsWith(u".xlsx") ? XlsxReader::read(bytes, 0).table.rows
                                                                    : DelimitedText::read(bytes).table.rows;
            QCOMPARE(back.front(), (QStringList{u"氏名"_qs, u"〒"_qs, u"住所1"_qs, u"会社名"_qs, u"TEL"_qs,
                                               u"登録日"_qs, u"敬称付き"_qs}));
            QCOMPARE(back.size(), std::size_t(4)); // the header, the blank row, 山田, 佐藤
            for (std::size_t r = 2; r < back.size(); ++r) {
                const QStringList want = expected.value(back[r].value(0));
                QCOMPARE(back[r].mid(0, want.size()), want);
            }
            desktop.choices.clear();
        }
    }

    // A CSV save keeps no other columns: it says so, the journal goes on, and
    // closing asks until 書き出し writes them (はい saves and writes). 初期化
    // clears them; 元に戻す brings them back. 開く forgets them; the journal
    // gives them back after a crash.
    void keptColumnsOnlyGoWithAnExport()
    {
        Program().UserDataFolder = dir->path() + u'/';
        window->keepJournal();
        importFile(data(u"list.xlsx"_qs));
        desktop.files.push_back(path(u"list.csv"_qs));
        window->menus().mnFile[1]->trigger(); // 上書き保存 asks a name
        QCOMPARE(window->statusBar()->currentMessage(),
                 u"保存しました (3 行)。取り込んだほかの列は書き出しでだけ保存されます"_qs);
        const QDir journals(path(u"journal"_qs));
        QTRY_COMPARE(journals.entryList({u"*.journal"_qs}).size(), 1);
        const QString own = journals.filePath(journals.entryList({u"*.journal"_qs}).value(0));
        // Begun again from the file as saved, not ended.
        QTRY_COMPARE(RecoveryJournal::read(own).source.file, path(u"list.csv"_qs));
        QVERIFY(QFile::copy(own, journals.filePath(u"99999.journal"_qs))); // as a crash leaves it
        QVERIFY(QFile::copy(own, journals.filePath(u"99998.journal"_qs))); // and another one

        window->menus().mnEdt[0]->trigger(); // 初期化
        QVERIFY(!window->table().keptUnwritten());
        window->menus().mnEdt[6]->trigger(); // 元に戻す
        QVERIFY(window->table().keptUnwritten());
        desktop.asked.clear();
        desktop.answers = {Desktop::Answer::Cancel};
        window->menus().mnFile[6]->trigger(); // 終了
        QCOMPARE(desktop.asked.value(0).text, u"現在のﾃﾞｰﾀｰを保存しますか"_qs);
        QVERIFY(!window->shutDown());

        desktop.choices.push_back(1); // 保存せずに開く: asked for the kept columns
        desktop.files.push_back(path(u"list.csv"_qs));
        window->menus().mnFile[0]->trigger();
        QVERIFY(!model().row(0).hasKept() && !window->table().state().Kept.any());
        desktop.answers = {Desktop::Answer::No, Desktop::Answer::Ok, Desktop::Answer::Yes};
        window->offerRecovery();
        // The one not restored is kept in the list's own layout, kept columns too.
        const QStringList keptFiles = QDir(path(u"recovery"_qs)).entryList({u"*.csv"_qs});
        QCOMPARE(keptFiles.size(), 1);
        const QByteArray keptBytes = readBytes(path(u"recovery/"_qs + keptFiles[0]));
        const QString keptText = QString::fromUtf8(keptBytes.mid(3));
        QVERIFY(keptBytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY2(keptText.startsWith(u"氏名,"_qs) && keptText.contains(u"山田太郎"_qs), qPrintable(keptText.left(200)));
        QCOMPARE(model().row(0).keptCells().value(0), u"山田太郎"_qs);
        QCOMPARE(window->table().state().Kept.kept, (std::vector<int>{0, 6, 7}));

        // Restored, the table is unsaved too: one はい saves list.csv again
        // and writes the workbook.
        desktop.asked.clear();
        desktop.answers = {Desktop::Answer::Yes};
        desktop.files = {path(u"kept.xlsx"_qs)};
        window->menus().mnFile[6]->trigger();
        QCOMPARE(desktop.asked.size(), 1);
        QVERIFY(window->shutDown());
        QVERIFY(QFile::exists(path(u"kept.xlsx"_qs)));
        window->journal().closeNormally();
    }

    // A kept column as the labels' addressee: its own line with 様.
    void keptColumnAsTheLabelsAddressee()
    {
        importFile(data(u"list.xlsx"_qs));
        QCOMPARE(window->labels().source().keptColumns, (QStringList{u"氏名"_qs, u"登録日"_qs, u"敬称付き"_qs}));
        QList<FittedLabel> labels;
        window->labels().runDialog = [&](LabelDialog &dialog) {
            dialog.setHonorific(Honorific::Onchu);
            dialog.setAddressee(0);
            labels = dialog.pages().labels();
            return int(QDialog::Rejected);
        };
        window->menus().mnFile[9]->trigger();
        QCOMPARE(labels.size(), 3);
        QCOMPARE(labels[0].lines.mid(labels[0].lines.size() - 2), (QStringList{u"山田商事"_qs, u"山田太郎　様"_qs}));
    }

    // A long 取り込み shows its progress; cancelled, it leaves the table.
    void cancelledImportLeavesTheTable()
    {
        std::vector<QStringList> rows{{u"氏名"_qs, u"郵便番号"_qs, u"住所"_qs}};
        for (int i = 0; i < 20000; ++i)
            rows.push_back({u"名前%1"_qs.arg(i), u"100-0005"_qs, u"東京都千代田区丸の内%1"_qs.arg(i)});
        QCOMPARE(XlsxWriter::write(path(u"big.xlsx"_qs), {{u"名簿"_qs, rows}}), QString());
        model().setCell(0, 0, u"mine"_qs);
        window->exchange().progressDelayMs = 0;
        bool shown = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &poll, [&poll, &shown] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *progress = qobject_cast<QProgressDialog *>(w); progress && progress->isVisible()) {
                    shown = true;
                    progress->cancel();
                    poll.stop();
                }
        });
        poll.start(0);
        importFile(path(u"big.xlsx"_qs));
        QVERIFY(shown);
        QCOMPARE(model().cell(0, 0), u"mine");
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void checkResultsAsASecondSheet()
    {
        model().setCell(0, 0, u"600042"_qs);
        CheckResult result;
        result.row = 0;
        result.kind = CheckKind::BadFormat;
        result.seen.zip = u"600042"_qs;
        result.proposedZip = u"060-0042"_qs;
        window->listCheck().results().setResults({result});
        const std::vector<QStringList> listed = ExchangeCommands::modelRows(window->listCheck().results());
        QCOMPARE(listed.size(), std::size_t(2));

        // Declined: one sheet; taken: the results as "チェック結果".
        for (const Desktop::Answer answer : {Desktop::Answer::No, Desktop::Answer::Yes}) {
            desktop.answers.push_back(Desktop::Answer::Yes); // replace the file of the first round
            desktop.answers.push_front(answer);
            desktop.files.push_back(path(u"checked.xlsx"_qs));
            window->menus().mnFile[8]->trigger();
            QVERIFY(desktop.messages().contains(u"一括チェックの結果も「チェック結果」シートに書き出しますか"_qs));
            QFile f(path(u"checked.xlsx"_qs));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray book = f.readAll();
            const XlsxReader::Book sheets = XlsxReader::sheets(book);
            QCOMPARE(int(sheets.sheets.size()), answer == Desktop::Answer::Yes ? 2 : 1);
            if (answer == Desktop::Answer::Yes) {
                QCOMPARE(sheets.sheets[1].name, u"チェック結果"_qs);
                QCOMPARE(XlsxReader::read(book, 1).table.rows.front(), listed.front());
            }
            desktop.answers.clear();
            desktop.asked.clear();
        }
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
