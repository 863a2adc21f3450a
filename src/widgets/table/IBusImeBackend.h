#pragma once

#include "core/table/ImeFramework.h"
#include "widgets/table/ImeBackend.h"

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCall;
class QDBusServiceWatcher;

// The input method through IBus with Mozc, on IBus's own bus: the daemon
// names the input context that has the focus (the cell editor's, or the
// grid's, while the person types in the grid), and Mozc's engine on it takes
// its input mode as an activated property: direct input to close, hiragana
// (or another mode) to open. Engines that lack those properties ignore them.
//
// The daemon takes calls on an input context only from the connection that
// made it, and gives no answer to others. The program's input contexts are
// made by Qt's IBus module, on its connection named QtModuleConnection in
// this process: the calls go through that connection, so a context of
// another program is never switched, and without it IBus is taken as absent.
//
// While no window of the program has the focus, the daemon's focused
// context is another program's or its own placeholder: nothing is sent then.
// The engine's mode is shared by all programs, so the last switch is made
// when the program gets the focus back, once Qt has told the daemon.
//
// Nothing here waits for the bus: each switch asks for the focused context
// and, when the answer comes, activates the property on it. Answers come in
// the order asked, so the switches keep their order. Nor does opening the
// bus: a daemon that takes the connection but never answers would hold the
// start (and every D-Bus connection of the program) for good, so the daemon
// is first asked, on a socket of its own, for the start of the bus's
// handshake; without an answer within CallTimeoutMs, IBus is taken as absent.
class IBusImeBackend final : public QObject, public ImeBackend
{
    Q_OBJECT
public:
    using Presence = ImeFramework::Presence;

    static inline const QString Service = QStringLiteral("org.freedesktop.IBus");
    static inline const QString Path = QStringLiteral("/org/freedesktop/IBus");
    static inline const QString Interface = QStringLiteral("org.freedesktop.IBus");
    static inline const QString InputContextInterface = QStringLiteral("org.freedesktop.IBus.InputContext");
    static inline const QString QtModuleConnection = QStringLiteral("QIBusProxy");
    static constexpr uint PropertyChecked = 1;
    static constexpr int CallTimeoutMs = 1000;
    // How often, and how far apart, a switch asks whether a context that
    // has just got the focus has its engine yet.
    static constexpr int EngineWaitAttempts = 40;
    static constexpr int EngineWaitMs = 50;
    // How often the bus is asked whether the daemon is there before silence
    // counts as absence.
    static constexpr int OwnerAttempts = 10;

    // A disconnected bus, or no IBus module of Qt's, makes a backend that is
    // absent from the start. The bus tells whether the daemon is there.
    explicit IBusImeBackend(const QDBusConnection &bus, QObject *parent = nullptr);
    // Opens the bus at `address` once the daemon has answered there (see
    // above); an empty address, or no IBus module of Qt's, is absence.
    explicit IBusImeBackend(const QString &address, QObject *parent = nullptr);
    ~IBusImeBackend() override;
    Q_DISABLE_COPY_MOVE(IBusImeBackend)

    // IBus's bus address for this session: IBUS_ADDRESS, else the address
    // file a running daemon left for this display; empty when neither.
    static QString ibusAddress();
    static ImeFramework::IBusEnvironment environment();

    Presence presence() const { return m_presence; }
    void apply(const ImeMode::Request &request) override;

Q_SIGNALS:
    void presenceChanged(IBusImeBackend::Presence presence);
    // The daemon took the connection but did not answer in time: IBus is
    // taken as absent.
    void unanswered();
    // The daemon took a switch of Mozc's input mode to `property`.
    void switched(const QString &property);

private:
    void followApplication();
    void open(const QString &address);
    void watch();
    void askOwner(int attempt);
    QDBusConnection callBus() const;
    void send(const ImeMode::Request &request);
    void activateWhenReady(const QString &context, const QString &property, quint64 generation, int attempt);
    void followFocus(QObject *focus);
    void setPresence(Presence presence);
    void noticeFailure(const QDBusError &error, bool fromDaemon);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    Presence m_presence = Presence::Unknown;
    quint32 m_conversion = ImeMode::Native | ImeMode::FullShape | ImeMode::Roman; // last set
    ImeMode::Request m_last;
    bool m_asked = false;       // a request has been made
    quint64 m_sendGeneration = 0; // the last switch sent; earlier ones still waiting give way
    bool m_focusLost = true;    // no window of the program has the focus
};
