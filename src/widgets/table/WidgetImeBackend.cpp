#include "WidgetImeBackend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodQueryEvent>
#include <QWindow>

namespace {
constexpr Qt::InputMethodHints LatinHints = Qt::ImhLatinOnly | Qt::ImhPreferLatin;
} // namespace

bool WidgetImeBackend::imeEnabled(const ImeMode::Request &request)
{
    return request.open;
}

Qt::InputMethodHints WidgetImeBackend::hints(const ImeMode::Request &request, Qt::InputMethodHints current)
{
    current &= ~LatinHints;
    if (!request.open)
        return current | LatinHints;
    if (!request.conversion)
        return current;
    const quint32 conversion = *request.conversion;
    if (conversion & ImeMode::Native)
        return current;
    // Alphanumeric: full-width prefers Latin, half-width allows nothing else.
    return current | (conversion & ImeMode::FullShape ? Qt::ImhPreferLatin : LatinHints);
}

void WidgetImeBackend::apply(const ImeMode::Request &request)
{
    // The conversion mode outlives a close, and "keep" keeps it.
    m_last.open = request.open;
    if (request.open && request.conversion)
        m_last.conversion = request.conversion;
    m_released = false;
    adjustAll();
}

void WidgetImeBackend::attach(QWidget *widget)
{
    if (!widget)
        return;
    m_widgets.removeAll(nullptr);
    if (!m_widgets.contains(widget)) {
        m_widgets.append(widget);
        widget->installEventFilter(this);
    }
    adjust(widget);
}

void WidgetImeBackend::release()
{
    const bool wasHolding = !m_released;
    m_released = true;
    adjustAll();
    // A framework's Qt module hears of a widget only when it takes the focus:
    // a widget that refused compositions then (the framework answered late)
    // is announced again, or its keys would bypass the input method until
    // the focus moves.
    QWindow *window = QGuiApplication::focusWindow();
    QWidget *focus = QApplication::focusWidget();
    if (wasHolding && window && focus && m_widgets.contains(focus) && window->focusObject() == focus)
        Q_EMIT window->focusObjectChanged(focus);
}

void WidgetImeBackend::adjustAll()
{
    m_widgets.removeAll(nullptr);
    for (const QPointer<QWidget> &widget : std::as_const(m_widgets))
        adjust(widget);
    // The platform input context asks the focused widget again.
    if (QCoreApplication::instance())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
}

bool WidgetImeBackend::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::InputMethodQuery || m_released || imeEnabled(m_last))
        return false;
    auto *query = static_cast<QInputMethodQueryEvent *>(event);
    if (!(query->queries() & Qt::ImEnabled))
        return false;
    // The widget answers the other queries itself; ImEnabled is "no".
    const Qt::InputMethodQueries rest = query->queries() & ~Qt::ImEnabled;
    if (rest) {
        QInputMethodQueryEvent inner(rest);
        QCoreApplication::sendEvent(watched, &inner);
        for (quint32 bit = 1; bit; bit <<= 1) {
            if (rest & bit)
                query->setValue(Qt::InputMethodQuery(bit), inner.value(Qt::InputMethodQuery(bit)));
        }
    }
    query->setValue(Qt::ImEnabled, false);
    query->accept();
    return true;
}

void WidgetImeBackend::adjust(QWidget *widget) const
{
    if (m_released) {
        widget->setAttribute(Qt::WA_InputMethodEnabled, true);
        widget->setInputMethodHints(widget->inputMethodHints() & ~LatinHints);
        return;
    }
    // Qt commits a pending composition and tells the platform input context
    // when the focused widget changes either of these.
    widget->setInputMethodHints(hints(m_last, widget->inputMethodHints()));
    widget->setAttribute(Qt::WA_InputMethodEnabled, imeEnabled(m_last));
}
