#pragma once

#include "env/Desktop.h"
#include "env/Program.h"

#include <QList>
#include <QStringList>
#include <QUrl>

// The seam for core tests: records every message and every address handed to
// the desktop, and installs itself as the program's seam while it lives.
class RecordingDesktop final : public Desktop
{
public:
    RecordingDesktop() : m_previous(Program().desktop) { Program().desktop = this; }
    ~RecordingDesktop() override { Program().desktop = m_previous; }
    Q_DISABLE_COPY_MOVE(RecordingDesktop)

    Answer ask(const QString &text, Buttons) override
    {
        messages.append(text);
        return Answer::Ok;
    }
    QString chooseFile(const FileRequest &) override { return {}; }
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }

    QStringList messages;
    QList<QUrl> opened;

private:
    Desktop *m_previous;
};
