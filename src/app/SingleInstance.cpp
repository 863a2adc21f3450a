#include "SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// One line: the file as an encoded file: URL, or nothing; the running program
// answers with one line of its own once it has queued it.
constexpr char Taken[] = "ok\n";
constexpr int LineLimit = 64 * 1024;
// A socket address holds this many bytes of path before its final zero.
constexpr qsizetype SocketPathLimit = sizeof(sockaddr_un::sun_path) - 1;
// How often a waiting start looks again, and how often queued hand-overs
// look whether the window can take them.
constexpr int WaitSliceMs = 200;
constexpr int RetryMs = 200;

// Whether the process at the other end of `socket` runs as this user.
bool sameUser(const QLocalSocket &socket)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    return fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == geteuid();
}

bool abstractName(const QString &name) { return !name.startsWith(u'/'); }

} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent) : QObject(parent), m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock, so that no later start finds the lock
    // free and a socket that is still being served.
    delete m_server;
    m_server = nullptr;
    if (m_lock)
        m_lock->unlock();
}

bool SingleInstance::ownFolder(const QString &folder)
{
    struct stat info {};
    return !folder.isEmpty() && lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

QString SingleInstance::defaultFolder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (ownFolder(runtime))
        return runtime;
    // Never Qt's own fallback in the shared temporary folder, whose name
    // another user can take first.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir().mkpath(cache))
        return {};
    QString own = cache + u"/kotoven-run"_qs;
    const QByteArray name = QFile::encodeName(own);
    if (mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    if (lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return {};
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 && chmod(name.constData(), S_IRWXU) != 0)
        return {};
    return own;
}

QString SingleInstance::socketName() const
{
    QString path = m_folder + u"/kotoven.socket"_qs;
    if (QFile::encodeName(path).size() <= SocketPathLimit)
        return path;
    // Too long for a socket address: a name of this user and folder in the
    // abstract namespace, which has no file permissions; both ends check
    // the other's user instead.
    return u"kotoven-%1-%2"_qs.arg(geteuid()).arg(qHash(m_folder), 0, 16);
}

SingleInstance::Start SingleInstance::start(const std::optional<QString> &file)
{
    if (!ownFolder(m_folder))
        return Start::Alone;
    m_lock = std::make_unique<QLockFile>(m_folder + u"/kotoven.lock"_qs);
    // Held for the whole run: only a holder that is gone leaves it free.
    m_lock->setStaleLockTime(0);
    for (;;) {
        if (m_lock->tryLock(0))
            return listen() ? Start::Running : Start::Alone;
        if (m_lock->error() != QLockFile::LockFailedError)
            return Start::Alone;
        switch (handOver(file)) {
        case HandOver::Taken:
            return Start::HandedOver;
        case HandOver::Refused:
            return Start::Alone;
        case HandOver::NoAnswer:
            // The holder has not listened yet, or has just ended.
            QThread::msleep(WaitSliceMs);
            break;
        }
    }
}

SingleInstance::HandOver SingleInstance::handOver(const std::optional<QString> &file) const
{
    const QString name = socketName();
    QLocalSocket socket;
    if (abstractName(name))
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    if (!socket.waitForConnected(WaitSliceMs * 5))
        return HandOver::NoAnswer;
    if (!sameUser(socket))
        return HandOver::Refused;
    QByteArray line = file ? QUrl::fromLocalFile(*file).toEncoded() : QByteArray();
    line += '\n';
    socket.write(line);
    // However long the running program takes to answer: it is alive as long
    // as its end stays open.
    while (!socket.canReadLine()) {
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
            return HandOver::NoAnswer;
        socket.waitForReadyRead(WaitSliceMs);
    }
    return socket.readLine() == Taken ? HandOver::Taken : HandOver::NoAnswer;
}

bool SingleInstance::listen()
{
    const QString name = socketName();
    m_server = new QLocalServer(this);
    // No UserAccessOption: Qt 6.4 then binds a temporary name and renames it
    // over whatever socket is there. The folder is closed to others, and
    // only the lock's holder listens, so a socket found here was left by a
    // holder that is gone.
    if (abstractName(name))
        m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    else
        QLocalServer::removeServer(name);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    return m_server->listen(name);
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!sameUser(*socket)) {
            socket->abort();
            continue;
        }
        const auto take = [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > LineLimit)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(LineLimit).trimmed();
            socket->disconnect(this); // one line per start
            socket->write(Taken);
            socket->flush();
            socket->disconnectFromServer();
            const QUrl url = QUrl::fromEncoded(line);
            enqueue(url.isLocalFile() ? url.toLocalFile() : QString());
        };
        connect(socket, &QLocalSocket::readyRead, this, take);
        take(); // the line may have come with the connection
    }
}

void SingleInstance::enqueue(const QString &file)
{
    m_queue.append(file);
    QTimer::singleShot(0, this, &SingleInstance::deliver);
}

void SingleInstance::deliver()
{
    // Taking a file may ask a question, whose event loop brings further
    // hand-overs here: they wait for it.
    if (m_delivering || m_queue.isEmpty() || !received)
        return;
    if (QApplication::activeModalWidget()) {
        if (!m_retry) {
            m_retry = new QTimer(this);
            m_retry->setSingleShot(true);
            m_retry->setInterval(RetryMs);
            connect(m_retry, &QTimer::timeout, this, &SingleInstance::deliver);
        }
        m_retry->start();
        return;
    }
    m_delivering = true;
    received(m_queue.takeFirst());
    m_delivering = false;
    if (!m_queue.isEmpty())
        QTimer::singleShot(0, this, &SingleInstance::deliver);
}
