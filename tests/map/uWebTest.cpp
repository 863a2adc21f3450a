#include "support/LocalHttpServer.h"

#include "core/env/Program.h"
#include "widgets/map/uWeb.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QRegularExpression>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

class uWebTest : public QObject
{
    Q_OBJECT

private:
    LocalHttpServer server;
    ScriptedDesktop desktop;
    std::unique_ptr<uWeb> web;

    QLineEdit *box() const { return web->findChild<QLineEdit *>(u"txURL"_s); }
    QToolButton *button(int index) const { return web->findChild<QToolButton *>(u"ssCom_%1"_s.arg(index)); }
    QWebEngineView *view() const { return web->findChild<QWebEngineView *>(u"WebBrw"_s); }

    // Shows an address and waits for it to complete.
    bool showAndWait(const QString &address)
    {
        QSignalSpy done(web.get(), &uWeb::navigateCompleted);
        web->setURL(address);
        return done.wait(30000) || !done.isEmpty();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void clickInView(QPoint pos)
    {
        QWidget *target = view()->focusProxy();
        QTest::mouseMove(target, pos);
        QTest::mousePress(target, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(target, Qt::LeftButton, {}, pos);
    }

    // Pixels of a page element, read from the page.
    QPoint centreOf(const QString &id)
    {
        QPoint centre(-1, -1);
        view()->page()->runJavaScript(
            u"(function(){var r=document.getElementById('%1').getBoundingClientRect();return [r.x+r.width/2,r.y+r.height/2];})()"_s
                .arg(id),
            [&centre](const QVariant &v) {
                const QVariantList xy = v.toList();
                if (xy.size() == 2)
                    centre = QPoint(int(xy[0].toDouble()), int(xy[1].toDouble()));
            });
        if (!QTest::qWaitFor([&centre] { return centre.x() >= 0; }, 30000))
            qWarning("no position for %s", qPrintable(id));
        return centre;
    }

    // Runs a script in the page and waits for its result (invalid if none
    // came).
    QVariant evaluate(const QString &script)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        view()->page()->runJavaScript(script, [result](const QVariant &v) { *result = v; });
        if (!QTest::qWaitFor([&result] { return result->has_value(); }, 30000))
            qWarning("no result from the page");
        return result->value_or(QVariant());
    }

private Q_SLOTS:
    void initTestCase()
    {
        uWeb::useJapanesePages();
        QVERIFY(server.listening());
        server.setPage("/slow", {"<html><body>slow</body></html>", "text/html", 1500});
        // Built like a map site's page: a frame added after loading, a link
        // inside it, an anchor, an address rewritten by script, a document.
        server.setPage("/map", {"<html><body style='margin:0'>"
                                "<a id=anchor href='#pin' style='display:block;width:300px;height:40px'>pin</a>"
                                "<a id=book href='/book.xls' style='display:block;width:300px;height:40px'>book</a>"
                                "<p id=pin>pin</p><script>setTimeout(function(){var f=document.createElement('iframe');"
                                "f.id='late';f.src='/inner';document.body.appendChild(f);},800);</script></body></html>"});
        server.setPage("/inner", {"<html><body><a id=deeper href='/inner2'>deeper</a></body></html>"});
        server.setPage("/book.xls", {"abc\tdef\r\n", "application/vnd.ms-excel"});
        server.setPage("/popup",
                       {"<html><head><title>popup</title></head><body style='margin:0'>"
                        "<a id=blank href=\"/target\" target=\"_blank\" onclick=\"document.title='clicked'\""
                        " style='display:block;width:300px;height:60px'>new window</a>"
                        "<button id=open style='display:block;width:300px;height:60px'"
                        " onclick=\"document.title='opened';window.open('/opened')\">open</button>"
                        "<a id=self href=\"/followed\" style='display:block;width:300px;height:60px'>same window</a>"
                        "</body></html>"});
        server.setPage("/saved", {"<html><head><title>Saved: page?</title></head><body><p>marker-7731</p></body></html>"});
    }

    void init()
    {
        desktop.clear();
        web = std::make_unique<uWeb>(desktop);
        web->setWindowReady(true);
        web->resize(900, 500);
        web->show();
        QVERIFY(QTest::qWaitForWindowExposed(web.get(), 30000));
        web->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(web.get(), 30000));
        // The blank page of the creation completes first.
        QTRY_COMPARE_WITH_TIMEOUT(web->URL(), u"about:blank"_s, 30000);
        server.clearLog();
    }

    void cleanup() { web.reset(); }

    void createdOnTheBlankPage()
    {
        QCOMPARE(web->CurUrl(), QString());
        QCOMPARE(box()->text(), QString());
        QVERIFY(!button(9)->isEnabled());
    }

    void buttonsHaveTheirTooltipsAndPictures_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("tooltip");
        QTest::addRow("2 back") << 2 << u"前のﾍﾟ-ｼﾞに移動"_s;
        QTest::addRow("3 forward") << 3 << u"次のﾍﾟ-ｼﾞに移動"_s;
        QTest::addRow("4 home") << 4 << u"ﾎ-ﾑﾍﾟ-ｼﾞに移動します"_s;
        QTest::addRow("5 search") << 5 << u"検索ﾍﾟ-ｼﾞに移動します"_s;
        QTest::addRow("6 print") << 6 << u"現在のﾍﾟ-ｼﾞを印刷"_s;
        QTest::addRow("7 page setup") << 7 << u"ﾍﾟ-ｼﾞ設定"_s;
        QTest::addRow("8 save") << 8 << u"現在のﾍﾟ-ｼﾞを保存します"_s;
        QTest::addRow("9 document") << 9 << u"ﾂ-ﾙﾊﾞ-を表示します"_s;
    }
    void buttonsHaveTheirTooltipsAndPictures()
    {
        QFETCH(int, index);
        QFETCH(QString, tooltip);
        QVERIFY(button(index));
        QCOMPARE(button(index)->toolTip(), tooltip);
        QVERIFY(!button(index)->icon().pixmap(16, 16).isNull());
    }

    void layoutInTwips()
    {
        web->resize(800, 400);
        QTRY_COMPARE(web->size(), QSize(800, 400));
        // 96 dpi: 15 twips a pixel.
        for (int i = 2; i <= 9; ++i)
            QCOMPARE(button(i)->geometry(), QRect((i - 2) * 40, 0, 40, 21));
        // The box is as tall as its font needs, at least as designed, and the
        // view starts below it.
        const QRect boxRect = box()->geometry();
        QCOMPARE(boxRect.topLeft(), QPoint(328, 4));
        QCOMPARE(boxRect.width(), 800 - 328 - 1);
        QVERIFY(boxRect.height() >= std::max(15, box()->sizeHint().height()));
        const int viewTop = std::max(22, boxRect.bottom() + 1 + 3);
        QCOMPARE(view()->geometry(), QRect(0, viewTop, 800, 399 - viewTop));

        // Narrower than the box's left edge: the box stays, the rest follows.
        const QRect boxBefore = box()->geometry();
        web->resize(300, 300);
        QTRY_COMPARE(web->size(), QSize(300, 300));
        QCOMPARE(box()->geometry(), boxBefore);
        QCOMPARE(view()->geometry(), QRect(0, viewTop, 300, 299 - viewTop));

        // Nothing moves while the window is not loaded.
        web->setWindowReady(false);
        web->resize(700, 350);
        QTRY_COMPARE(web->size(), QSize(700, 350));
        web->setWindowReady(true);
        QCOMPARE(view()->geometry(), QRect(0, viewTop, 300, 299 - viewTop));
    }

    void boxShowsLookingThenTheCompletedAddress()
    {
        const QString slow = server.url(u"/slow"_s);
        web->setURL(slow);
        // The server holds the page back for 1.5 s: the box says where it goes.
        QTRY_COMPARE_WITH_TIMEOUT(box()->text(), u"Looking.."_s + slow, 30000);
        QCOMPARE(web->CurUrl(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(box()->text(), slow, 30000);
        QCOMPARE(web->CurUrl(), slow);
        QCOMPARE(web->URL(), slow);

        // Back to the blank page: the box is empty again.
        QVERIFY(showAndWait(QString()));
        QCOMPARE(web->URL(), u"about:blank"_s);
        QCOMPARE(web->CurUrl(), QString());
        QCOMPARE(box()->text(), QString());
    }

    // The box follows the page itself: not its frames, but its same-page
    // changes; what is copied from it is the page's own address.
    void boxFollowsThePageNotItsFrames()
    {
        const QString page = server.url(u"/map"_s);
        QVERIFY(showAndWait(page));
        // Click the frame's link once the late frame holds it, and wait
        // until the frame has loaded where it leads.
        const QString frame = u"document.getElementById('late')"_s;
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(u"(function(){var f=%1;return !!(f&&f.contentDocument&&"
                                          "f.contentDocument.getElementById('deeper'));})()"_s.arg(frame))
                                     .toBool(),
                                 30000);
        evaluate(u"%1.contentDocument.getElementById('deeper').click()"_s.arg(frame));
        QTRY_VERIFY_WITH_TIMEOUT(server.count("/inner2") >= 1 &&
                                     evaluate(u"(function(){var d=%1.contentDocument;return d.location.pathname"
                                              "=='/inner2'&&d.readyState=='complete';})()"_s.arg(frame))
                                         .toBool(),
                                 30000);
        QCOMPARE(box()->text(), page);
        QCOMPARE(web->CurUrl(), page);
        QCOMPARE(box()->cursorPosition(), 0); // its start shows
        box()->setFocus();
        QTest::keyClick(box(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), page);

        clickInView(centreOf(u"anchor"_s));
        QTRY_COMPARE_WITH_TIMEOUT(box()->text(), page + u"#pin"_s, 15000);
        QCOMPARE(web->CurUrl(), page + u"#pin"_s);
        view()->page()->runJavaScript(u"history.pushState({}, '', '/map?lat=35.68&lon=139.76')"_s);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/map?lat=35.68&lon=139.76"_s), 15000);
        QCOMPARE(box()->text(), web->CurUrl());
        // Back goes to the anchor: again a change that loads nothing.
        QVERIFY(button(2)->isEnabled());
        QTest::keyClick(view()->focusProxy(), Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(box()->text(), page + u"#pin"_s, 15000);
    }

    // A document link asks where to save it, saves it there, offers to open
    // it, and puts the page's address back in the box.
    void downloadsLandWhereChosen()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString page = server.url(u"/map"_s);
        QVERIFY(showAndWait(page));
        desktop.files.push_back(dir.filePath(u"一覧"_s)); // the extension comes from the document
        desktop.answers.push_back(Desktop::Answer::Yes);
        clickInView(centreOf(u"book"_s));
        const QString saved = dir.filePath(u"一覧.xls"_s);
        QTRY_COMPARE_WITH_TIMEOUT(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(saved)}, 30000);
        QCOMPARE(readFile(saved), QByteArray("abc\tdef\r\n"));
        QCOMPARE(desktop.fileRequests.size(), 1);
        QVERIFY(desktop.fileRequests[0].startName.endsWith(u"/book.xls"_s));
        QCOMPARE(box()->text(), page);
        QCOMPARE(web->CurUrl(), page);

        // A place that cannot be written: the failure names the file.
        QFile blocker(dir.filePath(u"file"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString unwritable = dir.filePath(u"file/sub/book.xls"_s);
        desktop.files.push_back(unwritable);
        clickInView(centreOf(u"book"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.messages().isEmpty() && desktop.messages().last().startsWith(unwritable), 30000);
        QCOMPARE(desktop.opened.size(), 1);
    }

    // The page's menu: Japanese, without what the pane does not do.
    void pageMenuIsJapanese()
    {
        QVERIFY(showAndWait(server.url(u"/map"_s)));
        const QPoint at = centreOf(u"book"_s);
        QWidget *target = view()->focusProxy();
        QTest::mouseClick(target, Qt::RightButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QMenu *>(QApplication::activePopupWidget()), 15000);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QStringList texts;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            texts.append(action->text());
            QString letters = action->text();
            letters.remove(QRegularExpression(u"\\(&[A-Z]\\)|\\.\\.\\."_s));
            QVERIFY2(!letters.contains(QRegularExpression(u"[A-Za-z]"_s)), qPrintable(action->text()));
        }
        QVERIFY2(texts.contains(u"リンクのアドレスをコピー(&L)"_s), qPrintable(texts.join(u" | ")));
        QVERIFY2(!texts.join(u' ').contains(u"新しい"_s), qPrintable(texts.join(u" | ")));
        for (QAction *action : menu->actions())
            if (action->text() == u"リンクのアドレスをコピー(&L)")
                action->trigger();
        menu->close();
        QTRY_COMPARE(QApplication::clipboard()->text(), server.url(u"/book.xls"_s));
    }

    // Chromium's own pages speak Japanese too.
    void errorPagesAreJapanese()
    {
        QVERIFY(showAndWait(u"http://127.0.0.1:1/"_s));
        QString text;
        view()->page()->toPlainText([&text](const QString &t) { text = t.isEmpty() ? u" "_s : t; });
        QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 15000);
        QVERIFY2(text.contains(QRegularExpression(u"[\\x{3040}-\\x{30ff}]"_s)), qPrintable(text.left(200)));
    }

    // The toolbar from the keyboard: Tab reaches the buttons, Space presses
    // them, and Back and Forward say when there is nowhere to go.
    void toolbarFromTheKeyboard()
    {
        web->setHomePage(server.url(u"/home"_s));
        QVERIFY(!button(2)->isEnabled());
        QVERIFY(!button(3)->isEnabled());
        QVERIFY(showAndWait(server.url(u"/a"_s)));
        QVERIFY(showAndWait(server.url(u"/b"_s)));
        QTRY_VERIFY(button(2)->isEnabled());
        QVERIFY(!button(3)->isEnabled());
        box()->setFocus();
        QTest::keyClick(box(), Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/a"_s), 30000);
        QTRY_VERIFY(button(3)->isEnabled());
        QTest::keyClick(box(), Qt::Key_Right, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/b"_s), 30000);
        // Forward has nowhere to go: Tab passes it by.
        QVERIFY(!button(3)->isEnabled());
        button(2)->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(button(2)->hasFocus());
        QTest::keyClick(button(2), Qt::Key_Tab);
        QTRY_VERIFY2(button(4)->hasFocus(), QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
        QTest::keyClick(button(4), Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/home"_s), 30000);
    }

    void sameAddressInOtherCaseReloads()
    {
        QVERIFY(showAndWait(server.url(u"/Page"_s)));
        QCOMPARE(server.targets(), QList<QByteArray>{"/Page"});
        // A navigation would ask for /PAGE; the reload asks for /Page again.
        QVERIFY(showAndWait(u"HTTP://127.0.0.1:%1/PAGE"_s.arg(server.port())));
        QCOMPARE(server.targets(), (QList<QByteArray>{"/Page", "/Page"}));
        QCOMPARE(web->CurUrl(), server.url(u"/Page"_s));
        // Another address navigates.
        QVERIFY(showAndWait(server.url(u"/Other"_s)));
        QCOMPARE(server.targets().last(), QByteArray("/Other"));
    }

    void newWindowsAreRefused()
    {
        const QString page = server.url(u"/popup"_s);
        QVERIFY(showAndWait(page));
        QTRY_VERIFY(view()->focusProxy());
        const QWidgetList before = QApplication::topLevelWidgets();

        clickInView(centreOf(u"blank"_s));
        QTRY_COMPARE_WITH_TIMEOUT(view()->page()->title(), u"clicked"_s, 15000);
        clickInView(centreOf(u"open"_s));
        QTRY_COMPARE_WITH_TIMEOUT(view()->page()->title(), u"opened"_s, 15000);
        QTest::qWait(1000);
        QCOMPARE(server.count("/target"), 0);
        QCOMPARE(server.count("/opened"), 0);
        QCOMPARE(web->URL(), page);
        QCOMPARE(box()->text(), page);
        QCOMPARE(QApplication::topLevelWidgets().size(), before.size());

        // The same kind of click on an ordinary link does navigate.
        QSignalSpy done(web.get(), &uWeb::navigateCompleted);
        clickInView(centreOf(u"self"_s));
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/followed"_s), 30000);
    }

    void documentButtonFollowsTheAddress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("enabled");
        QTest::addRow(".XLS") << u"/BOOK.XLS"_s << true;
        QTest::addRow(".doc") << u"/letter.doc"_s << true;
        QTest::addRow(".xlsx") << u"/book.xlsx"_s << false;
        QTest::addRow(".html") << u"/page.html"_s << false;
    }
    void documentButtonFollowsTheAddress()
    {
        QFETCH(QString, path);
        QFETCH(bool, enabled);
        const QString address = server.url(path);
        QVERIFY(showAndWait(address));
        QCOMPARE(web->CurUrl(), address);
        QCOMPARE(button(9)->isEnabled(), enabled);
        QTest::mouseClick(button(9), Qt::LeftButton);
        web->RetCom(9);
        // A click on a disabled button does nothing; the command itself
        // opens only what the rule allows.
        QCOMPARE(desktop.opened, enabled ? (QList<QUrl>{QUrl(address), QUrl(address)}) : QList<QUrl>{});
    }

    void enterInTheBoxNavigatesWhateverTheModifiers_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::addRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier);
        QTest::addRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void enterInTheBoxNavigatesWhateverTheModifiers()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const QString address = server.url(u"/typed"_s);
        box()->setFocus();
        box()->clear();
        QTest::keyClicks(box(), address);
        QCOMPARE(server.count("/typed"), 0); // typing alone goes nowhere
        QTest::keyClick(box(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), address, 30000);
        QCOMPARE(server.count("/typed"), 1);
    }

    void setTextDoesNotNavigate()
    {
        web->SetText(server.url(u"/never"_s));
        QCOMPARE(box()->text(), server.url(u"/never"_s));
        QTest::qWait(300);
        QCOMPARE(server.count("/never"), 0);
        QCOMPARE(web->URL(), u"about:blank"_s);
    }

    void historyHomeAndSearchButtons()
    {
        web->setHomePage(server.url(u"/home"_s));
        web->setSearchPage(server.url(u"/search"_s));
        QVERIFY(showAndWait(server.url(u"/a"_s)));
        QVERIFY(showAndWait(server.url(u"/b"_s)));
        web->RetCom(2);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/a"_s), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(button(3)->isEnabled(), 30000); // the page's history has come through
        QTest::mouseClick(button(3), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/b"_s), 30000);
        QTest::mouseClick(button(4), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/home"_s), 30000);
        web->RetCom(5);
        QTRY_COMPARE_WITH_TIMEOUT(web->CurUrl(), server.url(u"/search"_s), 30000);
        // Indexes without a button run nothing.
        web->RetCom(0);
        web->RetCom(10);
        QTest::qWait(200);
        QCOMPARE(web->CurUrl(), server.url(u"/search"_s));
    }

    void saveWritesTheCompletePage()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(showAndWait(server.url(u"/saved"_s)));
        desktop.files.push_back(dir.filePath(u"copy"_s)); // no extension given
        web->RetCom(8);
        QCOMPARE(desktop.fileRequests.size(), 1);
        QCOMPARE(desktop.fileRequests[0].mode, Desktop::FileMode::Save);
        // The offered name comes from the page title, made fit for a file name.
        QVERIFY2(desktop.fileRequests[0].startName.endsWith(u"/Saved_ page_.html"_s),
                 qPrintable(desktop.fileRequests[0].startName));
        const QString saved = dir.filePath(u"copy.html"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(saved) && QFileInfo(saved).size() > 0, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(saved).contains("marker-7731"), 15000);

        // An existing file is replaced only when the person says so.
        QFile::remove(saved);
        QVERIFY(QFile(saved).open(QIODevice::WriteOnly));
        desktop.files.push_back(saved);
        desktop.answers.push_back(Desktop::Answer::No);
        web->RetCom(8);
        QVERIFY(desktop.messages().last().startsWith(saved));
        QTest::qWait(1000);
        QCOMPARE(QFileInfo(saved).size(), 0);

        // Cancelling the dialog saves nothing.
        web->RetCom(8);
        QCOMPARE(desktop.fileRequests.size(), 3);
    }

    void printAndPageSetupShowTheirDialogs_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("dialogClass");
        QTest::addRow("6 print") << 6 << u"QPrintDialog"_s;
        QTest::addRow("7 page setup") << 7 << u"QPageSetupDialog"_s;
    }
    void printAndPageSetupShowTheirDialogs()
    {
        QFETCH(int, index);
        QFETCH(QString, dialogClass);
        QVERIFY(showAndWait(server.url(u"/print"_s)));
        QString shown;
        QTimer::singleShot(300, this, [&shown] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                // The Unix dialogs carry their own private class names.
                for (const QMetaObject *m = modal->metaObject(); m; m = m->superClass())
                    if (shown.isEmpty() && (QString::fromLatin1(m->className()) == u"QPrintDialog"_s
                                            || QString::fromLatin1(m->className()) == u"QPageSetupDialog"_s))
                        shown = QString::fromLatin1(m->className());
                static_cast<QDialog *>(modal)->reject();
            }
        });
        web->RetCom(index);
        QCOMPARE(shown, dialogClass);
        QCOMPARE(web->CurUrl(), server.url(u"/print"_s));
    }
};

KOTOVEN_WIDGET_TEST_MAIN(uWebTest)
#include "uWebTest.moc"
