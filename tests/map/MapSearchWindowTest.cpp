#include "support/LocalHttpServer.h"

#include "app/fmMain.h"
#include "widgets/map/MapCommands.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "widgets/map/uWeb.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <memory>

using namespace Qt::StringLiterals;

// The main window's map commands and map-link capture, end to end: the map
// service's addresses point at a server inside the test.
class MapSearchWindowTest : public QObject
{
    Q_OBJECT

private:
    LocalHttpServer server;
    ScriptedDesktop desktop;
    std::unique_ptr<fmMain> window;
    QList<QProcess *> xclips;

    QString redirect() const { return server.url(u"/maps/recommend/map_search/"_s); }
    QString base() const { return server.url(u"/"_s); }
    QByteArray searchTarget(const QByteArray &encoded) const
    {
        return "/maps/recommend/map_search/*" + base().toLatin1() + "search?ei=UTF-8&p=" + encoded;
    }

    // Puts the row's cells in place and makes it the active row.
    void fillRow(int row, const QString &address, const QString &workplace, const QString &link)
    {
        vAdd *grid = window->grid();
        grid->SetCell(2, row, address);
        grid->SetCell(3, row, workplace);
        grid->SetCell(5, row, link);
        grid->GoToCell(1, row);
        QCOMPARE(grid->CurRow(), row);
    }

    void press(int key)
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get(), 30000));
        QTest::keyClick(window->grid(), Qt::Key(key));
    }

    // Sets the clipboard from another process (xclip) and waits until this
    // process has seen the change; the window's watcher runs before the spy.
    void setFromOutside(const QByteArray &data, const QString &type = {})
    {
        QSignalSpy changed(QGuiApplication::clipboard(), &QClipboard::dataChanged);
        auto *xclip = new QProcess(this);
        QStringList args{u"-selection"_s, u"clipboard"_s, u"-quiet"_s};
        if (!type.isEmpty())
            args << u"-t"_s << type;
        xclip->start(u"xclip"_s, args);
        QVERIFY(xclip->waitForStarted());
        xclip->write(data);
        xclip->closeWriteChannel();
        xclips.append(xclip);
        QVERIFY(changed.wait(5000));
    }

    static bool canUseXclip()
    {
        return QGuiApplication::platformName() == u"xcb" && !QStandardPaths::findExecutable(u"xclip"_s).isEmpty();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(server.listening()); }

    void init()
    {
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        MapAddresses map;
        map.redirect = redirect();
        map.base = base();
        window->map().setMapAddresses(map);
        QVERIFY(showAndActivate(*window));
        QTRY_COMPARE_WITH_TIMEOUT(window->web()->URL(), u"about:blank"_s, 10000);
        server.clearLog();
    }

    void cleanup()
    {
        for (QProcess *xclip : std::as_const(xclips)) {
            xclip->kill();
            xclip->waitForFinished();
            delete xclip;
        }
        xclips.clear();
        if (window)
            window->close();
        window.reset();
    }

    void defaultAddressesAreTheMapService()
    {
        const MapAddresses map;
        QCOMPARE(map.redirect, u"http://rd.yahoo.co.jp/maps/recommend/map_search/"_s);
        QCOMPARE(map.base, u"http://map.yahoo.co.jp/"_s);
        QCOMPARE(window->map().mapAddresses().base, base());
    }

    void searchOpensTheExactAddress_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("workplace");
        QTest::addColumn<QByteArray>("encoded");

        QTest::addRow("F5 two parts") << int(Qt::Key_F5) << u"東京都　千代田区"_s << u"本社"_s
                                      << QByteArray("%E6%9D%B1%E4%BA%AC%E9%83%BD%E5%8D%83%E4%BB%A3%E7%94%B0%E5%8C%BA");
        QTest::addRow("F5 three parts") << int(Qt::Key_F5) << u"東京都　千代田区　丸の内"_s << QString()
                                        << QByteArray("%E6%9D%B1%E4%BA%AC%E9%83%BD%E5%8D%83%E4%BB%A3%E7%94%B0%E5%8C%BA"
                                                      "%E4%B8%B8%E3%81%AE%E5%86%85");
        QTest::addRow("F5 ascii") << int(Qt::Key_F5) << u"Ginza 4-chome"_s << QString() << QByteArray("Ginza+4-chome");
        QTest::addRow("F5 signs") << int(Qt::Key_F5) << u"a+b/c@d"_s << QString() << QByteArray("a%2Bb%2Fc@d");
        QTest::addRow("F5 outer spaces trimmed") << int(Qt::Key_F5) << u"  東京 Tower-1  "_s << QString()
                                                 << QByteArray("%E6%9D%B1%E4%BA%AC+Tower-1");
        QTest::addRow("F7 five parts") << int(Qt::Key_F7) << u"A　B　C　D　E"_s << u"本社"_s
                                       << QByteArray("%E6%9C%AC%E7%A4%BE+ABC");
        QTest::addRow("F7 two parts") << int(Qt::Key_F7) << u"A　B"_s << u"本社"_s << QByteArray("%E6%9C%AC%E7%A4%BE+A");
        QTest::addRow("F7 no full-width space") << int(Qt::Key_F7) << u"東京都"_s << u"本社"_s
                                                << QByteArray("%E6%9C%AC%E7%A4%BE+");
    }
    void searchOpensTheExactAddress()
    {
        QFETCH(int, key);
        QFETCH(QString, address);
        QFETCH(QString, workplace);
        QFETCH(QByteArray, encoded);
        fillRow(2, address, workplace, u"http://unused.example/"_s);
        press(key);
        const QByteArray target = searchTarget(encoded);
        QTRY_VERIFY_WITH_TIMEOUT(!server.targets().isEmpty(), 10000);
        QCOMPARE(server.requestLines().constFirst(), "GET " + target + " HTTP/1.1");
        QTRY_COMPARE_WITH_TIMEOUT(window->web()->CurUrl(), server.url(QString::fromLatin1(target)), 10000);
        QVERIFY(desktop.asked.isEmpty());
        QVERIFY(!window->state().Dirty);
    }

    void storedLinkIsOpenedAsItStands()
    {
        // Full-width spaces go; nothing is encoded and nothing is added.
        QString link = server.url(u"/pl?lat=35.6&p=a+b"_s);
        link.insert(link.indexOf(u"/pl"), u'\u3000');
        fillRow(4, u"東京都"_s, u"本社"_s, link);
        press(Qt::Key_F8);
        QTRY_VERIFY_WITH_TIMEOUT(!server.targets().isEmpty(), 10000);
        QCOMPARE(server.targets(), QList<QByteArray>{"/pl?lat=35.6&p=a+b"});
        QTRY_COMPARE_WITH_TIMEOUT(window->web()->CurUrl(), server.url(u"/pl?lat=35.6&p=a+b"_s), 10000);
        QVERIFY(desktop.asked.isEmpty());
    }

    void storedLinkToThePageShownReloadsIt()
    {
        // The row's stored link is the search address just shown, in other
        // letter case: the page is loaded again, not the stored spelling.
        const QByteArray target = searchTarget("%E6%9D%B1%E4%BA%AC%E9%83%BD");
        fillRow(1, u"東京都"_s, QString(), server.url(QString::fromLatin1(target).toUpper()));
        press(Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(window->web()->CurUrl(), server.url(QString::fromLatin1(target)), 10000);
        press(Qt::Key_F8);
        QTRY_COMPARE_WITH_TIMEOUT(server.targets().size(), 2, 10000);
        QCOMPARE(server.targets(), (QList<QByteArray>{target, target}));
        QVERIFY(desktop.asked.isEmpty());
    }

    void emptyKeywordIsReported_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("link");
        QTest::addRow("F5 empty address") << int(Qt::Key_F5) << QString() << u"http://x.example/"_s;
        QTest::addRow("F5 only full-width spaces") << int(Qt::Key_F5) << u"　　　"_s << QString();
        QTest::addRow("F5 only half-width spaces") << int(Qt::Key_F5) << u"   "_s << QString();
        // F7 with neither a workplace nor an address, which once searched for "+".
        QTest::addRow("F7 both empty") << int(Qt::Key_F7) << QString() << QString();
        QTest::addRow("F8 empty link") << int(Qt::Key_F8) << u"東京都"_s << QString();
        QTest::addRow("F8 only full-width spaces") << int(Qt::Key_F8) << u"東京都"_s << u"　"_s;
    }
    void emptyKeywordIsReported()
    {
        QFETCH(int, key);
        QFETCH(QString, address);
        QFETCH(QString, link);
        fillRow(3, address, key == Qt::Key_F7 ? QString() : u"本社"_s, link);
        press(key);
        QTRY_COMPARE(desktop.messages(), QStringList{u"検索キーワードが空です"_s});
        QCOMPARE(desktop.asked.constFirst().buttons, Desktop::Buttons::Ok);
        QTest::qWait(300);
        QVERIFY(server.targets().isEmpty());
        QCOMPARE(window->web()->URL(), u"about:blank"_s);
    }

    void storedLinkThatIsNoWebAddressIsNotOpened_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addRow("javascript") << u"javascript:alert(document.cookie)"_s;
        QTest::addRow("file") << u"file:///etc/passwd"_s;
        QTest::addRow("data") << u"data:text/html,<b>x</b>"_s;
        QTest::addRow("no scheme") << u"map.yahoo.co.jp/pl"_s;
    }
    void storedLinkThatIsNoWebAddressIsNotOpened()
    {
        QFETCH(QString, link);
        QVERIFY(QMetaObject::invokeMethod(window->web(), [this] { window->web()->setURL(server.url(u"/before"_s)); }));
        QTRY_COMPARE_WITH_TIMEOUT(window->web()->CurUrl(), server.url(u"/before"_s), 10000);
        fillRow(5, u"東京都"_s, QString(), link);
        press(Qt::Key_F8);
        QTRY_COMPARE(desktop.messages(), QStringList{link + u" は開けません\rhttp または https のｱﾄﾞﾚｽではありません"_s});
        QTest::qWait(300);
        QCOMPARE(window->web()->URL(), server.url(u"/before"_s));
        QCOMPARE(server.targets(), QList<QByteArray>{"/before"});
    }

    // ---- map links from the clipboard ----

    void copiedTextLandsInTheActiveRow_data()
    {
        QTest::addColumn<QString>("text");   // "BASE" and "HOST" stand for the server's
        QTest::addColumn<QString>("stored"); // empty: the cell keeps "old"
        QTest::addRow("map link") << u"BASE" "pl?lat=35.68&lon=139.76"_s << u"BASE" "pl?lat=35.68&lon=139.76"_s;
        QTest::addRow("base alone") << u"BASE"_s << u"BASE"_s;
        QTest::addRow("https link") << u"https://HOST/place?x=1"_s << u"https://HOST/place?x=1"_s;
        QTest::addRow("trailing spaces trimmed") << u"BASE" "pl   "_s << u"BASE" "pl"_s;
        QTest::addRow("several lines kept whole") << u"BASE" "pl\r\nsecond line\n"_s << u"BASE" "pl\r\nsecond line\n"_s;
        QTest::addRow("leading space") << u" BASE" "pl"_s << QString();
        QTest::addRow("other case") << u"HTTP://HOST/pl"_s << QString();
        QTest::addRow("without closing slash") << u"http://HOST"_s << QString();
        QTest::addRow("other text") << u"東京都千代田区"_s << QString();
    }
    void copiedTextLandsInTheActiveRow()
    {
        if (!canUseXclip())
            QSKIP("needs an X server and xclip");
        QFETCH(QString, text);
        QFETCH(QString, stored);
        const QString host = u"127.0.0.1:%1"_s.arg(server.port());
        text.replace(u"BASE"_s, base()).replace(u"HOST"_s, host);
        stored.replace(u"BASE"_s, base()).replace(u"HOST"_s, host);
        fillRow(6, u"東京都"_s, QString(), u"old"_s);
        window->state().Dirty = false;
        setFromOutside(text.toUtf8());
        QCOMPARE(window->grid()->GetCell(5, 6), stored.isEmpty() ? u"old"_s : stored);
        QCOMPARE(window->state().Dirty, !stored.isEmpty());
        // Nothing else moves: no message, no navigation, other rows untouched.
        QVERIFY(desktop.asked.isEmpty());
        QCOMPARE(window->grid()->GetCell(5, 5), QString());
        QCOMPARE(window->grid()->GetCell(2, 6), u"東京都"_s);
        QTest::qWait(100);
        QVERIFY(server.targets().isEmpty());
    }

    // A link copied while the Map URL cell is being edited: what was typed is
    // taken first, then the link replaces it once; the closed editor cannot
    // write its old text back.
    void copiedLinkWhileTheCellIsEdited()
    {
        if (!canUseXclip())
            QSKIP("needs an X server and xclip");
        vAdd *grid = window->grid();
        grid->setFocus();
        grid->GoToCell(5, 2);
        QTest::keyClicks(grid, u"typed"_s);
        QVERIFY(grid->cellEditor() && grid->cellEditor()->isVisible());
        const QString link = base() + u"pl?lat=35.68"_s;
        setFromOutside(link.toUtf8());
        QCOMPARE(grid->GetCell(5, 2), link);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(grid->GetCell(5, 2), link);
        QVERIFY(window->state().Dirty);
    }

    void pictureOnTheClipboardChangesNothing()
    {
        if (!canUseXclip())
            QSKIP("needs an X server and xclip");
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        fillRow(7, QString(), QString(), u"old"_s);
        window->state().Dirty = false;
        setFromOutside(png, u"image/png"_s);
        QCOMPARE(window->grid()->GetCell(5, 7), u"old"_s);
        QVERIFY(!window->state().Dirty);
    }

    void copiedTableIsNotStored()
    {
        fillRow(8, QString(), QString(), u"old"_s);
        window->state().Dirty = false;
        QClipboard *clipboard = QGuiApplication::clipboard();
        // What the copy command puts there: quoted, tab-separated lines.
        const QString table = u"\"100-0005\"\t\"東京都千代田区\"\t\"\"\t\"\"\t\"" + base() + u"pl\"\r\n"_s;
        clipboard->setText(table);
        QTRY_COMPARE(clipboard->text(), table);
        QCOMPARE(window->grid()->GetCell(5, 8), u"old"_s);
        QVERIFY(!window->state().Dirty);
        // A link copied inside the program is taken like any other.
        clipboard->setText(base() + u"pl?in=1"_s);
        QTRY_COMPARE(window->grid()->GetCell(5, 8), base() + u"pl?in=1"_s);
        QVERIFY(window->state().Dirty);
    }

    void closedWindowNoLongerWatches()
    {
        fillRow(9, QString(), QString(), u"old"_s);
        window->close();
        QVERIFY(window->shutDown());
        QGuiApplication::clipboard()->setText(base() + u"pl?late=1"_s);
        QTest::qWait(100);
        QCOMPARE(window->grid()->GetCell(5, 9), u"old"_s);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(MapSearchWindowTest)
#include "MapSearchWindowTest.moc"
