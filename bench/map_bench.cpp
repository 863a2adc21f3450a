// Map search figures: the keyword encoder on the longest keyword a 16-bit
// position could count, the time from setting the pane's address to the
// completed local page, and what the browser pane adds to start-up.
#include "support/LocalHttpServer.h"

#include "app/fmMain.h"
#include "support/ScriptedDesktop.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "core/map/MapSearch.h"
#include "widgets/map/uWeb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void benchEncoder()
{
    // 32,766 code units: kanji, kana, ASCII and spaces, as addresses mix them.
    const QString piece = u"東京都千代田区丸の内1-9-1 ｱｲｳ Tower "_s;
    QString keyword;
    while (keyword.size() < 32766)
        keyword += piece;
    keyword.truncate(32766);
    QString encoded;
    EncodeKeyword(keyword, encoded); // warm
    constexpr int Rounds = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Rounds; ++i)
        EncodeKeyword(keyword, encoded);
    print("encode_keyword_32766_units", double(timer.nsecsElapsed()) / 1e3 / Rounds, "us");
    print("encode_keyword_output_length", double(encoded.size()), "chars");
}

// The window as it stands without the pane: grid, splitter, menus, status bar.
double showWindowWithoutPane()
{
    QElapsedTimer timer;
    timer.start();
    QMainWindow window;
    auto *splitter = new QSplitter(Qt::Vertical, &window);
    splitter->addWidget(new vAdd(splitter));
    splitter->addWidget(new QWidget(splitter));
    window.setCentralWidget(splitter);
    window.setStatusBar(new QStatusBar(&window));
    for (const QString &caption : {u"ﾌｧｲﾙ(&F)"_s, u"編集(&E)"_s, u"住所検索(&A)"_s, u"地図検索(&M)"_s})
        window.menuBar()->addMenu(caption)->addAction(caption);
    window.resize(945, 700);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return -1;
    return msSince(timer);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(u"QuorvaleTools"_s);
    QApplication::setApplicationName(u"kotoven-bench"_s);
    ScriptedDesktop desktop; // answers nothing, opens nothing

    benchEncoder();

    // Widgets and fonts warm up first, so neither window pays for them.
    {
        QWidget warm;
        warm.show();
        (void)QTest::qWaitForWindowExposed(&warm);
    }
    const double without = showWindowWithoutPane();
    print("window_shown_without_pane", without, "ms");

    QElapsedTimer timer;
    timer.start();
    fmMainServices services;
    services.desktop = &desktop;
    auto window = std::make_unique<fmMain>(std::move(services));
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    const double with = msSince(timer);
    print("window_shown_with_pane", with, "ms");
    print("browser_pane_adds_to_start", with - without, "ms");

    LocalHttpServer server;
    server.setPage("/map", {"<html><head><title>map</title></head><body><div style='width:400px;height:300px;"
                            "background:#cde'>local map page</div></body></html>"});
    uWeb *web = window->web();
    if (!QTest::qWaitFor([web] { return web->URL() == u"about:blank"; }, 10000))
        return 1;
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        const QString address = server.url(u"/map?n=%1"_s.arg(i));
        QSignalSpy done(web, &uWeb::navigateCompleted);
        QElapsedTimer load;
        load.start();
        web->setURL(address);
        while (web->CurUrl() != address && load.elapsed() < 10000)
            done.wait(10000);
        times.push_back(msSince(load));
    }
    print("url_to_completed_local_page_first", times.front(), "ms");
    std::vector<double> warm(times.begin() + 1, times.end());
    std::sort(warm.begin(), warm.end());
    double sum = 0;
    for (double t : warm)
        sum += t;
    print("url_to_completed_local_page_mean", sum / double(warm.size()), "ms");
    print("url_to_completed_local_page_median", warm[warm.size() / 2], "ms");
    print("url_to_completed_local_page_max", warm.back(), "ms");

    window->close();
    return 0;
}
