#pragma once

#include "core/env/Desktop.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <deque>

// The seam as tests see it: every message text is recorded, every question and
// file dialog is answered from a queue, every address handed to the desktop is
// recorded instead of opened. Tests pass it wherever the program passes its
// real seam.
class ScriptedDesktop final : public Desktop
{
public:
    ScriptedDesktop() = default;
    Q_DISABLE_COPY_MOVE(ScriptedDesktop)

    struct Asked
    {
        QString text;
        Buttons buttons;
    };

    Answer ask(const QString &text, Buttons buttons) override;
    QString chooseFile(const FileRequest &request) override;
    bool openUrl(const QUrl &url) override;
    std::optional<SortChoice> chooseSort(const QStringList &columns, int initialColumn) override;

    // Queues; an empty queue answers Ok / Cancel / no file.
    std::deque<Answer> answers;
    std::deque<QString> files;
    std::deque<std::optional<SortChoice>> sorts; // empty: cancelled

    QList<Asked> asked;
    QList<FileRequest> fileRequests;
    QList<QUrl> opened;

    QStringList messages() const;
    void clear();
};
