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
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <chrono>
#include <future>
#include <memory>

using Answer = Desktop::Answer;

namespace {

const QString Header = u"郵便番号,住所,勤務先等,電話番号,MAP URL\r\n"_qs;
const QString Row = u"\"100-0005\",\"東京都千代田区丸の内\",\"\",\"\",\"\"\r\n"_qs;

QByteArray cp932(const QString &text)
{
    return Cp932::encode(text).bytes;
}

// The arguments a launcher makes of the desktop entry's Exec line for one file.
QStringList execLine(const QString &file)
{
    const QString entry = QString::fromUtf8(readBytes(sourcePath(u"data/kotoven.desktop"_qs)));
    QString exec;
    for (const QString &line : entry.split(u'\n'))
        if (line.startsWith(u"Exec="_qs))
            exec = line.mid(5);
    QStringList arguments;
    for (const QString &part : exec.split(u' ', Qt::SkipEmptyParts))
        if (part == u"%f"_qs)
            arguments.append(file);
        else if (!part.startsWith(u'%'))
            arguments.append(part);
    return arguments;
}

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

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        open();
        Program().UserDataFolder = dir->path() + u'/';
    }

    void cleanup()
    {
        if (window)
            window->state().Dirty = false;
        window.reset();
        dir.reset();
    }

    void openingFromOutside_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("given");   // the name handed to the program
        QTest::addColumn<QString>("written"); // the file on disk
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("dirty");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("firstZip"); // row 1's postal code afterwards
        QTest::addColumn<bool>("current");     // the file became the current one
        QTest::addColumn<QStringList>("messages"); // "%1": the file

        const QByteArray good = cp932(Header + Row);
        const QByteArray bad = cp932(Header + Row + u"1,2\r\n"_qs);
        const QString zip = u"100-0005"_qs;
        const QString mine = u"mine"_qs;
        const QString question = u"現在のﾃﾞｰﾀｰを更新しますか"_qs;
        const QStringList none;
        QTest::newRow("argument") << u"argument"_qs << u"list.csv"_qs << u"list.csv"_qs << good << false
                                  << Answer::Ok << zip << true << none;
        QTest::newRow("argument without .csv") << u"argument"_qs << u"list"_qs << u"list.csv"_qs << good << false
                                               << Answer::Ok << zip << true << none;
        QTest::newRow("desktop entry") << u"desktop entry"_qs << u"名簿 2.csv"_qs << u"名簿 2.csv"_qs << good
                                       << false << Answer::Ok << zip << true << none;
        QTest::newRow("drop, changes kept") << u"drop"_qs << u"a.CSV"_qs << u"a.CSV"_qs << good << true
                                            << Answer::No << mine << false << QStringList{question};
        QTest::newRow("drop, changes given up") << u"drop"_qs << u"a.csv"_qs << u"a.csv"_qs << good << true
                                                << Answer::Yes << zip << true << QStringList{question};
        QTest::newRow("drop on the browser pane") << u"drop on the pane"_qs << u"c.csv"_qs << u"c.csv"_qs << good
                                                  << false << Answer::Ok << zip << true << none;
        QTest::newRow("another start") << u"another start"_qs << u"b.csv"_qs << u"b.csv"_qs << good << false
                                       << Answer::Ok << zip << true << none;
        QTest::newRow("another start, bad file")
            << u"another start"_qs << u"b.csv"_qs << u"b.csv"_qs << bad << false << Answer::Ok << zip << false
            << QStringList{u"%1 の形式が不正です\r3 行目を読み込めません"_qs};
    }

    // Every way reaches the one Open path: its question, its messages, and
    // the file becomes the current one.
    void openingFromOutside()
    {
        QFETCH(QString, way);
        QFETCH(QString, given);
        QFETCH(QString, written);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, dirty);
        QFETCH(Answer, answer);
        QFETCH(QString, firstZip);
        QFETCH(bool, current);
        QFETCH(QStringList, messages);

        const QString file = path(written);
        QVERIFY(writeBytes(file, bytes));
        grid()->SetCell(1, 1, u"mine"_qs);
        window->state().Dirty = dirty;
        desktop.answers = {answer};

        if (way == u"argument"_qs) {
            const std::optional<QString> argument = FileNames::fileArgument({u"kotoven"_qs, given}, dir->path());
            QVERIFY(argument);
            window->openFile(*argument);
        } else if (way == u"desktop entry"_qs) {
            const QStringList arguments = execLine(path(given));
            QCOMPARE(arguments.value(0), u"kotoven"_qs);
            const std::optional<QString> argument = FileNames::fileArgument(arguments, QDir::rootPath());
            QVERIFY(argument);
            window->openFile(*argument);
        } else if (way.startsWith(u"drop"_qs)) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path(u"notes.txt"_qs)), QUrl::fromLocalFile(path(given))});
            QWidget *target = grid()->viewport();
            if (way == u"drop on the pane"_qs) {
                auto *view = window->web()->findChild<QWebEngineView *>();
                QVERIFY(view);
                target = view->focusProxy() ? view->focusProxy() : view;
            }
            const QPoint at = target->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            QVERIFY(drop.isAccepted());
        } else {
            const QString socket = dir->filePath(u"socket"_qs);
            // A socket file left by a program that did not end cleanly.
            QVERIFY(writeBytes(socket, QByteArray()));
            SingleInstance running(socket);
            running.received = [this](const QString &handed) { window->takeHandOver(handed); };
            QVERIFY(running.listen());
            const QString name = path(given);
            // The other start blocks on its socket; the window answers meanwhile.
            std::future<bool> handed =
                std::async(std::launch::async, [socket, name] { return SingleInstance(socket).handOver(name); });
            QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
            QVERIFY(handed.get());
        }

        QStringList expected;
        for (const QString &m : messages)
            expected.append(m.contains(u"%1"_qs) ? m.arg(file) : m);
        QTRY_COMPARE(desktop.messages(), expected);
        QTRY_COMPARE(grid()->GetCell(1, 1), firstZip);
        QCOMPARE(window->state().CurrentFile == file, current);
    }

    // The program started from its desktop entry under the X server: it opens
    // the file (a bad one, so that its message shows), and a second start
    // hands its file to it and ends.
    void desktopEntryStartsOneWindow()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QVERIFY(QDir(home.path()).mkpath(u"run"_qs));
        QVERIFY(QFile::setPermissions(home.filePath(u"run"_qs), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                    | QFileDevice::ExeOwner));
        const QString file = path(u"bad.csv"_qs);
        QVERIFY(writeBytes(file, cp932(Header + u"1,2\r\n"_qs)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_qs, home.path());
        env.insert(u"XDG_RUNTIME_DIR"_qs, home.filePath(u"run"_qs));
        env.insert(u"XDG_CONFIG_HOME"_qs, home.filePath(u"config"_qs));
        env.insert(u"XDG_DATA_HOME"_qs, home.filePath(u"data"_qs));
        env.insert(u"XDG_CACHE_HOME"_qs, home.filePath(u"cache"_qs));
        env.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
        auto start = [&env](QProcess &process, const QString &name) {
            QStringList arguments = execLine(name);
            process.setProcessEnvironment(env);
            process.setProgram(QStringLiteral(KOTOVEN_PROGRAM)); // the Exec line's "kotoven"
            process.setArguments(arguments.mid(1));
            process.start();
        };
        QProcess first;
        start(first, file);
        QVERIFY(first.waitForStarted());
        // The format message is a window of its own, titled with the program's name.
        auto messageShown = [] {
            QProcess list;
            list.start(u"xwininfo"_qs, {u"-root"_qs, u"-tree"_qs});
            list.waitForFinished();
            return QString::fromUtf8(list.readAllStandardOutput()).contains(u"\"kotoven\": (\"kotoven\" \"kotoven\")"_qs);
        };
        QTRY_VERIFY_WITH_TIMEOUT(messageShown(), 60000);

        QProcess second;
        start(second, path(u"other.csv"_qs));
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }

    void saveDialogNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing"); // empty: none
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("saved");    // empty: nothing written
        QTest::addColumn<bool>("asked");

        QTest::newRow("new name gets .csv") << u"名簿"_qs << QString() << Answer::Ok << u"名簿.csv"_qs << false;
        QTest::newRow("completed name exists, replaced")
            << u"a"_qs << u"a.csv"_qs << Answer::Yes << u"a.csv"_qs << true;
        QTest::newRow("completed name exists, kept") << u"a"_qs << u"a.csv"_qs << Answer::No << QString() << true;
        QTest::newRow("chosen file exists, kept") << u"b.csv"_qs << u"b.csv"_qs << Answer::No << QString() << true;
        QTest::newRow("other extension stays") << u"c.txt"_qs << QString() << Answer::Ok << u"c.txt"_qs << false;
    }

    void saveDialogNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(Answer, answer);
        QFETCH(QString, saved);
        QFETCH(bool, asked);

        const QByteArray old("old");
        if (!existing.isEmpty())
            QVERIFY(writeBytes(path(existing), old));
        grid()->SetCell(1, 1, u"100-0005"_qs);
        desktop.files = {path(typed)};
        desktop.answers = {answer};
        window->menus().mnFile[2]->trigger();

        const QString question = path(existing) + u" は既にあります\r置き換えますか"_qs;
        QCOMPARE(desktop.messages(), asked ? QStringList{question} : QStringList());
        if (saved.isEmpty()) {
            QCOMPARE(readBytes(path(existing)), old);
            QCOMPARE(window->state().CurrentFile, QString());
        } else {
            QVERIFY(readBytes(path(saved)).startsWith(cp932(Header)));
            QCOMPARE(window->state().CurrentFile, path(saved));
        }
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
        const QString helpFolder = Program().ProgramFolder + u"/help"_qs;
        QVERIFY(QDir(helpFolder).removeRecursively());
        if (pageInstalled) {
            QVERIFY(QDir().mkpath(helpFolder));
            QVERIFY(writeBytes(helpFolder + u"/kotoven.htm"_qs, "<html><body>help</body></html>"));
        }
        QTemporaryDir bin;
        const QString fake = bin.filePath(u"xdg-open"_qs);
        QVERIFY(writeBytes(fake, "#!/bin/sh\necho 'no method available' >&2\nexit 3\n"));
        QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFileDevice::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        desktop.runHandOff = true;
        window->menus().mnHelp->trigger();
        const QUrl page = QUrl::fromLocalFile(helpFolder + u"/kotoven.htm"_qs);
        if (pageInstalled) {
            QTRY_COMPARE(QUrl(window->web()->URL()), page);
            QCOMPARE(desktop.messages(), QStringList());
        } else {
            QTRY_COMPARE(desktop.messages().size(), 1);
            QVERIFY(desktop.messages()[0].startsWith(page.toLocalFile() + u" を開けませんでした\r"_qs));
            QVERIFY(QUrl(window->web()->URL()) != page);
        }
        qputenv("PATH", path);
        QVERIFY(QDir(helpFolder).removeRecursively());
    }

    // 200,000 rows widen the row numbers: the last column gives way, and the
    // end of the table shows without a horizontal scroll bar.
    void largeLoadLeavesNoHorizontalScrollBar()
    {
        QByteArray bytes = cp932(Header);
        const QByteArray row = cp932(Row);
        bytes.reserve(bytes.size() + row.size() * 200000);
        for (int i = 0; i < 200000; ++i)
            bytes += row;
        const QString file = path(u"large.csv"_qs);
        QVERIFY(writeBytes(file, bytes));
        const double before = grid()->ColumnWidth(5);
        window->files().progressDelayMs = 60000;
        window->openFile(file);
        QCOMPARE(grid()->RowCount(), 200001);
        grid()->setFocus();
        QTest::keyClick(grid(), Qt::Key_End, Qt::ControlModifier);
        QTRY_VERIFY(grid()->verticalScrollBar()->isVisible());
        QTRY_COMPARE(grid()->horizontalScrollBar()->maximum(), 0);
        QVERIFY(grid()->ColumnWidth(5) < before);
        QCOMPARE(grid()->columnViewportPosition(0), 0);
    }

    // Both panes grow in proportion to their designed heights until the bar
    // is dragged; where it was dragged to is kept for the next start.
    void splitterAcrossTwoRuns()
    {
        window.reset();
        // A first start, at the designed size.
        QFile::remove(Program().UserDataFolder + u"User.xml"_qs);
        // Start-up ends even for a window that never becomes active.
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QTRY_COMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(showAndActivate(*window));

        QSplitter *splitter = window->splitter();
        QVERIFY(splitter->handleWidth() >= 6);
        QCOMPARE(splitter->sizes(), QList<int>({195, 448}));
        window->resize(window->width(), window->height() + 322); // panes 965 high: 292.6 and 672.4
        QTRY_VERIFY(qAbs(splitter->sizes().value(0) - 293) <= 2);
        QVERIFY(qAbs(splitter->sizes().value(1) - 672) <= 2);

        // A drag of the bar 150 pixels down.
        QSplitterHandle *handle = splitter->handle(1);
        const QPoint from = handle->rect().center();
        auto mouse = [handle](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, handle->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, from + QPoint(0, 150), Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, from + QPoint(0, 150), Qt::LeftButton, Qt::NoButton);
        const QList<int> dragged = splitter->sizes();
        QVERIFY(qAbs(dragged.value(0) - 443) <= 2);
        window->close();
        window.reset();

        open();
        QCOMPARE(window->splitter()->sizes(), dragged);
        QSettings().remove(u"Window/Splitter"_qs);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
