#pragma once

#include "core/env/Desktop.h"
#include "core/env/HandOff.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <memory>

// The seam as tests see it: every message text is recorded, every question and
// file dialog is answered from a queue, every address handed to the desktop is
// recorded instead of opened (unless `runHandOff` sends it to the real helper). Tests pass it wherever the program passes its
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
        QStringList labels = {}; // a question of choose()
    };

    Answer ask(const QString &text, Buttons buttons) override;
    int choose(const QString &text, const QStringList &labels) override;
    QString chooseFile(const FileRequest &request) override;
    bool handOff(const QUrl &url, const Fallback &fallback) override;
    std::optional<SortChoice> chooseSort(const QStringList &columns, int initialColumn) override;

    // Queues; an empty queue answers Ok / Cancel / no file.
    std::deque<Answer> answers;
    std::deque<QString> files;
    std::deque<std::optional<SortChoice>> sorts; // empty: cancelled
    std::deque<int> choices;                     // empty: the last button
    // Runs while each question is open, before it is answered: what happens
    // meanwhile (a link copied in another program).
    std::function<void(const QString &text)> whileAsking;

    // True: addresses go to xdg-open (as found on PATH) the way the program
    // hands them off, and a failure is answered as the program answers it.
    bool runHandOff = false;

    QList<Asked> asked;
    QList<FileRequest> fileRequests;
    QList<QUrl> opened;

    QStringList messages() const;
    void clear();

private:
    std::unique_ptr<HandOff> m_handOff;
};
