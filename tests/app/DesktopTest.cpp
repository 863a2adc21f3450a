// The window on the Linux desktop: files opened from outside the Open dialog,
// the save dialog's names, help without a desktop browser, the grid's share of
// the window and its columns after a large load.
#include "app/SingleInstance.h"
#include "app/fmMain.h"
#include "core/app/FileNames.h"
#include "core/env/Cp932.h"
#include "core/env/Program.h"
#include "harness/MainWindow.h"
#include "harness/WidgetTestMain.h"
#include "support/ScriptedDesktop.h"
#include "support/TestData.h"
#include "widgets/grid/vAdd.h"
#include "widgets/map/uWeb.h"
#include "widgets/table/FileCommands.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEngineView>

#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <memory>

using Answer = Desktop::Answer;

namespace {

const QByteArray Header = Cp932::encode(u"郵便番号,住所,勤務先等,電話番号,MAP URL\r\n"_qs).bytes;
const QByteArray Row = Cp932::encode(u"\"100-0005\",\"東京都千代田区丸の内\",\"\",\"\",\"\"\r\n"_qs).bytes;

// The arguments a launcher makes of the desktop entry's Exec line for one file.
QStringList execLine(const QString &file)
{
    QStringList arguments;
    for (const QString &line : QString::fromUtf8(readBytes(sourcePath(u"data/kotoven.desktop"_qs))).split(u'\n'))
        if (line.startsWith(u"Exec="_qs))
            for (const QString &part : line.mid(5).split(u' ', Qt::SkipEmptyParts))
                if (!part.startsWith(u'%') || part == u"%f"_qs)
                    arguments.append(part == u"%f"_qs ? file : part);
    return arguments;
}

// The visible top-level windows whose title matches `pattern` (xdotool's
// ids): the main window's title names the Map URL, a message's is the
// program's name.
QStringList windows(const QString &pattern)
{
    QProcess search;
    search.start(u"xdotool"_qs, {u"search"_qs, u"--onlyvisible"_qs, u"--name"_qs, pattern});
    search.waitForFinished();
    return QString::fromLatin1(search.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
const QString MainWindows = u"Map URL"_qs;
const QString Messages = u"^kotoven$"_qs;

// A start of the program with a home of its own.
QProcessEnvironment startEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, sub] : {std::pair{u"HOME"_qs, QString()}, {u"XDG_RUNTIME_DIR"_qs, u"/run"_qs},
                                    {u"XDG_CONFIG_HOME"_qs, u"/config"_qs}, {u"XDG_DATA_HOME"_qs, u"/data"_qs}})
        env.insert(name, home + sub);
    env.remove(u"XDG_CACHE_HOME"_qs);
    return env;
}

// Runs `script` with the system's python3 as the user nobody; empty when that
// cannot be done here (not root, no setpriv, python3 or such user).
std::unique_ptr<QProcess> asNobody(const QString &script, const QStringList &arguments)
{
    QProcess id;
    id.start(u"id"_qs, {u"-u"_qs, u"nobody"_qs});
    id.waitForFinished();
    const QString uid = QString::fromLatin1(id.readAllStandardOutput()).trimmed();
    const QString python = u"/usr/bin/python3"_qs;
    if (geteuid() != 0 || uid.isEmpty() || QStandardPaths::findExecutable(u"setpriv"_qs).isEmpty() ||
        !QFileInfo(python).isExecutable())
        return {};
    auto process = std::make_unique<QProcess>();
    process->start(u"setpriv"_qs, QStringList{u"--reuid=nobody"_qs, u"--regid=nogroup"_qs, u"--clear-groups"_qs,
                                             python, u"-c"_qs, script} +
                                      arguments);
    return process;
}

// A folder for the user nobody alone.
bool nobodysFolder(const QString &folder)
{
    QProcess id;
    id.start(u"id"_qs, {u"-u"_qs, u"nobody"_qs});
    id.waitForFinished();
    const auto uid = static_cast<uid_t>(id.readAllStandardOutput().trimmed().toUInt());
    const QByteArray name = QFile::encodeName(folder);
    return QDir().mkpath(folder) && chown(name.constData(), uid, static_cast<gid_t>(-1)) == 0 &&
           chmod(name.constData(), S_IRWXU) == 0;
}

// A server that answers every start as the running program would, and
// keeps what it was sent in `log` (made once it listens).
const QString AnsweringServer = uR"(
import os, socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
os.chmod(sys.argv[1], 0o777)
s.listen()
open(sys.argv[2], 'wb').close()
while True:
    c, _ = s.accept()
    data = c.recv(65536)
    with open(sys.argv[2], 'ab') as log:
        log.write(data)
    c.sendall(b'ok\n')
    c.close()
)"_qs;

// A start handing over a file: prints the answer it got (b'' for none).
const QString HandingClient = uR"(
import socket, sys
c = socket.socket(socket.AF_UNIX)
c.connect(sys.argv[1])
c.sendall(sys.argv[2].encode() + b'\n')
c.settimeout(30)
try:
    print(c.recv(100))
except ConnectionResetError:  # closed with the line unread
    print(b'')
)"_qs;

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    std::unique_ptr<QTemporaryDir> dir;

    QString path(const QString &name) const { return dir->filePath(name); }
    vAdd *grid() const { return window->grid(); }

    void open()
    {
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
    }

    void drop(QWidget *target, const QString &file)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(u"notes.txt"_qs)), QUrl::fromLocalFile(file)});
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QVERIFY(enter.isAccepted() && dropped.isAccepted());
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        open();
        Program().UserDataFolder = dir->path() + u'/';
    }

    void cleanup()
    {
        window->state().Dirty = false;
        window.reset();
    }

    void openingFromOutside_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("given"); // "list" stands for the file list.csv
        QTest::addColumn<bool>("good");     // a good file or one whose third line is short
        QTest::addColumn<Answer>("answer"); // to the question about unsaved changes, if asked
        QTest::addColumn<QString>("firstZip");
        QTest::addColumn<QStringList>("messages"); // "%1": the file

        const QString zip = u"100-0005"_qs;
        const QStringList none;
        const QStringList question{u"現在のﾃﾞｰﾀｰを更新しますか"_qs};
        QTest::newRow("argument") << u"argument"_qs << u"list.csv"_qs << true << Answer::Ok << zip << none;
        QTest::newRow("argument without .csv") << u"argument"_qs << u"list"_qs << true << Answer::Ok << zip << none;
        QTest::newRow("desktop entry") << u"desktop entry"_qs << u"名簿 2.csv"_qs << true << Answer::Ok << zip << none;
        QTest::newRow("drop, changes kept") << u"drop"_qs << u"a.CSV"_qs << true << Answer::No << u"mine"_qs << question;
        QTest::newRow("drop, changes given up") << u"drop"_qs << u"a.csv"_qs << true << Answer::Yes << zip << question;
        QTest::newRow("drop on the browser pane") << u"pane"_qs << u"c.csv"_qs << true << Answer::Ok << zip << none;
        QTest::newRow("another start") << u"another start"_qs << u"b.csv"_qs << true << Answer::Ok << zip << none;
        QTest::newRow("another start, window busy") << u"busy start"_qs << u"b.csv"_qs << true << Answer::Ok << zip << none;
        QTest::newRow("another start, bad file")
            << u"another start"_qs << u"b.csv"_qs << false << Answer::Ok << zip
            << QStringList{u"%1 の形式が不正です\r3 行目を読み込めません"_qs};
    }

    // Every way reaches the one Open path: its question, its messages, and
    // the file becomes the current one.
    void openingFromOutside()
    {
        QFETCH(QString, way);
        QFETCH(QString, given);
        QFETCH(bool, good);
        QFETCH(Answer, answer);
        QFETCH(QString, firstZip);
        QFETCH(QStringList, messages);
        const QString file = path(given == u"list"_qs ? u"list.csv"_qs : given);
        QVERIFY(writeBytes(file, Header + Row + (good ? QByteArray() : QByteArray("1,2\r\n"))));
        grid()->SetCell(1, 1, u"mine"_qs);
        window->state().Dirty = answer == Answer::No;
        if (answer == Answer::Yes) { // the changes are a file read in part
            QVERIFY(writeBytes(path(u"part.csv"_qs), Header + "1,2\r\n"));
            window->openFile(path(u"part.csv"_qs));
            desktop.clear();
        }
        desktop.answers = {answer};
        // Yes: 保存せずに開く, No: キャンセル.
        desktop.choices = {answer == Answer::Yes ? 1 : 2};

        if (way == u"argument"_qs || way == u"desktop entry"_qs) {
            const QStringList arguments =
                way == u"argument"_qs ? QStringList{u"kotoven"_qs, given} : execLine(path(given));
            QCOMPARE(arguments.value(0), u"kotoven"_qs);
            window->openFile(FileNames::fileArgument(arguments, dir->path()).value_or(QString()));
        } else if (way == u"drop"_qs) {
            drop(grid()->viewport(), file);
        } else if (way == u"pane"_qs) {
            auto *view = window->web()->findChild<QWebEngineView *>();
            drop(view->focusProxy() ? view->focusProxy() : view, file);
        } else {
            const QString folder = path(u"run"_qs);
            QVERIFY(QDir().mkpath(folder) && chmod(QFile::encodeName(folder).constData(), S_IRWXU) == 0);
            QVERIFY(writeBytes(folder + u"/kotoven.socket"_qs, QByteArray())); // left by a program killed
            SingleInstance running(folder);
            running.received = [this](const QString &handed) { window->takeHandOver(handed); };
            QCOMPARE(running.start(std::nullopt), SingleInstance::Start::Running);
            // The other start blocks on its socket while this one answers.
            std::future<SingleInstance::Start> handed =
                std::async(std::launch::async, [folder, file] { return SingleInstance(folder).start(file); });
            if (way == u"busy start"_qs) // longer than starts used to wait (a postal data update, say)
                QThread::sleep(6);
            QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
            QCOMPARE(handed.get(), SingleInstance::Start::HandedOver);
        }

        QStringList expected;
        for (const QString &m : messages)
            expected.append(m.contains(u"%1"_qs) ? m.arg(file) : m);
        QTRY_COMPARE(desktop.messages(), expected);
        QTRY_COMPARE(grid()->GetCell(1, 1), firstZip);
        const bool current = good && firstZip == u"100-0005"_qs;
        QCOMPARE(window->state().CurrentFile == file, current);
        QCOMPARE(window->state().Dirty, !current);
    }

    // The program started from its desktop entry opens the file (a bad one,
    // so that its message shows as a window), and a second start hands its
    // file over and ends.
    void desktopEntryStartsOneWindow()
    {
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(u"run"_qs));
        QFile::setPermissions(home.filePath(u"run"_qs), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(writeBytes(path(u"bad.csv"_qs), Header + "1,2\r\n"));
        const QProcessEnvironment env = startEnvironment(home.path());
        // The format message is a window of its own, titled with the program's name.
        const auto messageShown = [] {
            QProcess list;
            list.start(u"xwininfo"_qs, {u"-root"_qs, u"-tree"_qs});
            list.waitForFinished();
            return list.readAllStandardOutput().contains(R"("kotoven": ("kotoven" "kotoven"))");
        };
        QProcess first;
        QProcess second;
        for (auto [process, file] : {std::pair{&first, u"bad.csv"_qs}, {&second, u"other.csv"_qs}}) {
            process->setProcessEnvironment(env);
            process->start(QStringLiteral(KOTOVEN_PROGRAM), execLine(path(file)).mid(1)); // the Exec line's "kotoven"
            if (process == &second)
                break;
            // Once seen is enough: a tree walked while a window goes away
            // can come back short.
            QElapsedTimer waited;
            waited.start();
            bool shown = false;
            while (!(shown = messageShown()) && waited.elapsed() < 60000)
                QTest::qWait(100);
            QVERIFY(shown);
        }
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }

    void oneWindowForStartsAtOnce_data()
    {
        QTest::addColumn<bool>("firstKilled");
        QTest::newRow("two starts at once") << false;
        QTest::newRow("after a first start was killed") << true;
    }

    // Real starts of the program, each with a file that makes a message
    // window: one main window takes the files in turn, the other start ends.
    // A first start killed (its lock and socket left behind) stops none.
    void oneWindowForStartsAtOnce()
    {
        QFETCH(bool, firstKilled);
        const qsizetype own = windows(MainWindows).size(); // this test's own
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(u"run"_qs));
        QVERIFY(chmod(QFile::encodeName(home.filePath(u"run"_qs)).constData(), S_IRWXU) == 0);
        for (const QString &name : {u"bad1.csv"_qs, u"bad2.csv"_qs})
            QVERIFY(writeBytes(path(name), Header + "1,2\r\n"));
        const auto start = [&home](QProcess &process, const QStringList &arguments) {
            process.setProcessEnvironment(startEnvironment(home.path()));
            process.start(QStringLiteral(KOTOVEN_PROGRAM), arguments);
        };
        if (firstKilled) {
            QProcess killed;
            start(killed, {});
            QTRY_COMPARE_WITH_TIMEOUT(windows(MainWindows).size(), own + 1, 60000);
            killed.kill();
            QVERIFY(killed.waitForFinished());
            QTRY_COMPARE_WITH_TIMEOUT(windows(MainWindows).size(), own, 60000);
            QVERIFY(QFileInfo::exists(home.filePath(u"run/kotoven.lock"_qs)));
        }
        QProcess first;
        QProcess second;
        start(first, {path(u"bad1.csv"_qs)});
        if (firstKilled) // the second start comes once the first runs
            QTRY_COMPARE_WITH_TIMEOUT(windows(Messages).size(), 1, 60000);
        start(second, {path(u"bad2.csv"_qs)});
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning || second.state() == QProcess::NotRunning, 60000);
        QProcess &ended = first.state() == QProcess::NotRunning ? first : second;
        QProcess &running = &ended == &first ? second : first;
        QCOMPARE(ended.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ended.exitCode(), 0);
        QCOMPARE(running.state(), QProcess::Running);

        // The first file's message, then, once it is answered, the second's.
        QTRY_COMPARE_WITH_TIMEOUT(windows(Messages).size(), 1, 60000);
        QCOMPARE(windows(MainWindows).size(), own + 1);
        const QString message = windows(Messages).value(0);
        QProcess answer;
        answer.start(u"xdotool"_qs, {u"windowfocus"_qs, u"--sync"_qs, message, u"key"_qs, u"Return"_qs});
        QVERIFY(answer.waitForFinished(30000));
        QTRY_VERIFY_WITH_TIMEOUT(windows(Messages).size() == 1 && windows(Messages)[0] != message, 60000);
        QCOMPARE(windows(MainWindows).size(), own + 1);
        running.kill();
        running.waitForFinished();
    }

    // Another user's socket is never handed a file: not where the shared
    // temporary folder would hold it when the runtime folder cannot be had,
    // nor in a folder of ours. Nor does the running program take a file
    // from another user.
    void anotherUsersSocketIsNeverUsed()
    {
        const QString shared = path(u"tmp"_qs);
        QVERIFY(QDir().mkpath(shared) && chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner | QFileDevice::ExeOther));
        const QString log = shared + u"/log"_qs;
        // The other user listens where a start without a runtime folder used
        // to look, and took Qt's fallback runtime folder first.
        std::unique_ptr<QProcess> server = asNobody(AnsweringServer, {shared + u"/kotoven.socket"_qs, log});
        if (!server)
            QSKIP("needs root, setpriv and the user nobody");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(log), 30000);
        QVERIFY(nobodysFolder(shared + u"/runtime-root"_qs));

        QTemporaryDir home;
        QVERIFY(writeBytes(path(u"bad.csv"_qs), Header + "1,2\r\n"));
        QProcessEnvironment env = startEnvironment(home.path());
        env.remove(u"XDG_RUNTIME_DIR"_qs);
        env.insert(u"TMPDIR"_qs, shared);
        QProcess start;
        start.setProcessEnvironment(env);
        start.start(QStringLiteral(KOTOVEN_PROGRAM), {path(u"bad.csv"_qs)});
        QTRY_COMPARE_WITH_TIMEOUT(windows(Messages).size(), 1, 60000); // its own window took the file
        QCOMPARE(start.state(), QProcess::Running);
        QCOMPARE(readBytes(log), QByteArray());
        const QString own = home.filePath(u".cache/kotoven-run"_qs);
        QVERIFY(QFileInfo::exists(own + u"/kotoven.socket"_qs));
        QCOMPARE(QFileInfo(own).permissions() & 0x0077, QFileDevice::Permissions());
        start.kill();
        start.waitForFinished();

        // The other user's socket put into a folder of ours.
        const QString ours = path(u"ours"_qs);
        QVERIFY(QDir().mkpath(ours) && chmod(QFile::encodeName(ours).constData(), S_IRWXU) == 0);
        QVERIFY(QFile::rename(shared + u"/kotoven.socket"_qs, ours + u"/kotoven.socket"_qs));
        QCOMPARE(SingleInstance(ours).handOver(path(u"bad.csv"_qs)), SingleInstance::HandOver::Refused);
        QCOMPARE(readBytes(log), QByteArray());
        server->kill();
        server->waitForFinished();

        // The other user reaches our socket.
        SingleInstance running(ours);
        QStringList taken;
        running.received = [&taken](const QString &file) { taken.append(file); };
        QCOMPARE(running.start(std::nullopt), SingleInstance::Start::Running);
        QVERIFY(chmod(QFile::encodeName(ours).constData(), S_IRWXU | S_IXOTH) == 0);
        QVERIFY(chmod(QFile::encodeName(ours + u"/kotoven.socket"_qs).constData(), 0777) == 0);
        std::unique_ptr<QProcess> client = asNobody(HandingClient, {ours + u"/kotoven.socket"_qs, u"/etc/passwd"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), QProcess::NotRunning, 30000);
        QCOMPARE(client->readAllStandardError(), QByteArray());
        QCOMPARE(client->readAllStandardOutput().trimmed(), QByteArray("b''"));
        QCoreApplication::processEvents();
        QCOMPARE(taken, QStringList());
    }

    // A folder too deep for a socket's address still gives one program.
    void deepFolderStillHandsOver()
    {
        const QString folder = path(QString(60, u'd') + u'/' + QString(60, u'e'));
        QVERIFY(QDir().mkpath(folder) && chmod(QFile::encodeName(folder).constData(), S_IRWXU) == 0);
        SingleInstance running(folder);
        QStringList taken;
        running.received = [&taken](const QString &file) { taken.append(file); };
        QCOMPARE(running.start(std::nullopt), SingleInstance::Start::Running);
        QVERIFY(!running.socketName().startsWith(u'/'));
        std::future<SingleInstance::Start> handed =
            std::async(std::launch::async, [folder] { return SingleInstance(folder).start(u"/a.csv"_qs); });
        QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QCOMPARE(handed.get(), SingleInstance::Start::HandedOver);
        QTRY_COMPARE(taken, QStringList{u"/a.csv"_qs});
    }

    void saveDialogNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Answer>("answer"); // to the question about replacing a.csv
        QTest::addColumn<QString>("saved"); // empty: nothing written
        QTest::newRow("new name gets .csv") << u"名簿"_qs << Answer::Ok << u"名簿.csv"_qs;
        QTest::newRow("existing file replaced") << u"a"_qs << Answer::Yes << u"a.csv"_qs;
        QTest::newRow("existing file kept") << u"a.csv"_qs << Answer::No << QString();
    }

    void saveDialogNames()
    {
        QFETCH(QString, typed);
        QFETCH(Answer, answer);
        QFETCH(QString, saved);
        QVERIFY(writeBytes(path(u"a.csv"_qs), "old"));
        grid()->SetCell(1, 1, u"100-0005"_qs);
        desktop.files = {path(typed)};
        desktop.answers = {answer};
        window->menus().mnFile[2]->trigger();
        const bool asked = answer != Answer::Ok;
        QCOMPARE(desktop.messages(), asked ? QStringList{path(u"a.csv"_qs) + u" は既にあります\r置き換えますか"_qs} : QStringList());
        QCOMPARE(readBytes(path(u"a.csv"_qs)) == "old", saved != u"a.csv"_qs);
        QCOMPARE(window->state().CurrentFile, saved.isEmpty() ? QString() : path(saved));
        QVERIFY(saved.isEmpty() || readBytes(path(saved)).startsWith(Header));
    }

    void helpWithoutADesktopBrowser_data()
    {
        QTest::addColumn<bool>("pageInstalled");
        QTest::newRow("shown in the browser pane") << true;
        QTest::newRow("nothing to show: reported") << false;
    }

    // xdg-open finds no program for the page (its exit code 3).
    void helpWithoutADesktopBrowser()
    {
        QFETCH(bool, pageInstalled);
        const QString help = Program().ProgramFolder + u"/help"_qs;
        QVERIFY(QDir(help).removeRecursively() && (!pageInstalled || QDir().mkpath(help)));
        QVERIFY(!pageInstalled || writeBytes(help + u"/kotoven.htm"_qs, "<html><body>help</body></html>"));
        QVERIFY(writeBytes(path(u"xdg-open"_qs), "#!/bin/sh\necho 'no method available' >&2\nexit 3\n"));
        QFile::setPermissions(path(u"xdg-open"_qs), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QByteArray searchPath = qgetenv("PATH");
        qputenv("PATH", dir->path().toLocal8Bit() + ':' + searchPath);
        desktop.runHandOff = true;
        window->menus().mnHelp->trigger();
        const QUrl page = QUrl::fromLocalFile(help + u"/kotoven.htm"_qs);
        if (pageInstalled) {
            QTRY_COMPARE(QUrl(window->web()->URL()), page);
        } else {
            QTRY_COMPARE(desktop.messages().size(), 1);
            QVERIFY(desktop.messages()[0].startsWith(page.toLocalFile() + u" を開けませんでした\r"_qs));
        }
        QCOMPARE(desktop.messages().size(), pageInstalled ? 0 : 1);
        qputenv("PATH", searchPath);
        QDir(help).removeRecursively();
    }

    // 200,000 rows widen the row numbers: the last column gives way, and the
    // end of the table shows without a horizontal scroll bar.
    void largeLoadLeavesNoHorizontalScrollBar()
    {
        QVERIFY(writeBytes(path(u"large.csv"_qs), Header + Row.repeated(200000)));
        const double before = grid()->ColumnWidth(5);
        window->files().progressDelayMs = 60000;
        window->openFile(path(u"large.csv"_qs));
        QCOMPARE(grid()->RowCount(), 200001);
        QTest::keyClick(grid(), Qt::Key_End, Qt::ControlModifier);
        QTRY_VERIFY(grid()->verticalScrollBar()->isVisible());
        QTRY_COMPARE(grid()->horizontalScrollBar()->maximum(), 0);
        QVERIFY(grid()->ColumnWidth(5) < before);
    }

    // Both panes grow in proportion to their designed heights until the bar
    // is dragged; where it was dragged to is kept for the next start.
    void splitterAcrossTwoRuns()
    {
        window.reset();
        QFile::remove(Program().UserDataFolder + u"User.xml"_qs); // a first start
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        // Start-up ends even for a window that never becomes active.
        QTRY_COMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(showAndActivate(*window));

        QSplitter *splitter = window->splitter();
        QVERIFY(splitter->handleWidth() >= 6);
        QCOMPARE(splitter->sizes(), QList<int>({195, 448}));
        window->resize(window->width(), window->height() + 322); // panes 965 high: 292.6 and 672.4
        QTRY_VERIFY(qAbs(splitter->sizes().value(0) - 293) <= 1 && qAbs(splitter->sizes().value(1) - 672) <= 1);

        QSplitterHandle *handle = splitter->handle(1);
        const QPoint from = handle->rect().center();
        for (const auto &[type, at, button, buttons] :
             {std::tuple{QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::MouseButtons(Qt::LeftButton)},
              {QEvent::MouseMove, from + QPoint(0, 150), Qt::NoButton, Qt::LeftButton},
              {QEvent::MouseButtonRelease, from + QPoint(0, 150), Qt::LeftButton, Qt::NoButton}}) {
            QMouseEvent event(type, at, handle->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        }
        const QList<int> dragged = splitter->sizes();
        QVERIFY(qAbs(dragged.value(0) - 443) <= 1);
        window->close();
        open();
        QCOMPARE(window->splitter()->sizes(), dragged);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
