#pragma once

#include "table/ImeBackend.h"

#include <QList>
#include <QPointer>
#include <QWidget>

// The input method where no framework can be told what to do: the attached
// widgets accept composed text only while the input method is meant to be
// open, and carry hints that ask for Latin input in the alphanumeric modes.
// A closed column therefore never receives composed text.
class WidgetImeBackend final : public ImeBackend
{
public:
    void apply(const ImeMode::Request &request) override;
    void attach(QWidget *widget) override;

    // Gives the attached widgets back to the input method framework, which
    // then decides alone (used while a framework answers).
    void release();

    // The state a widget gets for a request, given the hints it has now.
    static bool imeEnabled(const ImeMode::Request &request);
    static Qt::InputMethodHints hints(const ImeMode::Request &request, Qt::InputMethodHints current);

private:
    void adjust(QWidget *widget) const;

    QList<QPointer<QWidget>> m_widgets;
    ImeMode::Request m_last; // open as last asked; the last conversion set
    bool m_released = false;
};
