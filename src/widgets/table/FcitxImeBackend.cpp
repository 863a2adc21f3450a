#include "FcitxImeBackend.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>

FcitxImeBackend::FcitxImeBackend(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected()) {
        m_presence = Presence::Absent;
        return;
    }
    m_watcher = new QDBusServiceWatcher(Service, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                            | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { setPresence(Presence::Present); });
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { setPresence(Presence::Absent); });

    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("NameHasOwner"));
    ask << Service;
    watchReply(m_bus.asyncCall(ask, CallTimeoutMs), true);
}

FcitxImeBackend::~FcitxImeBackend() = default;

QDBusConnection FcitxImeBackend::sessionBus()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool configured = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
                            || (!runtime.isEmpty() && QFileInfo::exists(runtime + u"/bus"));
    if (!configured)
        return QDBusConnection(QStringLiteral("kotoven-no-session-bus"));
    return QDBusConnection::sessionBus();
}

void FcitxImeBackend::apply(const ImeMode::Request &request)
{
    if (m_presence == Presence::Absent)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        Service, ControllerPath, ControllerInterface,
        request.open ? QStringLiteral("Activate") : QStringLiteral("Deactivate"));
    // Switching the input method never starts one (Fcitx is bus-activatable).
    call.setAutoStartService(false);
    watchReply(m_bus.asyncCall(call, CallTimeoutMs), false);
}

void FcitxImeBackend::watchReply(const QDBusPendingCall &call, bool tellsPresence)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, tellsPresence](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (tellsPresence) {
            const QDBusPendingReply<bool> reply = *w;
            if (reply.isValid())
                setPresence(reply.value() ? Presence::Present : Presence::Absent);
            else
                setPresence(Presence::Absent);
            return;
        }
        // Only a framework that is gone changes anything; other errors
        // (a timeout, a refused call) leave the next switch to try again.
        if (w->isError() && w->error().type() == QDBusError::ServiceUnknown)
            setPresence(Presence::Absent);
    });
}

void FcitxImeBackend::setPresence(Presence presence)
{
    if (presence == m_presence)
        return;
    m_presence = presence;
    Q_EMIT presenceChanged(presence);
}
