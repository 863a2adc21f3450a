#include "IBusImeBackend.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QLocalSocket>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

const QString NoBus = QStringLiteral("kotoven-no-ibus");

} // namespace

IBusImeBackend::IBusImeBackend(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    // Without Qt's IBus module the program's text does not go through IBus
    // (or goes through a context of the desktop's), and the daemon would
    // take no calls on it.
    if (!m_bus.isConnected() || !QDBusConnection(QtModuleConnection).isConnected()) {
        m_presence = Presence::Absent;
        return;
    }
    followApplication();
    watch();
}

IBusImeBackend::IBusImeBackend(const QString &address, QObject *parent) : QObject(parent), m_bus(NoBus)
{
    if (address.isEmpty() || !QDBusConnection(QtModuleConnection).isConnected()) {
        m_presence = Presence::Absent;
        return;
    }
    followApplication();
    open(address);
}

void IBusImeBackend::open(const QString &address)
{
    const auto connectBus = [this, address] {
        // One connection per address: a daemon started again has a new one.
        m_bus = QDBusConnection::connectToBus(address, u"kotoven-ibus " + address);
        if (m_bus.isConnected())
            watch();
        else
            setPresence(Presence::Absent);
    };
    const ImeFramework::UnixSocket socket = ImeFramework::unixSocketOf(address);
    if (socket.name.isEmpty()) { // not a local socket: IBus's daemon does not listen so
        connectBus();
        return;
    }
    auto *probe = new QLocalSocket(this);
    if (socket.abstract)
        probe->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    auto *timer = new QTimer(probe);
    timer->setSingleShot(true);
    // An answer or an error ends the probe; silence only reports it.
    const auto end = [probe, timer] {
        timer->stop();
        probe->disconnect();
        probe->abort();
        probe->deleteLater();
    };
    // The second counts while the window's thread can listen: an answer that
    // is already waiting is taken, and a timer that fired late (the start kept
    // the thread busy, as a slow machine does) gives the daemon a second more.
    // A daemon still silent then is given up for now, the widgets take over
    // and the user is told; should it answer later (a daemon still starting
    // up), its bus is opened then.
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    connect(timer, &QTimer::timeout, this, [this, probe, timer, end, connectBus, started] {
        if (probe->state() == QLocalSocket::ConnectedState && (probe->canReadLine() || probe->waitForReadyRead(0))
            && probe->canReadLine()) {
            end();
            connectBus();
            return;
        }
        if (started->elapsed() > 2 * CallTimeoutMs) {
            started->start();
            timer->start(CallTimeoutMs);
            return;
        }
        setPresence(Presence::Absent);
        Q_EMIT unanswered();
    });
    connect(probe, &QLocalSocket::errorOccurred, this, [this, end, address](QLocalSocket::LocalSocketError error) {
        if (error == QLocalSocket::SocketTimeoutError) {
            // A connection the daemon did not take in time (a loaded
            // machine) is silence, not an end: try again.
            end();
            QTimer::singleShot(CallTimeoutMs, this, [this, address] { open(address); });
            return;
        }
        end(); // nobody listens there: the daemon has ended
        setPresence(Presence::Absent);
    });
    connect(probe, &QLocalSocket::connected, probe, [probe] {
        // A client's first bytes: a NUL, then the authentication it offers.
        probe->write(QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(::getuid()).toHex() + "\r\n");
    });
    connect(probe, &QLocalSocket::readyRead, this, [probe, end, connectBus] {
        if (!probe->canReadLine())
            return;
        end(); // any answer (accepted or not): the daemon is at work
        connectBus();
    });
    timer->start(CallTimeoutMs);
    probe->connectToServer(socket.name);
}

void IBusImeBackend::followApplication()
{
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        m_focusLost = !QGuiApplication::focusWindow();
        connect(app, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
            if (!window)
                m_focusLost = true;
        });
        // Qt's module tells the daemon about the new focus before this
        // signal, on the connection that carries the calls below.
        connect(app, &QGuiApplication::focusObjectChanged, this, &IBusImeBackend::followFocus);
    }
}

void IBusImeBackend::watch()
{
    m_watcher = new QDBusServiceWatcher(Service, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                            | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { setPresence(Presence::Present); });
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { setPresence(Presence::Absent); });

    askOwner(0);
}

void IBusImeBackend::askOwner(int attempt)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("NameHasOwner"));
    ask << Service;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, attempt](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        // A bus slow to answer (a loaded machine, a daemon still starting)
        // is asked again: only its answer, or its end, tells.
        const QDBusError::ErrorType error = reply.isError() ? reply.error().type() : QDBusError::NoError;
        if ((error == QDBusError::NoReply || error == QDBusError::Timeout || error == QDBusError::TimedOut)
            && attempt < OwnerAttempts && m_presence != Presence::Present) {
            askOwner(attempt + 1);
            return;
        }
        if (m_presence == Presence::Present && !reply.isValid())
            return; // the registration was seen meanwhile
        setPresence(reply.isValid() && reply.value() ? Presence::Present : Presence::Absent);
    });
}

IBusImeBackend::~IBusImeBackend() = default;

ImeFramework::IBusEnvironment IBusImeBackend::environment()
{
    ImeFramework::IBusEnvironment env;
    env.address = qEnvironmentVariable("IBUS_ADDRESS");
    env.addressFile = qEnvironmentVariable("IBUS_ADDRESS_FILE");
    env.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    env.home = qEnvironmentVariable("HOME");
    env.machineId = QString::fromLatin1(QDBusConnection::localMachineId());
    env.display = qEnvironmentVariable("DISPLAY");
    env.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    return env;
}

QString IBusImeBackend::ibusAddress()
{
    const ImeFramework::IBusEnvironment env = environment();
    QString address = env.address;
    if (address.isEmpty()) {
        QFile file(ImeFramework::ibusAddressFilePath(env));
        if (!file.fileName().isEmpty() && file.open(QIODevice::ReadOnly)) {
            // A file left behind by a daemon that has ended is no address.
            const ImeFramework::IBusAddressFile found = ImeFramework::ibusAddressFromFile(file.read(64 * 1024));
            if (found.pid > 0 && (::kill(pid_t(found.pid), 0) == 0 || errno == EPERM))
                address = found.address;
        }
    }
    return address;
}

void IBusImeBackend::apply(const ImeMode::Request &request)
{
    if (request.open && request.conversion)
        m_conversion = *request.conversion;
    m_last = request;
    m_asked = true;
    if (!m_focusLost)
        send(request);
}

void IBusImeBackend::followFocus(QObject *focus)
{
    if (!focus || !m_focusLost)
        return;
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focus, &query);
    if (!query.value(Qt::ImEnabled).toBool())
        return;
    m_focusLost = false;
    if (m_asked)
        send(m_last);
}

void IBusImeBackend::send(const ImeMode::Request &request)
{
    if (m_presence == Presence::Absent)
        return;
    const QString property = ImeFramework::mozcInputMode(request, m_conversion);
    const quint64 generation = ++m_sendGeneration;
    QDBusMessage ask = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("CurrentInputContext"));
    ask.setAutoStartService(false);
    const QDBusConnection bus = callBus();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, property, generation](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (!reply.isValid()) {
            // No context has the focus (the window is not active): nothing
            // to switch now.
            noticeFailure(reply.error(), true);
            return;
        }
        activateWhenReady(reply.value().path(), property, generation, 0);
    });
}

void IBusImeBackend::activateWhenReady(const QString &context, const QString &property, quint64 generation,
                                       int attempt)
{
    // A context that has just had its first focus gets its engine from the
    // daemon a moment later, and the daemon drops a property activated on a
    // context without one: the switch waits for the engine, unless a later
    // request has taken its place.
    if (generation != m_sendGeneration || m_presence == Presence::Absent)
        return;
    const QDBusConnection bus = callBus();
    QDBusMessage engine = QDBusMessage::createMethodCall(Service, context, InputContextInterface,
                                                         QStringLiteral("GetEngine"));
    engine.setAutoStartService(false);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(engine, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, context, property, generation, attempt](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                if (generation != m_sendGeneration)
                    return;
                if (w->isError()) {
                    const QDBusError error = w->error();
                    switch (error.type()) {
                    case QDBusError::ServiceUnknown:
                    case QDBusError::Disconnected:
                    case QDBusError::UnknownObject:
                        noticeFailure(error, false);
                        return;
                    case QDBusError::UnknownMethod: // a daemon without the call: switch at once
                        break;
                    default: // no engine yet
                        if (attempt < EngineWaitAttempts)
                            QTimer::singleShot(EngineWaitMs, this, [=, this] {
                                activateWhenReady(context, property, generation, attempt + 1);
                            });
                        return;
                    }
                }
                QDBusMessage activate = QDBusMessage::createMethodCall(Service, context, InputContextInterface,
                                                                       QStringLiteral("PropertyActivate"));
                activate << property << PropertyChecked;
                activate.setAutoStartService(false);
                auto *done = new QDBusPendingCallWatcher(callBus().asyncCall(activate, CallTimeoutMs), this);
                connect(done, &QDBusPendingCallWatcher::finished, this, [this, property](QDBusPendingCallWatcher *d) {
                    d->deleteLater();
                    if (d->isError())
                        noticeFailure(d->error(), false);
                    else
                        Q_EMIT switched(property);
                });
            });
}

QDBusConnection IBusImeBackend::callBus() const
{
    return QDBusConnection(QtModuleConnection);
}

void IBusImeBackend::noticeFailure(const QDBusError &error, bool fromDaemon)
{
    // Only a daemon that is gone, or a service of that name that is no IBus
    // (its own object lacks the call), changes anything; a timeout, a
    // refused call or a context gone meanwhile leaves the next switch to
    // try again.
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
        setPresence(Presence::Absent);
        break;
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownObject:
        if (fromDaemon)
            setPresence(Presence::Absent);
        break;
    default:
        break;
    }
}

void IBusImeBackend::setPresence(Presence presence)
{
    if (presence == m_presence)
        return;
    m_presence = presence;
    Q_EMIT presenceChanged(presence);
}
