#include "PageDownloads.h"

#include "core/env/Desktop.h"
#include "core/map/BrowserRules.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

using namespace Qt::StringLiterals;

namespace {

QString firstExisting(std::initializer_list<QStandardPaths::StandardLocation> locations)
{
    for (const auto location : locations) {
        QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

QString reasonText(QWebEngineDownloadRequest *download)
{
    using R = QWebEngineDownloadRequest;
    switch (download->interruptReason()) {
    case R::FileAccessDenied: return u"書き込みが許可されていません"_s;
    case R::FileNoSpace: return u"ディスクの空きが足りません"_s;
    case R::FileNameTooLong: return u"ファイル名が長すぎます"_s;
    case R::FileTooLarge: return u"ファイルが大きすぎます"_s;
    case R::FileFailed:
    case R::FileTransientError: return u"ファイルに書き込めません"_s;
    case R::NetworkFailed:
    case R::NetworkDisconnected: return u"通信が途切れました"_s;
    case R::NetworkTimeout: return u"通信が時間切れになりました"_s;
    case R::NetworkServerDown:
    case R::ServerUnreachable: return u"サーバーに接続できません"_s;
    case R::ServerUnauthorized:
    case R::ServerForbidden: return u"サーバーが許可しませんでした"_s;
    case R::ServerBadContent:
    case R::ServerFailed:
    case R::ServerCertProblem: return u"サーバーからのデータが正しくありません"_s;
    default: return download->interruptReasonString();
    }
}

QString pathOf(const QWebEngineDownloadRequest *download)
{
    return QDir(download->downloadDirectory()).filePath(download->downloadFileName());
}

} // namespace

PageDownloads::PageDownloads(Desktop &desktop, QWebEnginePage &page, QObject *parent)
    : QObject(parent), m_desktop(desktop), m_page(page)
{
    connect(page.profile(), &QWebEngineProfile::downloadRequested, this, &PageDownloads::onRequested);
}

QString PageDownloads::askPath(const QString &title, const QString &folder, const QString &name, const QString &filter,
                               const QString &suffix)
{
    Desktop::FileRequest request;
    request.mode = Desktop::FileMode::Save;
    request.title = title;
    request.folder = folder;
    request.startName = QDir(folder).filePath(name);
    request.filter = filter;
    QString path = m_desktop.chooseFile(request);
    if (path.isEmpty())
        return {};
    QFileInfo info(path);
    if (info.suffix().isEmpty() && !suffix.isEmpty()) {
        path += u'.' + suffix;
        info.setFile(path);
    }
    if (info.exists()
        && m_desktop.ask(path + u" は既に存在します\r上書きしますか?"_s, Desktop::Buttons::YesNo) != Desktop::Answer::Yes)
        return {};
    return info.absoluteFilePath();
}

QString PageDownloads::askPagePath()
{
    if (m_pageFolder.isEmpty())
        m_pageFolder = firstExisting({QStandardPaths::DocumentsLocation});
    QString path = askPath(u"名前を付けて保存"_s, m_pageFolder, BrowserRules::pageFileName(m_page.title()),
                           u"Webﾍﾟ-ｼﾞ 完全 (*.html *.htm)"_s, u"html"_s);
    if (!path.isEmpty())
        m_pageFolder = QFileInfo(path).absolutePath();
    return path;
}

void PageDownloads::savePage()
{
    const QString path = askPagePath();
    if (path.isEmpty())
        return;
    // Arrives below as a page save that is already under way.
    m_page.save(path, QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
}

void PageDownloads::onRequested(QWebEngineDownloadRequest *download)
{
    if (download->page() != &m_page)
        return;
    Q_EMIT requested();
    if (download->state() != QWebEngineDownloadRequest::DownloadRequested) {
        // Asked for already (the save button).
        watch(download, false);
        return;
    }
    QString path;
    if (download->isSavePageDownload()) {
        // The page menu's save: the same question as the save button.
        path = askPagePath();
        download->setSavePageFormat(QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
    } else {
        if (m_downloadFolder.isEmpty())
            m_downloadFolder = firstExisting({QStandardPaths::DownloadLocation, QStandardPaths::DocumentsLocation});
        const QString name = download->downloadFileName();
        const QString suffix = QFileInfo(name).suffix();
        const QString filter = suffix.isEmpty() ? u"すべてのﾌｧｲﾙ (*)"_s
                                                : u"%1 ﾌｧｲﾙ (*.%2);;すべてのﾌｧｲﾙ (*)"_s.arg(suffix.toUpper(), suffix);
        path = askPath(u"名前を付けて保存"_s, m_downloadFolder, name, filter, suffix);
        if (!path.isEmpty())
            m_downloadFolder = QFileInfo(path).absolutePath();
    }
    if (path.isEmpty()) {
        download->cancel();
        download->deleteLater();
        return;
    }
    const QFileInfo info(path);
    // Qt would drop a download whose folder it cannot make without a word.
    if (!QDir().mkpath(info.absolutePath())) {
        m_desktop.message(path + u" を保存できませんでした\r"_s + info.absolutePath() + u" を作成できません"_s);
        download->cancel();
        download->deleteLater();
        return;
    }
    download->setDownloadDirectory(info.absolutePath());
    download->setDownloadFileName(info.fileName());
    watch(download, !download->isSavePageDownload());
    download->accept();
}

void PageDownloads::watch(QWebEngineDownloadRequest *download, bool offerToOpen)
{
    if (download->isFinished()) {
        finished(download, offerToOpen);
        return;
    }
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download, offerToOpen] {
        if (download->isFinished())
            finished(download, offerToOpen);
    });
}

void PageDownloads::finished(QWebEngineDownloadRequest *download, bool offerToOpen)
{
    download->disconnect(this);
    const QString path = pathOf(download);
    switch (download->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        if (offerToOpen
            && m_desktop.ask(path + u"\rダウンロードが終わりました。開きますか?"_s, Desktop::Buttons::YesNo)
                   == Desktop::Answer::Yes)
            m_desktop.openUrl(QUrl::fromLocalFile(path));
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        m_desktop.message(path + u" を保存できませんでした\r"_s + reasonText(download));
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        // Only an accepted download is watched, and the person has no way
        // to cancel one: Qt gave it up.
        m_desktop.message(path + u" を保存できませんでした\r保存が中止されました"_s);
        break;
    default:
        break;
    }
    download->deleteLater();
}
