// The File menu driven as a person drives it: menus and keys on the real main
// window, dialogs answered by the scripted desktop, files in a temporary folder.
#include "app/fmMain.h"
#include "widgets/table/FileCommands.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/map/MapCommands.h"
#include "core/env/Cp932.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include <unistd.h>

using Answer = Desktop::Answer;
using Answers = QList<Answer>;

namespace {

const QString Header = QStringLiteral("郵便番号,住所,勤務先等,電話番号,MAP URL\r\n");

QByteArray cp932(const QString &text)
{
    return Cp932::encode(text).bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class FileCommandsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    std::unique_ptr<QTemporaryDir> dir;

    QString path(const QString &name) const { return dir->filePath(name); }
    vAdd *grid() const { return window->grid(); }

    // The table, one "zip|add|cmp|tel|url" entry per row.
    QStringList table() const
    {
        QStringList rows;
        for (int r = 1; r <= grid()->RowCount(); ++r) {
            QStringList cells;
            for (int c = 1; c <= 5; ++c)
                cells.append(grid()->GetCell(c, r));
            rows.append(cells.join(u'|'));
        }
        return rows;
    }

    // Puts rows "zip|add|cmp|tel|url" into the table as the program would.
    void fill(const QStringList &rows)
    {
        grid()->SetRowCount(int(rows.size()));
        grid()->ClearCells(-1, -1, -1, -1);
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList cells = rows[r].split(u'|');
            for (int c = 0; c < cells.size(); ++c)
                grid()->SetCell(c + 1, r + 1, cells[c]);
        }
    }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(window.get(), Qt::Key(key), modifiers);
    }

    void open(const QString &file)
    {
        desktop.files.push_back(file);
        press(Qt::Key_O);
    }

    // Answers the progress dialog of the next load or save with a cancel,
    // noting the cursor shown meanwhile.
    void cancelProgressWhenShown(Qt::CursorShape *cursor, bool *shown)
    {
        auto *poll = new QTimer(window.get());
        connect(poll, &QTimer::timeout, poll, [poll, cursor, shown] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *progress = qobject_cast<QProgressDialog *>(w); progress && progress->isVisible()) {
                    *shown = true;
                    *cursor = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                             : Qt::ArrowCursor;
                    progress->cancel();
                    poll->deleteLater();
                    return;
                }
            }
        });
        poll->start(0);
    }

private Q_SLOTS:
    void init()
    {
        desktop.clear();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        Program().UserDataFolder = dir->path() + u'/';
        QVERIFY(showAndActivate(*window));
    }

    void cleanup()
    {
        if (window)
            window->state().Dirty = false;
        window.reset();
        dir.reset();
    }

    void openLoadsTheFileWithTheDialogSettings()
    {
        const QString file = path(u"住所録.csv"_qs);
        writeFile(file, cp932(Header + u"\"100-0005\",\"東京都千代田区丸の内\",\"\",\"03-1234-5678\",\"\"\r\n"
                                       u"\"\",\"大阪府\",\"株式会社ﾃｽﾄ\",\"\",\"\"\r\n"_qs));
        window->state().Dirty = true; // answered 保存せずに開く below
        window->state().SelRowFrom = 3;
        window->state().SelRowTo = 4;
        desktop.choices = {1};
        open(file);

        QCOMPARE(desktop.messages(), QStringList{u"現在のﾃﾞｰﾀｰを更新しますか"_qs});
        QCOMPARE(desktop.asked[0].labels, QStringList({u"保存して開く"_qs, u"保存せずに開く"_qs, u"キャンセル"_qs}));
        QCOMPARE(window->statusBar()->currentMessage(), u"2 行を読み込みました"_qs);
        QCOMPARE(table(), QStringList({u"100-0005|東京都千代田区丸の内||03-1234-5678|"_qs,
                                       u"|大阪府|株式会社ﾃｽﾄ||"_qs, u"||||"_qs}));
        QCOMPARE(window->state().CurrentFile, file);
        QVERIFY(!window->state().Dirty);
        QVERIFY(!window->state().Quiet);
        QCOMPARE(window->state().SelRowFrom, 0);
        QCOMPARE(window->state().SelRowTo, 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        QCOMPARE(desktop.fileRequests.size(), 1);
        const Desktop::FileRequest request = desktop.fileRequests[0];
        QCOMPARE(request.mode, Desktop::FileMode::Open);
        QCOMPARE(request.title, u"table_file_commands_dv"_qs); // "_dv" stays in the title
        QCOMPARE(request.folder, Program().UserDataFolder);
        QCOMPARE(request.filter, u"CSVﾃｷｽﾄﾌｧｲﾙ (*.csv)"_qs);
        QCOMPARE(request.startName, QString());

        // One dialog for Open and Save As: it offers the name chosen last.
        window->menus().mnFile[2]->trigger(); // cancelled
        QCOMPARE(desktop.fileRequests[1].mode, Desktop::FileMode::Save);
        QCOMPARE(desktop.fileRequests[1].startName, file);
        QCOMPARE(desktop.fileRequests[1].title, u"table_file_commands_dv"_qs);
    }

    void openingFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows");      // empty: not compared
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QStringList>("messages");  // "%1" stands for the path
        QTest::addColumn<bool>("becomesCurrent");

        const QString bad = u"%1 の形式が不正です\r3 行目を読み込めません"_qs;
        const QStringList none;
        // An empty file leaves one row to type into.
        QTest::addRow("empty file") << QByteArray() << none << 1 << none << true;
        QTest::addRow("header only") << cp932(Header) << QStringList{u"||||"_qs} << 1 << none << true;
        QTest::addRow("LF-only lines") << cp932(u"h\n\"1\",\"東京\",\"\",\"\",\"\"\n2,3,4,5,6\n"_qs)
                                       << QStringList({u"1|東京|||"_qs, u"2|3|4|5|6"_qs, u"||||"_qs}) << 3 << none
                                       << true;
        QTest::addRow("CR-only lines") << cp932(u"h\r1,2,3,4,5\r6,7,8,9,10\r"_qs) << QStringList{u"||||"_qs} << 1
                                       << none << true;
        QTest::addRow("four fields") << cp932(Header + u"1,2,3,4,5\r\na,b,c,d\r\n6,7,8,9,10\r\n"_qs)
                                     << QStringList({u"1|2|3|4|5"_qs, u"a|b|c|d|"_qs, u"||||"_qs, u"||||"_qs}) << 4
                                     << QStringList{bad} << false;
        QTest::addRow("blank line in the middle")
            << cp932(Header + u"1,2,3,4,5\r\n\r\n6,7,8,9,10\r\n\r\n"_qs)
            << QStringList({u"1|2|3|4|5"_qs, u"||||"_qs, u"||||"_qs, u"||||"_qs}) << 4 << QStringList{bad} << false;
        QTest::addRow("cells with quotes, commas and line breaks")
            << cp932(Header + u"\"a,b\",\"say \"\"hi\"\"\",\"x\r\ny\",\"\",\"\"\r\n"_qs)
            << QStringList({u"a,b|say \"hi\"|x\r\ny||"_qs, u"||||"_qs}) << 2 << none << true;
        QTest::addRow("NUL byte") << QByteArray("h\r\n1,2\0003,4,5,6\r\n", 16)
                                  << QStringList({u"1|2"_qs + QChar(0) + u"3|4|5|6"_qs, u"||||"_qs}) << 2 << none
                                  << true;
        QTest::addRow("UTF-8 with byte-order mark") << QByteArray("\xEF\xBB\xBFh\r\n1,東京都,,,\r\n")
                                                    << QStringList({u"1|東京都|||"_qs, u"||||"_qs}) << 2 << none
                                                    << true;
        QTest::addRow("UTF-8 without byte-order mark")
            << QByteArray("h\r\n1,2,3,4,5\r\n1,\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86,,,\r\n")
            << QStringList({u"1|2|3|4|5"_qs, u"1|あいう|||"_qs, u"||||"_qs}) << 3 << none << true;
        // Read as UTF-8, a character code page 932 cannot hold would be lost
        // by writing the file back.
        QTest::addRow("UTF-8 beyond code page 932")
            << QByteArray("h\r\n1,\xF0\x9F\x98\x80,,,\r\n") << QStringList({u"1|\U0001F600|||"_qs, u"||||"_qs}) << 2
            << none << false;
        QTest::addRow("invalid code page 932") << QByteArray("h\r\n1,\x85\x40,3,4,5\r\n") << QStringList() << 2
                                               << QStringList{u"%1 の 2 行目などに読み込めない文字があります"_qs}
                                               << false;
        QTest::addRow("binary garbage") << QByteArray("\x00\xFF\xFE\x81\"\x01,\r\x0A\x0A,\"\xFD\x85", 14)
                                        << QStringList() << 3
                                        << QStringList{QString(bad).replace(u'3', u'2'),
                                                       u"%1 の 1 行目などに読み込めない文字があります"_qs}
                                        << false;
    }

    void openingFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QFETCH(int, rowCount);
        QFETCH(QStringList, messages);
        QFETCH(bool, becomesCurrent);

        const QString file = path(u"in.csv"_qs);
        writeFile(file, bytes);
        window->state().CurrentFile = path(u"before.csv"_qs);
        fill({u"old|||"_qs});
        window->state().SelRowFrom = 1;
        window->state().SelRowTo = 1;
        open(file);

        for (QString &m : messages)
            m = m.arg(file);
        QCOMPARE(desktop.messages(), messages);
        if (!rows.isEmpty())
            QCOMPARE(table(), rows);
        QCOMPARE(grid()->RowCount(), rowCount);
        QVERIFY(!window->state().Quiet);
        // A partly loaded table has no file to go back to.
        QCOMPARE(window->state().CurrentFile, becomesCurrent ? file : QString());
        const bool stopped = messages.join(u'\n').contains(u"形式が不正"_qs);
        QCOMPARE(window->state().SelRowTo, stopped ? 1 : 0);
        QCOMPARE(contents(file), bytes);
    }

    void openQuestionNoKeepsEverything()
    {
        fill({u"mine|||"_qs});
        window->state().Dirty = true;
        window->state().CurrentFile = path(u"mine.csv"_qs);
        const QString other = path(u"other.csv"_qs);
        writeFile(other, cp932(Header + u"1,2,3,4,5\r\n"_qs));
        desktop.choices = {2}; // キャンセル
        open(other);
        QCOMPARE(desktop.messages(), QStringList{u"現在のﾃﾞｰﾀｰを更新しますか"_qs});
        QVERIFY(desktop.fileRequests.isEmpty());
        QCOMPARE(table(), QStringList{u"mine||||"_qs});
        QVERIFY(window->state().Dirty);
        QCOMPARE(window->state().CurrentFile, path(u"mine.csv"_qs));
    }

    void openingANewNameLoadsNothingAndSaveCreatesIt()
    {
        fill({u"1|2|3|4|5"_qs, u"||||"_qs});
        const QString fresh = path(u"new.csv"_qs);
        open(fresh);
        QCOMPARE(table(), QStringList({u"1|2|3|4|5"_qs, u"||||"_qs}));
        QCOMPARE(window->state().CurrentFile, fresh);
        press(Qt::Key_S);
        QCOMPARE(desktop.fileRequests.size(), 1); // no dialog for the save
        QCOMPARE(contents(fresh), cp932(Header + u"\"1\",\"2\",\"3\",\"4\",\"5\"\r\n"_qs));
    }

    void unreadableFileChangesNothing()
    {
        const QString file = path(u"locked.csv"_qs);
        writeFile(file, cp932(Header + u"1,2,3,4,5\r\n"_qs));
        QFile::setPermissions(file, QFileDevice::Permissions());
        QFile probe(file);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("a mode-000 file is readable here (running as root)");
        fill({u"mine|||"_qs});
        window->state().CurrentFile = path(u"mine.csv"_qs);
        open(file);
        QCOMPARE(desktop.messages().size(), 1);
        QVERIFY(desktop.messages()[0].startsWith(u"読み込めませんでした\r"_qs + file + u": "_qs));
        QCOMPARE(table(), QStringList{u"mine||||"_qs});
        QCOMPARE(window->state().CurrentFile, path(u"mine.csv"_qs));
    }

    void saveAfterAFailedLoadAsksForAName()
    {
        const QString file = path(u"bad.csv"_qs);
        const QByteArray bytes = cp932(Header + u"1,2,3,4,5\r\n1,2\r\n"_qs);
        writeFile(file, bytes);
        open(file);
        QCOMPARE(window->state().CurrentFile, QString());
        grid()->SetCell(1, 1, u"changed"_qs);
        press(Qt::Key_S); // the dialog is cancelled
        QCOMPARE(desktop.fileRequests.size(), 2);
        QCOMPARE(desktop.fileRequests[1].mode, Desktop::FileMode::Save);
        QCOMPARE(contents(file), bytes);
    }

    void saveWithoutAFileActsAsSaveAsAndThenSavesThere()
    {
        fill({u" 100-0005 | 東京都 |||"_qs, u"   |||  |"_qs, u"||||http://map"_qs});
        window->state().Dirty = true;
        const QString file = path(u"out.csv"_qs);
        desktop.files = {file};
        press(Qt::Key_S);
        const QByteArray expected =
            cp932(Header + u"\"100-0005\",\"東京都\",\"\",\"\",\"\"\r\n\"\",\"\",\"\",\"\",\"http://map\"\r\n"_qs);
        QCOMPARE(contents(file), expected);
        QCOMPARE(window->state().CurrentFile, file);
        QVERIFY(!window->state().Dirty);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        grid()->SetCell(3, 1, u"会社"_qs);
        press(Qt::Key_S);
        QCOMPARE(desktop.fileRequests.size(), 1);
        QVERIFY(contents(file).contains(cp932(u"\"会社\""_qs)));
    }

    void saveAsMakesTheSavedFileCurrent()
    {
        const QString first = path(u"a.csv"_qs);
        const QByteArray original = cp932(Header + u"\"1\",\"\",\"\",\"\",\"\"\r\n"_qs);
        writeFile(first, original);
        open(first);
        const QString second = path(u"b.csv"_qs);
        desktop.files = {second};
        window->menus().mnFile[2]->trigger();
        QCOMPARE(window->state().CurrentFile, second);
        QCOMPARE(contents(second), original);
        grid()->SetCell(1, 1, u"2"_qs);
        press(Qt::Key_S);
        QCOMPARE(contents(first), original);
        QCOMPARE(contents(second), cp932(Header + u"\"2\",\"\",\"\",\"\",\"\"\r\n"_qs));
    }

    void textBeingTypedIsSaved()
    {
        const QString file = path(u"typed.csv"_qs);
        window->state().CurrentFile = file;
        grid()->setFocus();
        grid()->GoToCell(2, 1);
        for (const char key : {'a', 'b', 'c'})
            QTest::keyClick(QApplication::focusWidget(), key);
        QTRY_VERIFY(grid()->cellEditor());
        press(Qt::Key_S); // still editing
        QCOMPARE(contents(file), cp932(Header + u"\"\",\"abc\",\"\",\"\",\"\"\r\n"_qs));
        QVERIFY(!window->state().Dirty);
        // Closing the window in the middle of an edit is safe.
        QTest::keyClick(QApplication::focusWidget(), 'd');
        window.reset();
    }

    void failedSaveIsReported_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addRow("missing folder") << u"missing folder"_qs;
        QTest::addRow("folder in place of the file") << u"folder"_qs;
        QTest::addRow("parent is a file") << u"parent file"_qs;
        QTest::addRow("read-only folder") << u"read-only"_qs;
    }

    void failedSaveIsReported()
    {
        QFETCH(QString, kind);
        QString target = path(u"t.csv"_qs);
        const QByteArray old = QByteArrayLiteral("old\r\n");
        bool immutable = false;
        if (kind == u"missing folder") {
            target = path(u"no/such/t.csv"_qs);
        } else if (kind == u"folder") {
            QVERIFY(QDir(dir->path()).mkdir(u"t.csv"_qs));
        } else if (kind == u"parent file") {
            writeFile(path(u"p"_qs), old);
            target = path(u"p/t.csv"_qs);
        } else {
            writeFile(target, old);
            if (geteuid() == 0) {
                immutable = QProcess::execute(u"chattr"_qs, {u"+i"_qs, dir->path()}) == 0;
                if (!immutable)
                    QSKIP("running as root and chattr +i is not available here");
            } else {
                QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            }
        }
        fill({u"1|2|3|4|5"_qs});
        window->state().Dirty = true;
        window->state().CurrentFile = target;
        window->menus().mnFile[1]->trigger();
        if (immutable)
            QProcess::execute(u"chattr"_qs, {u"-i"_qs, dir->path()});
        else if (kind == u"read-only")
            QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ExeOwner);

        QCOMPARE(desktop.messages().size(), 1);
        const QString message = desktop.messages()[0];
        QVERIFY2(message.startsWith(u"保存できませんでした\r"_qs + target + u": "_qs), qPrintable(message));
        QVERIFY2(message.size() > (u"保存できませんでした\r"_qs + target + u": "_qs).size(), "no reason given");
        QVERIFY(window->state().Dirty);
        QCOMPARE(window->state().CurrentFile, target);
        if (kind == u"read-only")
            QCOMPARE(contents(target), old);
        if (kind == u"parent file")
            QCOMPARE(contents(path(u"p"_qs)), old);
    }

    void unmappableCharacters_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addRow("No cancels the save") << Answer::No;
        QTest::addRow("Yes writes question marks") << Answer::Yes;
    }

    void unmappableCharacters()
    {
        QFETCH(Answer, answer);
        const QString file = path(u"u.csv"_qs);
        const QByteArray old = QByteArrayLiteral("old\r\n");
        writeFile(file, old);
        fill({u"1||||"_qs, u"||||"_qs, u"2|東京 😀|☃||"_qs});
        window->state().Dirty = true;
        window->state().CurrentFile = file;
        desktop.answers = {answer};
        press(Qt::Key_S);
        QCOMPARE(desktop.messages(),
                 QStringList{u"3 行目 2 列目など 2 文字はﾌｧｲﾙに保存できない文字です\r? に置き換えて保存しますか"_qs});
        QCOMPARE(desktop.asked[0].buttons, Desktop::Buttons::YesNo);
        if (answer == Answer::No) {
            QCOMPARE(contents(file), old);
            QVERIFY(window->state().Dirty);
        } else {
            QCOMPARE(contents(file),
                     cp932(Header + u"\"1\",\"\",\"\",\"\",\"\"\r\n\"2\",\"東京 ?\",\"?\",\"\",\"\"\r\n"_qs));
            QVERIFY(!window->state().Dirty);
        }
    }

    void closing_data()
    {
        QTest::addColumn<bool>("dirty");
        QTest::addColumn<QString>("current"); // "ok", "none" or "broken"
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");

        QTest::addRow("nothing unsaved: nothing asked") << false << u"ok"_qs << Answers{} << 0 << true << false;
        QTest::addRow("No closes without saving") << true << u"ok"_qs << Answers{Answer::No} << 1 << true << false;
        QTest::addRow("Cancel stays") << true << u"ok"_qs << Answers{Answer::Cancel} << 1 << false << false;
        QTest::addRow("Yes saves and closes") << true << u"ok"_qs << Answers{Answer::Yes} << 1 << true << true;
        QTest::addRow("Yes with the dialog cancelled stays")
            << true << u"none"_qs << Answers{Answer::Yes} << 1 << false << false;
        QTest::addRow("Yes with a failed save stays")
            << true << u"broken"_qs << Answers{Answer::Yes} << 2 << false << false;
    }

    void closing()
    {
        QFETCH(bool, dirty);
        QFETCH(QString, current);
        QFETCH(Answers, answers);
        QFETCH(int, questions);
        QFETCH(bool, closes);
        QFETCH(bool, saved);

        const QString file = path(u"c.csv"_qs);
        fill({u"1|2|3|4|5"_qs});
        window->state().Dirty = dirty;
        window->state().CurrentFile = current == u"ok" ? file : current == u"broken" ? path(u"no/c.csv"_qs) : QString();
        desktop.answers.assign(answers.begin(), answers.end());
        window->menus().mnFile[6]->trigger(); // "終了(&X)"

        QCOMPARE(desktop.asked.size(), questions);
        if (questions > 0) {
            QCOMPARE(desktop.asked[0].text, u"現在のﾃﾞｰﾀｰを保存しますか"_qs);
            QCOMPARE(desktop.asked[0].buttons, Desktop::Buttons::YesNoCancel);
        }
        QCOMPARE(window->shutDown(), closes);
        QCOMPARE(window->isVisible(), !closes);
        QCOMPARE(QFile::exists(file), saved);
    }

    void copyTablePutsExactTextOnTheClipboard()
    {
        fill({u"||||"_qs, u" 100-0005 |東京都|||"_qs, u"  | |||"_qs, u"||||"_qs, u"||||"_qs, u"||||"_qs,
              u"|||03-1234-5678|"_qs, u"|say \"hi\"|a\tb||"_qs});
        window->menus().mnFile[4]->trigger();
        const QByteArray expected = "\"100-0005\"\t\"\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\"\t\"\"\t\"\"\t\"\"\r\n"
                                    "\"\"\t\"\"\t\"\"\t\"03-1234-5678\"\t\"\"\r\n"
                                    "\"\"\t\"say \"hi\"\"\t\"a\tb\"\t\"\"\t\"\"\r\n";
        QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard).toUtf8(), expected);
        QCOMPARE(desktop.messages(), QStringList{u"表の内容をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました"_qs});
        QCOMPARE(desktop.asked[0].buttons, Desktop::Buttons::Ok);
        QVERIFY(!window->state().Dirty);
    }

    void copyingAnEmptyTableTouchesNothing()
    {
        QGuiApplication::clipboard()->setText(u"before"_qs, QClipboard::Clipboard);
        fill({u"  |  |||"_qs, u"||||"_qs});
        window->menus().mnFile[4]->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard), u"before"_qs);
        QVERIFY(desktop.asked.isEmpty());
    }

    void cancelledLoadLeavesTheTableAsItWas()
    {
        QString text = Header;
        for (int i = 0; i < 40000; ++i)
            text += u"\"100-0005\",\"東京都千代田区\",\"\",\"\",\"\"\r\n"_qs;
        const QString file = path(u"big.csv"_qs);
        writeFile(file, cp932(text));
        fill({u"mine|||"_qs});
        window->state().Dirty = true;
        window->state().CurrentFile = path(u"mine.csv"_qs);
        window->files().progressDelayMs = 0;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        bool shown = false;
        cancelProgressWhenShown(&cursor, &shown);
        desktop.choices = {1};
        open(file);
        QVERIFY(shown);
        QCOMPARE(cursor, Qt::WaitCursor);
        QCOMPARE(table(), QStringList{u"mine||||"_qs});
        QVERIFY(window->state().Dirty);
        QCOMPARE(window->state().CurrentFile, path(u"mine.csv"_qs));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(desktop.messages(), QStringList{u"現在のﾃﾞｰﾀｰを更新しますか"_qs});
    }

    void cancelledSaveKeepsTheFile()
    {
        const QString file = path(u"keep.csv"_qs);
        const QByteArray old = QByteArrayLiteral("old\r\n");
        writeFile(file, old);
        QStringList rows;
        for (int i = 0; i < 40000; ++i)
            rows.append(u"100-0005|東京都千代田区|||"_qs);
        fill(rows);
        window->state().Dirty = true;
        window->state().CurrentFile = file;
        window->files().progressDelayMs = 0;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        bool shown = false;
        cancelProgressWhenShown(&cursor, &shown);
        press(Qt::Key_S);
        QVERIFY(shown);
        QCOMPARE(cursor, Qt::WaitCursor);
        QCOMPARE(contents(file), old);
        QVERIFY(window->state().Dirty);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{u"keep.csv"_qs});
    }

    void savedTableComesBackWhenReopened()
    {
        const QString file = path(u"round.csv"_qs);
        const QStringList rows{u"100-0005|東京都千代田区丸の内1-1, ﾋﾞﾙ 5F|\"ＡＢＣ\" 商事|03-1234-5678|"_qs,
                               u"||||"_qs, u"530-0001|大阪府大阪市北区梅田\r\n2丁目|||https://map.example/?a=1&b=2"_qs};
        fill(rows);
        window->state().Dirty = true;
        desktop.files = {file};
        press(Qt::Key_S);
        fill({u"other|||"_qs});
        window->state().Dirty = false;
        open(file);
        QCOMPARE(table(), QStringList({rows[0], rows[2], u"||||"_qs}));
        QVERIFY(desktop.messages().isEmpty());
    }

    // A map link copied while a file command's question or progress is open
    // waits for the command: the file holds the table as it was when the
    // command began, and the link, taken afterwards, leaves the table unsaved.
    void captureDuringAFileCommand_data()
    {
        QTest::addColumn<QString>("during");
        for (const char *during : {"unmappable question", "replace question", "close question", "changed on disk question",
                                   "progress"})
            QTest::addRow("%s", during) << QString::fromLatin1(during);
    }

    void captureDuringAFileCommand()
    {
        QFETCH(QString, during);
        const QString file = path(u"c.csv"_qs);
        const QString link = window->map().mapAddresses().base + u"pl?n=7"_qs;
        QStringList rows{during == u"unmappable question" ? u"1|\U0001F600|||"_qs : u"1|2|||"_qs};
        for (int i = 0; during == u"progress" && i < 40000; ++i)
            rows.append(u"100-0005|東京都千代田区|||"_qs);
        if (during == u"changed on disk question") {
            writeFile(file, cp932(Header + u"\"9\",\"\",\"\",\"\",\"\"\r\n"_qs));
            open(file);
            writeFile(file, cp932(Header + u"\"other\",\"\",\"\",\"\",\"\"\r\n"_qs));
            desktop.choices = {0}; // 上書き保存
        }
        fill(rows);
        grid()->GoToCell(1, 1);
        window->state().Dirty = true;
        window->state().CurrentFile = during == u"replace question" ? QString() : file;
        if (during == u"replace question") {
            writeFile(file, "old");
            desktop.files = {file};
        }
        desktop.answers = {Answer::Yes};
        bool captured = false;
        const auto capture = [&] {
            if (!std::exchange(captured, true))
                window->map().ClipEvent(link);
        };
        if (during == u"progress") {
            window->files().progressDelayMs = 0;
            auto *poll = new QTimer(window.get());
            connect(poll, &QTimer::timeout, poll, [poll, capture] {
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (qobject_cast<QProgressDialog *>(w) && w->isVisible()) {
                        capture();
                        poll->deleteLater();
                    }
            });
            poll->start(0);
        } else {
            desktop.whileAsking = [&](const QString &) { capture(); };
        }
        if (during == u"close question")
            window->menus().mnFile[6]->trigger();
        else
            press(Qt::Key_S);
        desktop.whileAsking = {};

        QVERIFY(captured);
        QVERIFY(!contents(file).contains("pl?n=7"));
        QCOMPARE(grid()->GetCell(5, 1), link);
        QVERIFY(window->state().Dirty);
        // The close question comes again for the link, and Cancel (the
        // empty queue) keeps the window open.
        QCOMPARE(window->shutDown(), false);
        // Undoing the link gives back the table that was written.
        window->menus().mnEdt[6]->trigger();
        QCOMPARE(grid()->GetCell(5, 1), QString());
        QVERIFY(!window->state().Dirty);
    }

    // A link copied before the grid has an active row is not taken, and an
    // undo never takes rows that no step added.
    void captureWithoutAnActiveRowIsNotTaken()
    {
        fill({u"1|2|3|4|5"_qs, u"6|7|8|9|10"_qs});
        grid()->selectionModel()->clear();
        QCOMPARE(grid()->CurRow(), 0);
        window->map().ClipEvent(window->map().mapAddresses().base + u"pl?n=1"_qs);
        QCOMPARE(window->statusBar()->currentMessage(), u"行を選んでから地図のリンクをコピーしてください"_qs);
        QCOMPARE(table(), QStringList({u"1|2|3|4|5"_qs, u"6|7|8|9|10"_qs}));
        QVERIFY(!window->state().Dirty);
        QVERIFY(!window->menus().mnEdt[6]->isEnabled());
        // A step that claims more rows than there are keeps the ones there are.
        window->table().record(u"x"_qs, 2, 5, [this] { grid()->SetCell(1, 2, u"x"_qs); });
        window->menus().mnEdt[6]->trigger();
        QCOMPARE(table(), QStringList({u"1|2|3|4|5"_qs, u"6|7|8|9|10"_qs}));
    }

    // An untouched pre-fill is no record: not saved, not copied, no change.
    void untouchedPrefillIsNoRecord()
    {
        const QString file = path(u"p.csv"_qs);
        fill({u"1|東京都　新宿区|||"_qs, u"||||"_qs});
        window->state().CurrentFile = file;
        window->state().Dirty = true;
        grid()->GoToCell(2, 2);
        QCOMPARE(grid()->GetCell(2, 2), u"東京都　"_qs); // the suggestion stands on screen
        press(Qt::Key_S);
        QCOMPARE(contents(file), cp932(Header + u"\"1\",\"東京都　新宿区\",\"\",\"\",\"\"\r\n"_qs));
        QCOMPARE(window->statusBar()->currentMessage(), u"保存しました (1 行)"_qs);
        window->menus().mnFile[4]->trigger();
        QVERIFY(!QGuiApplication::clipboard()->text().contains(u"東京都\t"_qs));
        QCOMPARE(QGuiApplication::clipboard()->text().count(u'\n'), 1);
        QVERIFY(!window->state().Dirty);
    }

    // 保存して開く saves as 上書き保存 does; a cancelled save opens nothing.
    void openQuestionSaveAndOpen_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addRow("saved to the current file") << true;
        QTest::addRow("save dialog cancelled") << false;
    }

    void openQuestionSaveAndOpen()
    {
        QFETCH(bool, named);
        const QString mine = path(u"mine.csv"_qs);
        const QString other = path(u"other.csv"_qs);
        writeFile(other, cp932(Header + u"1,2,3,4,5\r\n"_qs));
        fill({u"mine|||"_qs});
        window->state().Dirty = true;
        window->state().CurrentFile = named ? mine : QString();
        desktop.choices = {0};
        desktop.files = {named ? other : QString(), other};
        press(Qt::Key_O);
        QCOMPARE(contents(mine), named ? cp932(Header + u"\"mine\",\"\",\"\",\"\",\"\"\r\n"_qs) : QByteArray("<none>"));
        QCOMPARE(table().value(0), named ? u"1|2|3|4|5"_qs : u"mine||||"_qs);
        QCOMPARE(window->state().CurrentFile, named ? other : QString());
        QCOMPARE(window->state().Dirty, !named);
    }

    // Another program's change is not overwritten without a word; activating
    // the window offers to read it again while the table is unchanged.
    void fileChangedOnDisk_data()
    {
        QTest::addColumn<QString>("change"); // "other bytes", "same bytes", "deleted"
        QTest::addColumn<int>("choice");     // to the question before the save
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("written");
        QTest::addRow("上書き保存") << u"other bytes"_qs << 0 << true << true;
        QTest::addRow("名を付けて保存") << u"other bytes"_qs << 1 << true << false;
        QTest::addRow("キャンセル") << u"other bytes"_qs << 2 << true << false;
        QTest::addRow("touched only") << u"same bytes"_qs << 2 << false << true;
        QTest::addRow("deleted") << u"deleted"_qs << 2 << false << true;
    }

    void fileChangedOnDisk()
    {
        QFETCH(QString, change);
        QFETCH(int, choice);
        QFETCH(bool, asked);
        QFETCH(bool, written);
        const QString file = path(u"shared.csv"_qs);
        const QByteArray first = cp932(Header + u"\"1\",\"\",\"\",\"\",\"\"\r\n"_qs);
        writeFile(file, first);
        open(file);
        desktop.clear();
        const QByteArray theirs = change == u"other bytes" ? cp932(Header + u"\"2\",\"\",\"\",\"\",\"\"\r\n"_qs) : first;
        if (change == u"deleted")
            QFile::remove(file);
        else {
            writeFile(file, theirs);
            QFile touched(file);
            QVERIFY(touched.open(QIODevice::Append));
            touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
        }
        // Activated with the table unchanged: read it again?
        desktop.answers = {Answer::No};
        QCoreApplication::sendEvent(window.get(), new QEvent(QEvent::WindowActivate));
        const QString reload = file + u" は他のプログラムによって変更されています\r読み込み直しますか"_qs;
        if (change == u"other bytes") {
            QTRY_COMPARE(desktop.messages(), QStringList{reload});
            // Once per change.
            QCoreApplication::sendEvent(window.get(), new QEvent(QEvent::WindowActivate));
            QTest::qWait(50);
            QCOMPARE(desktop.messages(), QStringList{reload});
            desktop.clear();
        }
        grid()->SetCell(3, 1, u"mine"_qs);
        window->state().Dirty = true;
        desktop.choices = {choice};
        press(Qt::Key_S);
        QCOMPARE(desktop.messages(), asked ? QStringList{file + u" は開いた後で他のプログラムによって変更されています"_qs}
                                           : QStringList());
        if (asked)
            QCOMPARE(desktop.asked[0].labels, QStringList({u"上書き保存"_qs, u"名を付けて保存"_qs, u"キャンセル"_qs}));
        QCOMPARE(contents(file).contains("mine"), written);
        QCOMPARE(desktop.fileRequests.size(), choice == 1 && asked ? 1 : 0);
    }

    void reloadWhenChangedOnDisk()
    {
        const QString file = path(u"shared.csv"_qs);
        writeFile(file, cp932(Header + u"\"1\",\"\",\"\",\"\",\"\"\r\n"_qs));
        open(file);
        writeFile(file, cp932(Header + u"\"2\",\"\",\"\",\"\",\"\"\r\n\"3\",\"\",\"\",\"\",\"\"\r\n"_qs));
        desktop.answers = {Answer::Yes};
        QCoreApplication::sendEvent(window.get(), new QEvent(QEvent::WindowActivate));
        QTRY_COMPARE(grid()->GetCell(1, 2), u"3"_qs);
        QCOMPARE(window->statusBar()->currentMessage(), u"2 行を読み込みました"_qs);
        QVERIFY(!window->state().Dirty);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
