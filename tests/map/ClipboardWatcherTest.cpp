#include "widgets/map/ClipboardWatcher.h"
#include "harness/WidgetTestMain.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

class ClipboardWatcherTest : public QObject
{
    Q_OBJECT

private:
    QStringList seen;
    QList<QProcess *> xclips;

    ClipboardWatcher::Handler recorder()
    {
        return [this](const QString &text) { seen.append(text); };
    }

    // Sets the text of a selection from another process and waits until this
    // one has heard of it.
    void setFromOutside(const QString &selection, const QByteArray &text)
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        QSignalSpy changed(clipboard, &QClipboard::changed);
        auto *xclip = new QProcess(this);
        xclip->start(u"xclip"_s, {u"-selection"_s, selection, u"-quiet"_s});
        QVERIFY(xclip->waitForStarted());
        xclip->write(text);
        xclip->closeWriteChannel();
        xclips.append(xclip);
        QVERIFY(changed.wait(5000));
    }

    static bool onX11() { return QGuiApplication::platformName() == u"xcb"; }

private Q_SLOTS:
    void init() { seen.clear(); }
    void cleanup()
    {
        for (QProcess *xclip : std::as_const(xclips)) {
            xclip->kill();
            xclip->waitForFinished();
            delete xclip;
        }
        xclips.clear();
    }

    void installedWatcherHandsOnClipboardText()
    {
        ClipboardWatcher watcher(recorder());
        watcher.WatchClipboard(1);
        QVERIFY(watcher.installed());
        QGuiApplication::clipboard()->setText(u"first"_s);
        QTRY_COMPARE(seen, QStringList{u"first"_s});
    }

    void secondInstallKeepsTheFirst()
    {
        ClipboardWatcher watcher(recorder());
        watcher.WatchClipboard(1);
        watcher.WatchClipboard(1);
        QGuiApplication::clipboard()->setText(u"once"_s);
        QTRY_COMPARE(seen, QStringList{u"once"_s});
        QTest::qWait(100);
        QCOMPARE(seen, QStringList{u"once"_s}); // not twice
        // One removal is enough.
        watcher.WatchClipboard(0);
        QVERIFY(!watcher.installed());
        QGuiApplication::clipboard()->setText(u"after removal"_s);
        QTest::qWait(100);
        QCOMPARE(seen, QStringList{u"once"_s});
    }

    void removeWithoutInstallDoesNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addRow("0") << 0;
        QTest::addRow("2") << 2;
        QTest::addRow("-1") << -1;
    }
    void removeWithoutInstallDoesNothing()
    {
        QFETCH(int, mode);
        ClipboardWatcher watcher(recorder());
        watcher.WatchClipboard(mode);
        watcher.WatchClipboard(mode);
        QVERIFY(!watcher.installed());
        QGuiApplication::clipboard()->setText(u"unwatched"_s);
        QTest::qWait(100);
        QVERIFY(seen.isEmpty());
        // A later install works as ever.
        watcher.WatchClipboard(1);
        QGuiApplication::clipboard()->setText(u"watched"_s);
        QTRY_COMPARE(seen, QStringList{u"watched"_s});
    }

    void changesDuringTheHandlerAreNotExamined()
    {
        int calls = 0;
        ClipboardWatcher watcher([&calls](const QString &) {
            ++calls;
            QGuiApplication::clipboard()->setText(u"set by the handler %1"_s.arg(calls));
        });
        watcher.WatchClipboard(1);
        QGuiApplication::clipboard()->setText(u"outer"_s);
        QTRY_COMPARE(calls, 1);
        QTest::qWait(200);
        QCOMPARE(calls, 1);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"set by the handler 1"_s);
        // The guard is down again for the next change.
        QGuiApplication::clipboard()->setText(u"next"_s);
        QTRY_COMPARE(calls, 2);
    }

    void contentWithoutTextIsNotHandedOn()
    {
        ClipboardWatcher watcher(recorder());
        watcher.WatchClipboard(1);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QSignalSpy changed(QGuiApplication::clipboard(), &QClipboard::dataChanged);
        QGuiApplication::clipboard()->setImage(picture);
        QTRY_VERIFY(!changed.isEmpty());
        QVERIFY(seen.isEmpty());
        auto *data = new QMimeData;
        data->setData(u"application/x-kotoven-test"_s, "http://map.yahoo.co.jp/");
        QGuiApplication::clipboard()->setMimeData(data);
        QTRY_COMPARE(changed.size(), 2);
        QVERIFY(seen.isEmpty());
    }

    void selectionIsNotWatched()
    {
        if (!QGuiApplication::clipboard()->supportsSelection())
            QSKIP("this platform has no selection");
        ClipboardWatcher watcher(recorder());
        watcher.WatchClipboard(1);
        QGuiApplication::clipboard()->setText(u"marked text"_s, QClipboard::Selection);
        QTest::qWait(100);
        QVERIFY(seen.isEmpty());
    }

    void textFromAnotherProgram_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<bool>("handed");
        QTest::addRow("clipboard") << u"clipboard"_s << true;
        QTest::addRow("primary selection") << u"primary"_s << false;
    }
    void textFromAnotherProgram()
    {
        if (!onX11() || QStandardPaths::findExecutable(u"xclip"_s).isEmpty())
            QSKIP("needs an X server and xclip");
        QFETCH(QString, selection);
        QFETCH(bool, handed);
        ClipboardWatcher watcher(recorder());
        watcher.WatchClipboard(1);
        setFromOutside(selection, "from xclip \xE6\x9D\xB1");
        if (handed) {
            QTRY_COMPARE(seen, QStringList{u"from xclip 東"_s});
        } else { // the clipboard's change, which comes after, is all that is seen
            setFromOutside(u"clipboard"_s, "after");
            QTRY_COMPARE(seen, QStringList{u"after"_s});
        }
    }
};

KOTOVEN_WIDGET_TEST_MAIN(ClipboardWatcherTest)
#include "ClipboardWatcherTest.moc"
