#include "LocalHttpServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port()) + path;
}

QList<QByteArray> LocalHttpServer::targets() const
{
    QList<QByteArray> result;
    for (const QByteArray &line : m_lines)
        result.append(line.split(' ').value(1));
    return result;
}

void LocalHttpServer::serve(QTcpSocket *socket)
{
    // One request per connection: wait for its whole head, answer, close.
    if (socket->property("answered").toBool())
        return;
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);
    const QByteArray line = head.left(head.indexOf("\r\n"));
    const QByteArray target = line.split(' ').value(1);
    const QByteArray path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));

    QByteArray status = "200 OK";
    Page page;
    if (path == "/favicon.ico") {
        status = "404 Not Found";
        page.body = "no icon";
        page.contentType = "text/plain";
    } else {
        m_lines.append(line);
        Q_EMIT requested(target);
        page = m_pages.value(path, Page{"<html><head><title>page</title></head><body><p id=path>" + QString::fromLatin1(target).toHtmlEscaped().toUtf8()
                                             + "</p></body></html>"});
    }
    const QByteArray response = "HTTP/1.1 " + status + "\r\nContent-Type: " + page.contentType
                                + "\r\nContent-Length: " + QByteArray::number(page.body.size())
                                + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + page.body;
    QPointer<QTcpSocket> guarded(socket);
    auto send = [guarded, response] {
        if (!guarded)
            return;
        guarded->write(response);
        guarded->disconnectFromHost();
    };
    if (page.delayMs > 0)
        QTimer::singleShot(page.delayMs, socket, send);
    else
        send();
}
