#include "PageMenu.h"

#include <QAction>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>

#include <array>
#include <iterator>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

using Action = QWebEnginePage::WebAction;

// Every action the page can put in its menu.
const std::pair<Action, const char16_t *> Texts[] = {
    {QWebEnginePage::Back, u"戻る(&B)"},
    {QWebEnginePage::Forward, u"進む(&F)"},
    {QWebEnginePage::Stop, u"中止(&S)"},
    {QWebEnginePage::Reload, u"再読み込み(&R)"},
    {QWebEnginePage::Cut, u"切り取り(&T)"},
    {QWebEnginePage::Copy, u"コピー(&C)"},
    {QWebEnginePage::Paste, u"貼り付け(&P)"},
    {QWebEnginePage::Undo, u"元に戻す(&U)"},
    {QWebEnginePage::Redo, u"やり直し(&R)"},
    {QWebEnginePage::SelectAll, u"すべて選択(&A)"},
    {QWebEnginePage::ReloadAndBypassCache, u"キャッシュを使わずに再読み込み"},
    {QWebEnginePage::PasteAndMatchStyle, u"書式なしで貼り付け"},
    {QWebEnginePage::OpenLinkInThisWindow, u"リンクを開く(&O)"},
    {QWebEnginePage::OpenLinkInNewWindow, u"リンクを新しいウィンドウで開く"},
    {QWebEnginePage::OpenLinkInNewTab, u"リンクを新しいタブで開く"},
    {QWebEnginePage::CopyLinkToClipboard, u"リンクのアドレスをコピー(&L)"},
    {QWebEnginePage::DownloadLinkToDisk, u"リンク先を保存(&K)..."},
    {QWebEnginePage::CopyImageToClipboard, u"画像をコピー(&Y)"},
    {QWebEnginePage::CopyImageUrlToClipboard, u"画像のアドレスをコピー"},
    {QWebEnginePage::DownloadImageToDisk, u"画像を保存(&V)..."},
    {QWebEnginePage::CopyMediaUrlToClipboard, u"メディアのアドレスをコピー"},
    {QWebEnginePage::ToggleMediaControls, u"コントロールを表示"},
    {QWebEnginePage::ToggleMediaLoop, u"繰り返し再生"},
    {QWebEnginePage::ToggleMediaPlayPause, u"再生/一時停止"},
    {QWebEnginePage::ToggleMediaMute, u"消音"},
    {QWebEnginePage::DownloadMediaToDisk, u"メディアを保存..."},
    {QWebEnginePage::InspectElement, u"要素を調査"},
    {QWebEnginePage::ExitFullScreen, u"全画面表示を終了"},
    {QWebEnginePage::RequestClose, u"閉じる"},
    {QWebEnginePage::Unselect, u"選択を解除"},
    {QWebEnginePage::SavePage, u"ページを保存(&A)..."},
    {QWebEnginePage::OpenLinkInNewBackgroundTab, u"リンクを新しいタブで開く"},
    {QWebEnginePage::ViewSource, u"ページのソースを表示"},
    {QWebEnginePage::ToggleBold, u"太字"},
    {QWebEnginePage::ToggleItalic, u"斜体"},
    {QWebEnginePage::ToggleUnderline, u"下線"},
    {QWebEnginePage::ToggleStrikethrough, u"取り消し線"},
    {QWebEnginePage::AlignLeft, u"左揃え"},
    {QWebEnginePage::AlignCenter, u"中央揃え"},
    {QWebEnginePage::AlignRight, u"右揃え"},
    {QWebEnginePage::AlignJustified, u"両端揃え"},
    {QWebEnginePage::Indent, u"インデントを増やす"},
    {QWebEnginePage::Outdent, u"インデントを減らす"},
    {QWebEnginePage::InsertOrderedList, u"番号付きリスト"},
    {QWebEnginePage::InsertUnorderedList, u"箇条書き"},
};
static_assert(std::size(Texts) == QWebEnginePage::WebActionCount, "every action of the page has its text");

// Refused by the pane (it opens no windows) or not offered.
constexpr std::array<Action, 5> Left{QWebEnginePage::OpenLinkInNewWindow, QWebEnginePage::OpenLinkInNewTab,
                                     QWebEnginePage::OpenLinkInNewBackgroundTab, QWebEnginePage::ViewSource,
                                     QWebEnginePage::InspectElement};

} // namespace

void setJapaneseActionTexts(QWebEnginePage *page)
{
    for (const auto &[action, text] : Texts)
        page->action(action)->setText(QString::fromUtf16(text));
}

void tidyPageMenu(QMenu *menu, QWebEnginePage *page, const QWebEngineContextMenuRequest *request)
{
    setJapaneseActionTexts(page);
    for (const Action action : Left)
        menu->removeAction(page->action(action));

    // The media toggles say what they will do.
    if (request) {
        const auto flags = request->mediaFlags();
        page->action(QWebEnginePage::ToggleMediaPlayPause)
            ->setText(flags.testFlag(QWebEngineContextMenuRequest::MediaPaused) ? u"再生"_s : u"一時停止"_s);
        page->action(QWebEnginePage::ToggleMediaMute)
            ->setText(flags.testFlag(QWebEngineContextMenuRequest::MediaMuted) ? u"消音を解除"_s : u"消音"_s);
    }

    // No separator at either end or next to another.
    const QList<QAction *> actions = menu->actions();
    QAction *previous = nullptr;
    for (QAction *action : actions) {
        if (action->isSeparator() && (!previous || previous->isSeparator()))
            menu->removeAction(action);
        else
            previous = action;
    }
    if (previous && previous->isSeparator())
        menu->removeAction(previous);
}
