#pragma once

#include "widgets/table/ImeBackend.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// The input method where no framework can be told what to do: the attached
// widgets accept composed text only while the input method is meant to be
// open, and carry hints that ask for Latin input in the alphanumeric modes.
// A closed column therefore never receives composed text.
//
// Qt's platform input contexts decide by asking the focused widget whether it
// takes input-method text (Qt::ImEnabled), and a line edit answers yes even
// with Qt::WA_InputMethodEnabled off; so the answer is given here, for every
// attached widget, besides setting the attribute.
class WidgetImeBackend final : public QObject, public ImeBackend
{
    Q_OBJECT
public:
    WidgetImeBackend() = default;
    Q_DISABLE_COPY_MOVE(WidgetImeBackend)

    void apply(const ImeMode::Request &request) override;
    void attach(QWidget *widget) override;

    // Gives the attached widgets back to the input method framework, which
    // then decides alone (used while a framework answers), as they are
    // before the first request.
    void release();

    // The state a widget gets for a request, given the hints it has now.
    static bool imeEnabled(const ImeMode::Request &request);
    static Qt::InputMethodHints hints(const ImeMode::Request &request, Qt::InputMethodHints current);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void adjust(QWidget *widget) const;
    void adjustAll();

    QList<QPointer<QWidget>> m_widgets;
    ImeMode::Request m_last; // open as last asked; the last conversion set
    bool m_released = true; // widgets are left alone until the first request
};
