#include "WebPage.h"

#include <QCoreApplication>

WebPage::WebPage(QObject *parent) : QWebEnginePage(parent) {}

bool WebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame)
{
    Q_EMIT navigationStarting(url.toString(QUrl::FullyEncoded), isMainFrame);
    return true;
}

QWebEnginePage *WebPage::createWindow(WebWindowType)
{
    QCoreApplication::processEvents();
    Q_EMIT newWindowRefused();
    // No page: the new window and its navigation are dropped.
    return nullptr;
}
