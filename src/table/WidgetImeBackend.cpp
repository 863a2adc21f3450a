#include "WidgetImeBackend.h"

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
    m_widgets.removeAll(nullptr);
    for (const QPointer<QWidget> &widget : std::as_const(m_widgets))
        adjust(widget);
}

void WidgetImeBackend::attach(QWidget *widget)
{
    if (!widget)
        return;
    m_widgets.removeAll(nullptr);
    if (!m_widgets.contains(widget))
        m_widgets.append(widget);
    adjust(widget);
}

void WidgetImeBackend::release()
{
    m_released = true;
    m_widgets.removeAll(nullptr);
    for (const QPointer<QWidget> &widget : std::as_const(m_widgets))
        adjust(widget);
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
