#include "UserEnvironment.h"

#include "core/app/WindowPlacement.h"
#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/Twips.h"
#include "core/env/yIni.h"

#include <QWidget>

#include <QEvent>

namespace {

const QString PositionGroup = QStringLiteral("位置");

// Before the window is first shown its frame is unknown, so the remembered
// outer size is applied to the inner area. At the first activation, when the
// window manager has framed the window, the inner size is corrected once so
// that the outer rectangle is the remembered one.
class FrameFit final : public QObject
{
public:
    FrameFit(QWidget *window, QSize outer) : QObject(window), m_window(window), m_outer(outer)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::WindowActivate) {
            const QSize frame = m_window->frameGeometry().size() - m_window->size();
            if (!frame.isEmpty() && m_window->windowState() == Qt::WindowNoState)
                m_window->resize(m_outer - frame);
            deleteLater();
        }
        return false;
    }

private:
    QWidget *m_window;
    QSize m_outer;
};

std::shared_ptr<yIni> sharedSettings(Desktop &desktop)
{
    if (!Program().Settings)
        Program().Settings = std::make_shared<yIni>(&desktop);
    return Program().Settings;
}

// The settings code gathers what it must tell; the window shows it.
void showMessages(yIni &settings, Desktop &desktop)
{
    for (const QString &text : settings.takeMessages())
        desktop.message(text);
}

} // namespace

MapAddresses UserEnvironment::Restore()
{
    QWidget &window = m_window;
    std::shared_ptr<yIni> settings = sharedSettings(m_desktop);
    settings->W_UserData(&window);
    showMessages(*settings, m_desktop);
    bool ok = false;
    settings->GetTxt(Program().UserDataFolder + QStringLiteral("User.xml"), ok);
    settings->GetGtx(PositionGroup);
    const QVariant zero = QVariant::fromValue<qint16>(0);
    WindowPlacement::Remembered stored;
    stored.top = WindowPlacement::nearestInt(settings->vGtVal(QStringLiteral("TOP"), zero).toDouble());
    stored.left = WindowPlacement::nearestInt(settings->vGtVal(QStringLiteral("LEFT"), zero).toDouble());
    stored.width = WindowPlacement::nearestInt(settings->vGtVal(QStringLiteral("WIDTH"), zero).toDouble());
    stored.height = WindowPlacement::nearestInt(settings->vGtVal(QStringLiteral("HEIGHT"), zero).toDouble());

    // The map service's addresses may be set by hand in the group "地図"; the
    // program only reads them, so the document keeps its shape when they are absent.
    MapAddresses map;
    settings->GetGtx(QStringLiteral("地図"));
    if (const QString redirect = settings->vGtVal(QStringLiteral("REDIRECT"), QString()).toString(); !redirect.isEmpty())
        map.redirect = redirect;
    if (const QString base = settings->vGtVal(QStringLiteral("BASE"), QString()).toString(); !base.isEmpty())
        map.base = base;
    showMessages(*settings, m_desktop);
    settings.reset();

    const std::optional<QRect> outer = WindowPlacement::toPixels(stored, Twips::perPixel(window.logicalDpiX()),
                                                                 Twips::perPixel(window.logicalDpiY()));
    if (!outer)
        return map;
    // One move: the frame's top-left and the size together. The frame is
    // subtracted when it is known already.
    const QSize frame = window.frameGeometry().size() - window.size();
    window.move(outer->topLeft());
    window.resize(outer->size() - frame);
    if (!window.isVisible())
        new FrameFit(&window, outer->size());
    return map;
}

void UserEnvironment::Save()
{
    const WindowPlacement::ToStore stored = WindowPlacement::fromPixels(
        m_window.frameGeometry(), Twips::perPixel(m_window.logicalDpiX()), Twips::perPixel(m_window.logicalDpiY()));
    std::shared_ptr<yIni> settings = sharedSettings(m_desktop);
    settings->GetGtx(PositionGroup);
    settings->SetVal(QStringLiteral("TOP"), stored.top);
    settings->SetVal(QStringLiteral("LEFT"), stored.left);
    settings->SetVal(QStringLiteral("WIDTH"), stored.width);
    settings->SetVal(QStringLiteral("HEIGHT"), stored.height);
    settings->SetGtx();
    bool ok = false;
    settings->SetTxt(ok);
    showMessages(*settings, m_desktop);
    settings.reset();
    Program().Settings.reset();
}

void UserEnvironment::OpenHelp(const Desktop::Fallback &fallback)
{
    const std::shared_ptr<yIni> settings = sharedSettings(m_desktop);
    settings->W_Help(QStringLiteral("kotoven.htm"), fallback);
    showMessages(*settings, m_desktop);
}
