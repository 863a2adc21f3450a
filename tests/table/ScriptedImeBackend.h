#pragma once

#include "widgets/table/ImeBackend.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

// Records what the window asks of the input method: "open 0x19", "open keep"
// or "close", in order, and the widgets handed to it.
class ScriptedImeBackend final : public ImeBackend
{
public:
    void apply(const ImeMode::Request &request) override
    {
        if (!request.open)
            calls.append(QStringLiteral("close"));
        else if (request.conversion)
            calls.append(u"open 0x"_qs + QString::number(*request.conversion, 16).toUpper().rightJustified(2, u'0'));
        else
            calls.append(QStringLiteral("open keep"));
    }
    void attach(QWidget *widget) override { attached.append(widget); }

    QStringList calls;
    QList<QPointer<QWidget>> attached;
};
