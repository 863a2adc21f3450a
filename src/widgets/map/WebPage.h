#pragma once

#include <QWebEnginePage>

// The browser pane's page: reports every navigation that starts (the page's
// own and its frames') and refuses every new window.
class WebPage final : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit WebPage(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(WebPage)

Q_SIGNALS:
    // A navigation of the page or of one of its frames is about to start.
    void navigationStarting(const QString &target, bool mainFrame);
    // A page asked for a new window and got none.
    void newWindowRefused();

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
};
