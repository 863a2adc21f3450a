#pragma once

#include "core/map/BrowserRules.h"

#include <QWidget>

#include <array>
#include <memory>

class Desktop;
class PageDownloads;
class QLineEdit;
class QPrinter;
class QToolButton;
class QWebEngineView;
class WebPage;

// The browser pane: eight toolbar buttons, the address box and the web view.
// The rest of the program sees only this facade, never the web view.
class uWeb final : public QWidget
{
    Q_OBJECT
public:
    // `desktop` takes the save dialog and hands documents to the desktop.
    explicit uWeb(Desktop &desktop, QWidget *parent = nullptr);
    ~uWeb() override;
    Q_DISABLE_COPY_MOVE(uWeb)

    // Shows an address: reloads when it is the page shown (any letter case),
    // the blank page for the empty text, otherwise navigates.
    void setURL(const QString &url);
    // The address of the page in the view.
    QString URL() const;
    void Refresh();
    // Puts text into the address box without navigating.
    void SetText(const QString &text);
    // Runs toolbar command `index` (2..9) as a click on its button would.
    void RetCom(int index);

    // The address of the page last reached; empty for the blank page.
    QString CurUrl() const { return m_follower.curUrl(); }

    // The pane lays out its children only while the window it lives in is
    // ready (loaded and not yet shut down).
    void setWindowReady(bool ready);

    // Chromium's own pages (errors) in Japanese whatever the system locale:
    // call before the first pane is made.
    static void useJapanesePages();

    // The pages of the home and search buttons.
    void setHomePage(const QString &address) { m_homePage = address; }
    void setSearchPage(const QString &address) { m_searchPage = address; }

Q_SIGNALS:
    // A navigation of the page completed; CurUrl is updated.
    void navigateCompleted(const QString &curUrl);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void UserControl_Resize();
    void ssCom_Click(int index);
    void WebBrw_BeforeNavigate(const QString &target, bool mainFrame);
    void WebBrw_NewWindow();
    void WebBrw_NavigateComplete(const QString &address);

    void Navigate(const QString &address);
    // The box shows the start of what it is given.
    void showInBox(const std::optional<QString> &text);
    void followCurUrl();
    void showPageMenu(const QPoint &pos);
    void printPage();
    void pageSetup();
    void openDocument();
    QPrinter *printer();

    Desktop &m_desktop;
    bool m_windowReady = false;
    QLineEdit *txURL;
    QWebEngineView *WebBrw;
    WebPage *m_page;
    PageDownloads *m_downloads;
    std::array<QToolButton *, 8> ssCom{}; // buttons 2..9 at [index - 2]
    BrowserRules::AddressFollower m_follower;
    QString m_homePage;
    QString m_searchPage;
    std::unique_ptr<QPrinter> m_printer; // kept: page setup and print share it
    bool m_printing = false;
};
