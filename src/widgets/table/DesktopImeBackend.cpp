#include "DesktopImeBackend.h"

DesktopImeBackend::DesktopImeBackend(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_fcitx(new FcitxImeBackend(bus, this))
{
    connect(m_fcitx, &FcitxImeBackend::presenceChanged, this, [this] { followPresence(); });
}

void DesktopImeBackend::apply(const ImeMode::Request &request)
{
    m_last = request;
    m_asked = true;
    // While the bus has not answered yet, the widgets stay as they are: a
    // widget that refuses compositions at the moment it takes the focus is
    // never given an input context by the Fcitx frontend of Qt.
    m_fcitxTold = m_fcitx->presence() != FcitxImeBackend::Presence::Absent;
    if (m_fcitxTold)
        m_fcitx->apply(request);
    else
        m_widgets.apply(request);
}

void DesktopImeBackend::attach(QWidget *widget)
{
    m_widgets.attach(widget);
}

void DesktopImeBackend::followPresence()
{
    switch (m_fcitx->presence()) {
    case FcitxImeBackend::Presence::Present:
        m_widgets.release();
        if (m_asked && !m_fcitxTold)
            m_fcitx->apply(m_last);
        m_fcitxTold = true;
        break;
    case FcitxImeBackend::Presence::Absent:
        m_fcitxTold = false;
        if (m_asked)
            m_widgets.apply(m_last);
        break;
    case FcitxImeBackend::Presence::Unknown:
        break;
    }
}
