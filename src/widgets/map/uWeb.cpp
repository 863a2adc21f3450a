#include "uWeb.h"

#include "core/env/Desktop.h"
#include "core/env/Twips.h"
#include "core/map/BrowserRules.h"
#include "widgets/map/PageDownloads.h"
#include "widgets/map/PageMenu.h"
#include "widgets/map/WebPage.h"
#include "widgets/map/uWebIcons.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

const char16_t *const Tooltips[] = {
    u"前のﾍﾟ-ｼﾞに移動",       u"次のﾍﾟ-ｼﾞに移動",     u"ﾎ-ﾑﾍﾟ-ｼﾞに移動します", u"検索ﾍﾟ-ｼﾞに移動します",
    u"現在のﾍﾟ-ｼﾞを印刷",     u"ﾍﾟ-ｼﾞ設定",           u"現在のﾍﾟ-ｼﾞを保存します", u"ﾂ-ﾙﾊﾞ-を表示します",
};

} // namespace

void uWeb::useJapanesePages()
{
    // Chromium takes its language from this switch before the locale.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--lang="))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray(flags + " --lang=ja").trimmed());
}

uWeb::uWeb(Desktop &desktop, QWidget *parent)
    : QWidget(parent), m_desktop(desktop), txURL(new QLineEdit(this)), WebBrw(new QWebEngineView(this)),
      m_page(new WebPage(WebBrw)), m_downloads(new PageDownloads(desktop, *m_page, this))
{
    setObjectName(u"uWeb"_s);
    txURL->setObjectName(u"txURL"_s);
    // A thin line instead of the style's frame keeps the box close to its
    // designed height; it still grows to what its font needs.
    txURL->setStyleSheet(u"QLineEdit { border: 1px solid palette(mid); padding: 0px 2px; }"_s);
    txURL->installEventFilter(this);
    WebBrw->setObjectName(u"WebBrw"_s);
    WebBrw->setPage(m_page);
    m_page->profile()->setHttpAcceptLanguage(u"ja,en;q=0.7"_s);
    setJapaneseActionTexts(m_page);
    WebBrw->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(WebBrw, &QWidget::customContextMenuRequested, this, &uWeb::showPageMenu);

    for (int index = 2; index <= 9; ++index) {
        auto *button = new QToolButton(this);
        button->setObjectName(u"ssCom_%1"_s.arg(index));
        button->setToolTip(QString::fromUtf16(Tooltips[index - 2]));
        button->setIcon(uWebIcon(index));
        button->setAutoRaise(true);
        // Reached with Tab and pressed with Space; a click leaves the focus.
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QToolButton::clicked, this, [this, index] { ssCom_Click(index); });
        ssCom[size_t(index - 2)] = button;
    }
    for (size_t i = 0; i + 1 < ssCom.size(); ++i)
        setTabOrder(ssCom[i], ssCom[i + 1]);
    setTabOrder(ssCom.back(), txURL);
    setTabOrder(txURL, WebBrw);
    // Until a completed navigation says otherwise there is no document to
    // open, and there is no history to go back or forward in.
    ssCom[7]->setEnabled(false);
    for (const QWebEnginePage::WebAction which : {QWebEnginePage::Back, QWebEnginePage::Forward}) {
        QToolButton *button = ssCom[which == QWebEnginePage::Back ? 0 : 1];
        QAction *action = m_page->action(which);
        button->setEnabled(action->isEnabled());
        connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
        // Alt+Left and Alt+Right while the pane or its box has the focus.
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | (which == QWebEnginePage::Back ? Qt::Key_Left : Qt::Key_Right)), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, button, &QToolButton::click);
    }

    connect(m_page, &WebPage::navigationStarting, this, &uWeb::WebBrw_BeforeNavigate);
    connect(m_page, &WebPage::newWindowRefused, this, &uWeb::WebBrw_NewWindow);
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            m_follower.loadStarted();
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
        case QWebEngineLoadingInfo::LoadFailedStatus: // the error page is shown at its address
            WebBrw_NavigateComplete(m_page->url().toString(QUrl::FullyEncoded));
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            showInBox(m_follower.loadStopped(info.url().toString(QUrl::FullyEncoded)));
            break;
        }
    });
    // Changes that load nothing: anchors, history.pushState.
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        if (const auto shown = m_follower.urlChanged(url.toString(QUrl::FullyEncoded))) {
            showInBox(shown);
            followCurUrl();
        }
    });
    connect(m_downloads, &PageDownloads::requested, this, [this] { showInBox(m_follower.downloadStarted()); });
    // A page's own print request is the print button.
    connect(WebBrw, &QWebEngineView::printRequested, this, [this] { ssCom_Click(6); });
    connect(WebBrw, &QWebEngineView::printFinished, this, [this](bool) { m_printing = false; });

    // UserControl_Initialize
    Navigate(QString::fromUtf16(BrowserRules::BlankPage));
}

// The page is a child of the view and goes with it.
uWeb::~uWeb() = default;

void uWeb::Navigate(const QString &address)
{
    WebBrw->load(QUrl::fromUserInput(address));
}

void uWeb::setURL(const QString &url)
{
    WebBrw->setVisible(true);
    switch (BrowserRules::urlAction(CurUrl(), url)) {
    case BrowserRules::UrlAction::Reload:
        WebBrw->reload();
        return;
    case BrowserRules::UrlAction::NavigateBlank:
        Navigate(QString::fromUtf16(BrowserRules::BlankPage));
        return;
    case BrowserRules::UrlAction::Navigate:
        Navigate(url);
        QCoreApplication::processEvents();
        return;
    }
}

QString uWeb::URL() const
{
    return WebBrw->url().toString(QUrl::FullyEncoded);
}

void uWeb::Refresh()
{
    WebBrw->reload();
}

void uWeb::SetText(const QString &text)
{
    showInBox(text);
}

void uWeb::showInBox(const std::optional<QString> &text)
{
    if (!text)
        return;
    txURL->setText(*text);
    txURL->setCursorPosition(0);
}

void uWeb::followCurUrl()
{
    ssCom[7]->setEnabled(BrowserRules::documentButtonEnabled(CurUrl()));
}

void uWeb::RetCom(int index)
{
    ssCom_Click(index);
}

// ---- browser notifications ------------------------------------------------

void uWeb::WebBrw_BeforeNavigate(const QString &target, bool mainFrame)
{
    // A frame's navigation has no end the view reports: it leaves the box.
    showInBox(m_follower.navigationRequested(target, mainFrame));
}

void uWeb::WebBrw_NewWindow()
{
    // Nothing more to do: the page has already been refused its window.
}

void uWeb::WebBrw_NavigateComplete(const QString &address)
{
    QCoreApplication::processEvents();
    showInBox(m_follower.loadCompleted(address));
    followCurUrl();
    Q_EMIT navigateCompleted(CurUrl());
}

// ---- address box ----------------------------------------------------------

void uWeb::showPageMenu(const QPoint &pos)
{
    QMenu *menu = WebBrw->createStandardContextMenu();
    tidyPageMenu(menu, m_page, WebBrw->lastContextMenuRequest());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(WebBrw->mapToGlobal(pos));
}

bool uWeb::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txURL && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // Enter navigates whatever the modifiers; an empty box goes nowhere.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !txURL->text().trimmed().isEmpty())
            Navigate(txURL->text().trimmed());
    }
    return QWidget::eventFilter(watched, event);
}

// ---- toolbar --------------------------------------------------------------

void uWeb::ssCom_Click(int index)
{
    switch (index) {
    case 2: WebBrw->back(); break;
    case 3: WebBrw->forward(); break;
    case 4:
        if (!m_homePage.isEmpty())
            Navigate(m_homePage);
        break;
    case 5:
        if (!m_searchPage.isEmpty())
            Navigate(m_searchPage);
        break;
    case 6: printPage(); break;
    case 7: pageSetup(); break;
    case 8: m_downloads->savePage(); break;
    case 9: openDocument(); break;
    default: break;
    }
    QCoreApplication::processEvents();
}

QPrinter *uWeb::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

void uWeb::printPage()
{
    // The view prints in the background; one job at a time.
    if (m_printing)
        return;
    QPrintDialog dialog(printer(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printing = true;
    WebBrw->print(printer());
}

void uWeb::pageSetup()
{
    QPageSetupDialog dialog(printer(), this);
    dialog.exec();
}

void uWeb::openDocument()
{
    // The shown office document opens in the desktop's own application.
    if (!BrowserRules::documentButtonEnabled(CurUrl()))
        return;
    m_desktop.openUrl(QUrl(CurUrl()));
}

// ---- layout ---------------------------------------------------------------

void uWeb::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void uWeb::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The box's height follows its font.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        UserControl_Resize();
}

void uWeb::setWindowReady(bool ready)
{
    m_windowReady = ready; // takes effect at the next resize
}

void uWeb::UserControl_Resize()
{
    if (!m_windowReady)
        return;
    const double tpp = Twips::perPixel(logicalDpiX());
    const BrowserRules::Layout layout =
        BrowserRules::layoutTwips(BrowserRules::pixelsToTwips(width(), tpp), BrowserRules::pixelsToTwips(height(), tpp),
                                  BrowserRules::pixelsToTwipsAtLeast(txURL->sizeHint().height(), tpp));
    for (size_t i = 0; i < ssCom.size(); ++i)
        ssCom[i]->setGeometry(BrowserRules::twipsToPixels(layout.buttons[i], tpp));
    if (layout.box)
        txURL->setGeometry(BrowserRules::twipsToPixels(*layout.box, tpp));
    WebBrw->setGeometry(BrowserRules::twipsToPixels(layout.view, tpp));
}
