#pragma once

#include <QObject>
#include <QString>

class Desktop;
class QWebEngineDownloadRequest;
class QWebEnginePage;

// What the page hands over as a file: a link to a document, a saved image,
// the page itself. Each asks where to save through the program's save dialog
// (once: a page save that was already asked for is not asked again), saves
// through the download API, reports a failure naming the file and the
// reason, and when a document is done offers to open it with the desktop's
// program.
class PageDownloads final : public QObject
{
    Q_OBJECT
public:
    PageDownloads(Desktop &desktop, QWebEnginePage &page, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(PageDownloads)

    // Asks where, then saves the page shown as a complete web page.
    void savePage();

Q_SIGNALS:
    // A download of this page was asked for (whatever the person answers).
    void requested();

private:
    void onRequested(QWebEngineDownloadRequest *download);
    QString askPagePath();
    // The path the person chose, or empty; asks before replacing a file.
    QString askPath(const QString &title, const QString &folder, const QString &name, const QString &filter,
                    const QString &suffix);
    void watch(QWebEngineDownloadRequest *download, bool offerToOpen);
    void finished(QWebEngineDownloadRequest *download, bool offerToOpen);

    Desktop &m_desktop;
    QWebEnginePage &m_page;
    QString m_pageFolder;     // last folder of a page save
    QString m_downloadFolder; // last folder of a download
};
