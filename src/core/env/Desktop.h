#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// The one seam for everything that blocks on a person or leaves the program:
// message boxes, file dialogs and handing an address to the desktop.
// The program installs a Qt implementation; tests install a scripted one that
// records every message and answers from a queue.
class Desktop
{
public:
    enum class Buttons { Ok, YesNo, YesNoCancel };
    enum class Answer { Ok, Yes, No, Cancel };
    enum class FileMode { Open, Save };

    struct FileRequest
    {
        FileMode mode = FileMode::Open;
        QString title;
        QString folder;    // initial folder
        QString startName; // name offered at first (the last one chosen)
        QString filter;    // Qt form, e.g. "CSV files (*.csv)"
    };

    virtual ~Desktop() = default;

    // A message box with the program's title and no icon.
    virtual Answer ask(const QString &text, Buttons buttons) = 0;
    void message(const QString &text) { ask(text, Buttons::Ok); }
    // A question whose buttons say what they do: `labels` from left to right,
    // the first the default, the last also taken by Esc and by closing the
    // box. The index of the button chosen.
    virtual int choose(const QString &text, const QStringList &labels) = 0;

    // A file dialog; an empty result means the person cancelled.
    virtual QString chooseFile(const FileRequest &request) = 0;

    // Shows an address some other way after the desktop failed to open it;
    // false when it could not either.
    using Fallback = std::function<bool(const QUrl &url)>;

    // Hands an address (web page, file, folder) to the desktop. A hand-off
    // that fails goes to `fallback`, and is reported when that shows nothing.
    // False when the hand-off already failed at its start.
    virtual bool handOff(const QUrl &url, const Fallback &fallback) = 0;
    bool openUrl(const QUrl &url) { return handOff(url, {}); }

    // The sort dialog: which of `columns` (from 0) and which direction;
    // nothing when the person cancelled.
    struct SortChoice
    {
        int column = 0;
        bool descending = false;
    };
    virtual std::optional<SortChoice> chooseSort(const QStringList &columns, int initialColumn) = 0;

protected:
    // What an implementation does when a hand-off failed for `failure`
    // (empty: it did not fail).
    void handOffEnded(const QUrl &url, const QString &failure, const Fallback &fallback)
    {
        if (failure.isEmpty() || (fallback && fallback(url)))
            return;
        message(failure);
    }
};
