// The window's recovery journal: the question at the next start and both of
// its answers, the file given back only when it is unchanged, and a save or
// an undo back to the saved table ending the journal.
#include "app/fmMain.h"
#include "core/env/Cp932.h"
#include "core/env/Program.h"
#include "harness/MainWindow.h"
#include "harness/WidgetTestMain.h"
#include "support/ScriptedDesktop.h"
#include "support/TestData.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/recovery/TableJournal.h"
#include "widgets/table/FileCommands.h"

#include <QAction>
#include <QDir>
#include <QStatusBar>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

using Answer = Desktop::Answer;

namespace {

const QByteArray Header = Cp932::encode(u"郵便番号,住所,勤務先等,電話番号,MAP URL\r\n"_qs).bytes;
const QByteArray Row = Cp932::encode(u"\"100-0005\",\"東京都千代田区丸の内\",\"\",\"\",\"\"\r\n"_qs).bytes;
const QString Question = u"前回、保存されずに終了した変更があります。復元しますか"_qs;

} // namespace

class TableJournalTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    std::unique_ptr<QTemporaryDir> dir;

    QString path(const QString &name) const { return dir->filePath(name); }
    QStringList journals() const { return QDir(path(u"journal"_qs)).entryList({u"*.journal"_qs}, QDir::Files); }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        Program().UserDataFolder = dir->path() + u'/';
        desktop.clear();
    }

    void cleanup()
    {
        window->state().Dirty = false;
        window.reset();
    }

    void offeredAtTheNextStart_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("fileChanged"); // since the journal began
        QTest::newRow("はい, file as it was") << Answer::Yes << false;
        QTest::newRow("はい, file changed since") << Answer::Yes << true;
        QTest::newRow("いいえ") << Answer::No << false;
    }

    // A run that ended without saving left a journal (its writer gone).
    void offeredAtTheNextStart()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, fileChanged);
        const QString file = path(u"a.csv"_qs);
        QVERIFY(writeBytes(file, Header + Row));
        window->openFile(file);
        QCOMPARE(window->state().CurrentFile, file);
        const FileIdentity identity = window->files().fileIdentity();
        AddressTableModel::Rows rows = window->table().content();
        rows[0].setCell(AddressTableModel::Tel, u"03-1234-5678");
        {
            RecoveryJournal::Writer writer(path(u"journal/99999.journal"_qs));
            writer.begin({u"host"_qs, 99999, file, identity.size(), identity.modified().toMSecsSinceEpoch(),
                          identity.bytesHash()},
                         window->table().content(), {});
            writer.steps({RecoveryJournal::Writer::step(0, 1, rows, 0, 1, {})});
            writer.flush();
        }
        if (fileChanged)
            QVERIFY(writeBytes(file, Header + Row + Row));
        window->state().CurrentFile.clear();
        window->grid()->SetCell(1, 1, u"other"_qs);

        // Declined, two journals at once keep a file each.
        if (answer == Answer::No)
            QVERIFY(QFile::copy(path(u"journal/99999.journal"_qs), path(u"journal/99998.journal"_qs)));
        window->keepJournal();
        desktop.answers = {answer, Answer::Ok, answer};
        window->offerRecovery();
        QCOMPARE(desktop.asked.value(0).text, Question);
        QCOMPARE(desktop.asked.value(0).buttons, Desktop::Buttons::YesNo);
        QVERIFY(!QFileInfo::exists(path(u"journal/99999.journal"_qs)));
        if (answer == Answer::Yes) {
            QCOMPARE(window->grid()->GetCell(4, 1), u"03-1234-5678"_qs);
            QCOMPARE(window->grid()->GetCell(1, 1), u"100-0005"_qs);
            QVERIFY(window->state().Dirty);
            QCOMPARE(window->state().CurrentFile, fileChanged ? QString() : file);
            QCOMPARE(window->statusBar()->currentMessage().contains(file), fileChanged);
            QCOMPARE(desktop.asked.size(), 1);
        } else {
            const QStringList kept = QDir(path(u"recovery"_qs)).entryList({u"*.csv"_qs});
            QCOMPARE(kept.size(), 2);
            for (const QString &name : kept)
                QVERIFY(desktop.messages().contains(u"復元しなかった変更を次のファイルに残しました\r"_qs
                                                    + path(u"recovery/"_qs + name)));
            const QString keptFile = path(u"recovery/"_qs + kept[0]);
            const QByteArray bytes = readBytes(keptFile);
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
            QVERIFY(QString::fromUtf8(bytes).contains(u"\"東京都千代田区丸の内\",\"\",\"03-1234-5678\""_qs));
            QCOMPARE(window->grid()->GetCell(1, 1), u"other"_qs); // the table is left alone
        }
        window->journal().closeNormally();
        QVERIFY(journals().isEmpty());
    }

    // The journal begins with the first unsaved change and ends when the
    // table is saved, or taken back to what was saved.
    void endsWhenTheTableIsSavedOrCleanAgain()
    {
        window->keepJournal();
        window->grid()->table()->setData(window->grid()->table()->index(0, 0), u"100-0005"_qs);
        QVERIFY(window->state().Dirty);
        QTRY_COMPARE(journals().size(), 1);
        desktop.files = {path(u"b.csv"_qs)};
        window->menus().mnFile[2]->trigger();
        QVERIFY(!window->state().Dirty);
        QTRY_VERIFY(journals().isEmpty());

        window->grid()->table()->setData(window->grid()->table()->index(0, 1), u"東京都"_qs);
        QTRY_COMPARE(journals().size(), 1);
        // A save after which the table stays changed (a link came in while
        // it wrote): the journal starts again from the file as saved.
        const QString journal = path(u"journal/"_qs + journals().value(0));
        QCOMPARE(RecoveryJournal::read(journal).source.file, path(u"b.csv"_qs));
        QVERIFY(writeBytes(path(u"c.csv"_qs), Header + Row));
        window->files().adoptFile(FileIdentity::of(path(u"c.csv"_qs), FileIdentity::hash(QByteArray(Header + Row))));
        window->state().CurrentFile = path(u"c.csv"_qs);
        QTRY_COMPARE(RecoveryJournal::read(journal).source.file, path(u"c.csv"_qs));
        QCOMPARE(RecoveryJournal::read(journal).source.hash, FileIdentity::hash(QByteArray(Header + Row)));
        window->files().adoptFile(FileIdentity::of(path(u"b.csv"_qs), FileIdentity::hash(readBytes(path(u"b.csv"_qs)))));
        window->state().CurrentFile = path(u"b.csv"_qs);
        window->menus().mnEdt[6]->trigger(); // 元に戻す: the saved table again
        QVERIFY(!window->state().Dirty);
        QTRY_VERIFY(journals().isEmpty());
    }

    void commandsAreJournaledAsOperations_data()
    {
        QTest::addColumn<QList<int>>("items"); // 編集 menu items, in turn
        QTest::newRow("並べ替え") << QList<int>{15};
        QTest::newRow("初期化") << QList<int>{0};
        QTest::newRow("行挿入") << QList<int>{3};
        QTest::newRow("行削除") << QList<int>{4};
        QTest::newRow("行消去") << QList<int>{2};
        QTest::newRow("内容を消去") << QList<int>{12};
        QTest::newRow("行挿入, 元に戻す") << QList<int>{3, 6};
        QTest::newRow("行挿入, 元に戻す, やり直し") << QList<int>{3, 6, 7};
        QTest::newRow("並べ替え, 元に戻す") << QList<int>{15, 6};
        QTest::newRow("初期化, 元に戻す, やり直し, 元に戻す") << QList<int>{0, 6, 7, 6};
        QTest::newRow("行削除, 元に戻す, やり直し") << QList<int>{4, 6, 7};
        QTest::newRow("内容を消去, 行挿入, 元に戻す, 元に戻す") << QList<int>{12, 3, 6, 6};
    }

    // A command made again from the table before it costs the journal a
    // few bytes, not its rows, and the journal read back is the table.
    void commandsAreJournaledAsOperations()
    {
        QFETCH(QList<int>, items);
        AddressTableModel::Rows rows;
        for (int i = 0; i < 2000; ++i)
            rows.append(AddressTableModel::Row::fromCells(QString::number(i * 7919 % 2000), QString(u"東京都"_qs + QString::number(i)),
                                                          {}, QString::number(i * 104729), {}));
        window->grid()->table()->replaceRows(rows);
        window->keepJournal();
        window->grid()->table()->setData(window->grid()->table()->index(0, 2), u"x"_qs);
        QTRY_COMPARE(journals().size(), 1);
        RecoveryJournal::Writer &writer = *window->journal().writer();
        const auto settled = [&] {
            QCoreApplication::processEvents();
            writer.flush();
            const RecoveryJournal::Recovered back = RecoveryJournal::read(writer.path());
            const AddressTableModel::Rows now = window->table().content();
            return back.rows.size() == now.size() &&
                   std::equal(now.begin(), now.end(), back.rows.begin(), [](const auto &a, const auto &b) {
                       return a.text == b.text && a.ends == b.ends;
                   });
        };
        QTRY_VERIFY(settled());
        const qint64 before = writer.fileBytes();
        window->grid()->GoToCell(2, 10);
        window->table().setBlock(10, 1500);
        window->grid()->SelectArea(QRect(QPoint(1, 10), QPoint(2, 1500)));
        desktop.sorts = {Desktop::SortChoice{1, true}};
        for (const int item : items)
            window->menus().mnEdt[item]->trigger();
        QTRY_VERIFY(settled());
        QVERIFY(writer.fileBytes() > before);
        QCOMPARE_LT(writer.fileBytes() - before, 1000);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(TableJournalTest)
#include "TableJournalTest.moc"
