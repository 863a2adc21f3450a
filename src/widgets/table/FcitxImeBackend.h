#pragma once

#include "widgets/table/ImeBackend.h"

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCall;
class QDBusServiceWatcher;

// The input method through Fcitx 5 on the session bus: its controller
// activates (opens) and deactivates (closes) the input context that has the
// focus, which is the cell editor's while the person types in the grid.
// Fcitx has no call that sets a conversion mode for every engine; an opened
// engine starts in its own default mode, which for the Japanese engines is
// full-width hiragana.
//
// Nothing here waits for the bus: calls are sent asynchronously with a short
// timeout and their replies only serve to notice a framework that went away.
class FcitxImeBackend final : public QObject, public ImeBackend
{
    Q_OBJECT
public:
    enum class Presence { Unknown, Present, Absent };

    static inline const QString Service = QStringLiteral("org.fcitx.Fcitx5");
    static inline const QString ControllerPath = QStringLiteral("/controller");
    static inline const QString ControllerInterface = QStringLiteral("org.fcitx.Fcitx.Controller1");
    static constexpr int CallTimeoutMs = 1000;

    // A disconnected bus makes a backend that is absent from the start.
    explicit FcitxImeBackend(const QDBusConnection &bus, QObject *parent = nullptr);
    ~FcitxImeBackend() override;
    Q_DISABLE_COPY_MOVE(FcitxImeBackend)

    // The session bus if one is configured for this session; never starts a
    // bus of its own (libdbus would otherwise launch one for the display).
    static QDBusConnection sessionBus();

    Presence presence() const { return m_presence; }
    void apply(const ImeMode::Request &request) override;

Q_SIGNALS:
    void presenceChanged(FcitxImeBackend::Presence presence);

private:
    void setPresence(Presence presence);
    void watchReply(const QDBusPendingCall &call, bool tellsPresence);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    Presence m_presence = Presence::Unknown;
};
