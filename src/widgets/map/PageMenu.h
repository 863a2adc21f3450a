#pragma once

class QMenu;
class QWebEngineContextMenuRequest;
class QWebEnginePage;

// The page's own actions in Japanese: Qt WebEngine ships no Japanese
// translation, so the pane gives every action of the page its text.
void setJapaneseActionTexts(QWebEnginePage *page);

// The page's right-click menu as the pane offers it: Japanese texts, and
// without what the pane refuses (new tabs and windows) or does not offer
// (page source, the inspector).
void tidyPageMenu(QMenu *menu, QWebEnginePage *page, const QWebEngineContextMenuRequest *request);
