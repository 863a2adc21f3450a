#include "uWeb.h"

#include "core/env/Desktop.h"
#include "core/env/Twips.h"
#include "core/map/BrowserRules.h"
#include "widgets/map/WebPage.h"
#include "widgets/map/uWebIcons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

const char16_t *const Tooltips[] = {
    u"前のﾍﾟ-ｼﾞに移動",       u"次のﾍﾟ-ｼﾞに移動",     u"ﾎ-ﾑﾍﾟ-ｼﾞに移動します", u"検索ﾍﾟ-ｼﾞに移動します",
    u"現在のﾍﾟ-ｼﾞを印刷",     u"ﾍﾟ-ｼﾞ設定",           u"現在のﾍﾟ-ｼﾞを保存します", u"ﾂ-ﾙﾊﾞ-を表示します",
};

// A page title made fit to be a file name.
QString fileNameFor(const QString &title)
{
    QString name = title.simplified();
    static const QString forbidden = u"/\\:*?\"<>|"_s;
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.unicode() < 32)
            c = u'_';
    }
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(u"page"_s);
    return name.left(120) + u".html"_s;
}

} // namespace

uWeb::uWeb(Desktop &desktop, QWidget *parent)
    : QWidget(parent), m_desktop(desktop), txURL(new QLineEdit(this)), WebBrw(new QWebEngineView(this)), m_page(new WebPage(WebBrw))
{
    setObjectName(u"uWeb"_s);
    txURL->setObjectName(u"txURL"_s);
    // The box is only 220 twips high: a thin line instead of the style's
    // frame, so the text is not cut off.
    txURL->setStyleSheet(u"QLineEdit { border: 1px solid palette(mid); padding: 0px 2px; }"_s);
    txURL->installEventFilter(this);
    WebBrw->setObjectName(u"WebBrw"_s);
    WebBrw->setPage(m_page);

    for (int index = 2; index <= 9; ++index) {
        auto *button = new QToolButton(this);
        button->setObjectName(u"ssCom_%1"_s.arg(index));
        button->setToolTip(QString::fromUtf16(Tooltips[index - 2]));
        button->setIcon(uWebIcon(index));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, index] { ssCom_Click(index); });
        ssCom[size_t(index - 2)] = button;
    }
    // Until a completed navigation says otherwise there is no document to open.
    ssCom[7]->setEnabled(false);

    connect(m_page, &WebPage::navigationStarting, this, &uWeb::WebBrw_BeforeNavigate);
    connect(m_page, &WebPage::newWindowRefused, this, &uWeb::WebBrw_NewWindow);
    connect(m_page, &QWebEnginePage::loadFinished, this,
            [this](bool) { WebBrw_NavigateComplete(m_page->url().toString(QUrl::FullyEncoded)); });
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
    switch (BrowserRules::urlAction(m_curUrl, url)) {
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
    txURL->setText(text);
}

void uWeb::RetCom(int index)
{
    ssCom_Click(index);
}

// ---- browser notifications ------------------------------------------------

void uWeb::WebBrw_BeforeNavigate(const QString &target)
{
    txURL->setText(BrowserRules::lookingText(target));
}

void uWeb::WebBrw_NewWindow()
{
    // Nothing more to do: the page has already been refused its window.
}

void uWeb::WebBrw_NavigateComplete(const QString &address)
{
    QCoreApplication::processEvents();
    m_curUrl = BrowserRules::completedAddress(address);
    txURL->setText(m_curUrl);
    ssCom[7]->setEnabled(BrowserRules::documentButtonEnabled(m_curUrl));
    Q_EMIT navigateCompleted(m_curUrl);
}

// ---- address box ----------------------------------------------------------

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
    case 8: savePage(); break;
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

void uWeb::savePage()
{
    Desktop *desktop = &m_desktop;
    if (m_saveFolder.isEmpty())
        m_saveFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    Desktop::FileRequest request;
    request.mode = Desktop::FileMode::Save;
    request.title = u"名前を付けて保存"_s;
    request.folder = m_saveFolder;
    request.startName = QDir(m_saveFolder).filePath(fileNameFor(m_page->title()));
    request.filter = u"Webﾍﾟ-ｼﾞ 完全 (*.html *.htm)"_s;
    QString path = desktop->chooseFile(request);
    if (path.isEmpty())
        return;
    QFileInfo info(path);
    if (info.suffix().isEmpty()) {
        path += u".html"_s;
        info.setFile(path);
    }
    if (info.exists()
        && desktop->ask(path + u" は既に存在します\r上書きしますか?"_s, Desktop::Buttons::YesNo) != Desktop::Answer::Yes)
        return;
    m_saveFolder = info.absolutePath();
    m_page->save(path, QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
}

void uWeb::openDocument()
{
    // The shown office document opens in the desktop's own application.
    if (!BrowserRules::documentButtonEnabled(m_curUrl))
        return;
    m_desktop.openUrl(QUrl(m_curUrl));
}

// ---- layout ---------------------------------------------------------------

void uWeb::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
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
    const BrowserRules::Layout layout = BrowserRules::layoutTwips(BrowserRules::pixelsToTwips(width(), tpp),
                                                                  BrowserRules::pixelsToTwips(height(), tpp));
    for (size_t i = 0; i < ssCom.size(); ++i)
        ssCom[i]->setGeometry(BrowserRules::twipsToPixels(layout.buttons[i], tpp));
    if (layout.box)
        txURL->setGeometry(BrowserRules::twipsToPixels(*layout.box, tpp));
    WebBrw->setGeometry(BrowserRules::twipsToPixels(layout.view, tpp));
}
