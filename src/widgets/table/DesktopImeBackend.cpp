#include "DesktopImeBackend.h"

using ImeFramework::Kind;

DesktopImeBackend::DesktopImeBackend(const QDBusConnection &sessionBus, QObject *parent)
    : DesktopImeBackend(sessionBus, QString(), Kind::None, parent)
{
}

DesktopImeBackend::DesktopImeBackend(const QDBusConnection &sessionBus, const QString &ibusAddress, Kind named,
                                     QObject *parent)
    : QObject(parent), m_fcitx(new FcitxImeBackend(sessionBus, this)), m_ibus(new IBusImeBackend(ibusAddress, this)),
      m_named(named)
{
    connect(m_fcitx, &FcitxImeBackend::presenceChanged, this, [this] { followPresence(); });
    connect(m_ibus, &IBusImeBackend::presenceChanged, this, [this] { followPresence(); });
    connect(m_ibus, &IBusImeBackend::unanswered, this, [this] { Q_EMIT notice(IBusUnanswered); });
}

ImeFramework::Session DesktopImeBackend::session()
{
    return {qEnvironmentVariable("QT_IM_MODULE"), qEnvironmentVariable("XMODIFIERS"),
            qEnvironmentVariable("GTK_IM_MODULE")};
}

DesktopImeBackend *DesktopImeBackend::forSession(QObject *parent)
{
    // IBus is reached only through Qt's IBus module: without it, its bus is
    // not even opened.
    const bool qtUsesIBus = QDBusConnection(IBusImeBackend::QtModuleConnection).isConnected();
    return new DesktopImeBackend(FcitxImeBackend::sessionBus(), qtUsesIBus ? IBusImeBackend::ibusAddress() : QString(),
                                 ImeFramework::named(session()), parent);
}

Kind DesktopImeBackend::decider() const
{
    // Fcitx's presence is the controller's: Unknown until the bus answers.
    const auto fcitx = [this] {
        switch (m_fcitx->presence()) {
        case FcitxImeBackend::Presence::Present: return ImeFramework::Presence::Present;
        case FcitxImeBackend::Presence::Absent: return ImeFramework::Presence::Absent;
        case FcitxImeBackend::Presence::Unknown: break;
        }
        return ImeFramework::Presence::Unknown;
    };
    return ImeFramework::decides(m_named, m_ibus->presence(), fcitx());
}

void DesktopImeBackend::apply(const ImeMode::Request &request)
{
    m_last = request;
    m_asked = true;
    // While a framework's bus has not answered yet, the widgets stay as they
    // are: a widget that refuses compositions at the moment it takes the
    // focus is never given an input context by the frameworks' Qt modules.
    tell(decider());
}

void DesktopImeBackend::attach(QWidget *widget)
{
    m_widgets.attach(widget);
}

void DesktopImeBackend::tell(Kind kind)
{
    m_told = kind;
    switch (kind) {
    case Kind::Fcitx: m_fcitx->apply(m_last); break;
    case Kind::IBus: m_ibus->apply(m_last); break;
    case Kind::None: m_widgets.apply(m_last); break;
    }
}

void DesktopImeBackend::followPresence()
{
    const Kind now = decider();
    if (now != Kind::None)
        m_widgets.release();
    if (m_asked && now != m_told)
        tell(now);
}
