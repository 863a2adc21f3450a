#pragma once

#include "core/table/ImeFramework.h"
#include "widgets/table/FcitxImeBackend.h"
#include "widgets/table/IBusImeBackend.h"
#include "widgets/table/WidgetImeBackend.h"

#include <QObject>

// The program's own input-method backend: the framework the session names
// (Fcitx 5 on the session bus, or IBus on its own bus) while it answers,
// else the other one if it answers, else the widgets' input-method
// settings. When the one that decides changes, the last request is carried
// over to it.
class DesktopImeBackend final : public QObject, public ImeBackend
{
    Q_OBJECT
public:
    // Fcitx only, on the given bus.
    explicit DesktopImeBackend(const QDBusConnection &sessionBus, QObject *parent = nullptr);
    // IBus's bus is opened at ibusAddress without waiting for it.
    DesktopImeBackend(const QDBusConnection &sessionBus, const QString &ibusAddress, ImeFramework::Kind named,
                      QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(DesktopImeBackend)

    // The backend for this session: its buses and the framework its
    // environment names.
    static DesktopImeBackend *forSession(QObject *parent);
    static ImeFramework::Session session();

    void apply(const ImeMode::Request &request) override;
    void attach(QWidget *widget) override;

    FcitxImeBackend *fcitx() const { return m_fcitx; }
    IBusImeBackend *ibus() const { return m_ibus; }
    // The one that is told now; None: the widgets.
    ImeFramework::Kind decider() const;

    // Said in the status bar when IBus's daemon took the connection but did
    // not answer.
    static inline const QString IBusUnanswered =
        QStringLiteral("IBus が応答しません：日本語入力のオン・オフは入力欄ごとの設定で切り替えます");

Q_SIGNALS:
    // A short notice for the status bar.
    void notice(const QString &text);

private:
    void followPresence();
    void tell(ImeFramework::Kind kind);

    FcitxImeBackend *m_fcitx;
    IBusImeBackend *m_ibus;
    WidgetImeBackend m_widgets;
    ImeFramework::Kind m_named;
    ImeMode::Request m_last;
    bool m_asked = false; // a request has been made
    ImeFramework::Kind m_told = ImeFramework::Kind::None; // has the last request
};
