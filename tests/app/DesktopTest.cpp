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
#include <QWebEngineView>

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
            const QString socket = path(u"socket"_qs);
            QVERIFY(writeBytes(socket, QByteArray())); // left by a program that did not end cleanly
            SingleInstance running(socket);
            running.received = [this](const QString &handed) { window->takeHandOver(handed); };
            QVERIFY(running.listen());
            // The other start blocks on its socket while this one answers.
            std::future<bool> handed =
                std::async(std::launch::async, [socket, file] { return SingleInstance(socket).handOver(file); });
            QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
            QVERIFY(handed.get());
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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, sub] : {std::pair{u"HOME"_qs, QString()}, {u"XDG_RUNTIME_DIR"_qs, u"/run"_qs},
                                        {u"XDG_CONFIG_HOME"_qs, u"/config"_qs}, {u"XDG_DATA_HOME"_qs, u"/data"_qs}})
            env.insert(name, home.path() + sub);
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
