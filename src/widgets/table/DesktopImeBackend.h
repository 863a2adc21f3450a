#pragma once

#include "widgets/table/FcitxImeBackend.h"
#include "widgets/table/WidgetImeBackend.h"

#include <QObject>

// The program's own input-method backend: Fcitx 5 while it answers on the
// session bus, the widgets' input-method settings when it is known not to be
// there. When that changes, the last request is carried over to the one that
// now decides.
class DesktopImeBackend final : public QObject, public ImeBackend
{
    Q_OBJECT
public:
    explicit DesktopImeBackend(const QDBusConnection &bus, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(DesktopImeBackend)

    void apply(const ImeMode::Request &request) override;
    void attach(QWidget *widget) override;

    FcitxImeBackend *fcitx() const { return m_fcitx; }

private:
    void followPresence();

    FcitxImeBackend *m_fcitx;
    WidgetImeBackend m_widgets;
    ImeMode::Request m_last;
    bool m_asked = false;     // a request has been made
    bool m_fcitxTold = false; // Fcitx has been sent the last request
};
