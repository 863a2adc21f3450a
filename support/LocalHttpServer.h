#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A small HTTP server on 127.0.0.1 for the browser pane's tests: fixed pages
// by path, an optional delay per page, every request line recorded. Paths it
// does not know get a plain page naming the path; the favicon gets 404.
class LocalHttpServer final : public QObject
{
    Q_OBJECT
public:
    struct Page
    {
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        int delayMs = 0;
    };

    explicit LocalHttpServer(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(LocalHttpServer)

    bool listening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:port" + path
    QString url(const QString &path) const;

    void setPage(const QByteArray &path, const Page &page) { m_pages.insert(path, page); }

    // Request lines ("GET /x HTTP/1.1") and their targets, favicon left out.
    QList<QByteArray> requestLines() const { return m_lines; }
    QList<QByteArray> targets() const;
    int count(const QByteArray &target) const { return int(targets().count(target)); }
    void clearLog() { m_lines.clear(); }

Q_SIGNALS:
    void requested(const QByteArray &target);

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
    QList<QByteArray> m_lines;
};
