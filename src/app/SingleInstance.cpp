#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

namespace {

// One line: the file as an encoded file: URL, or nothing; the running program
// answers with one line of its own once it has taken it.
constexpr char Taken[] = "ok\n";
constexpr int LineLimit = 64 * 1024;

} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), m_name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    // Qt makes the runtime folder the user's own (mode 0700) when it must.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return folder + QStringLiteral("/kotoven.socket");
}

bool SingleInstance::handOver(const std::optional<QString> &file, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray line = file ? QUrl::fromLocalFile(*file).toEncoded() : QByteArray();
    line += '\n';
    socket.write(line);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine() == Taken;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    if (m_server->listen(m_name))
        return true;
    // A socket nobody answers on is left from a program that did not end
    // cleanly.
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (!probe.waitForConnected(1000)) {
            QLocalServer::removeServer(m_name);
            if (m_server->listen(m_name))
                return true;
        }
    }
    return false;
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > LineLimit)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(LineLimit).trimmed();
            socket->write(Taken);
            socket->flush();
            socket->disconnectFromServer();
            const QUrl url = QUrl::fromEncoded(line);
            const QString file = url.isLocalFile() ? url.toLocalFile() : QString();
            if (received)
                received(file);
        });
    }
}
