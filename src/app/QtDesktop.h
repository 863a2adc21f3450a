#pragma once

#include "core/env/Desktop.h"
#include "core/env/HandOff.h"

// The real seam: Qt message boxes and file dialogs; addresses go to the
// desktop through xdg-open, and a hand-off that fails is reported.
class QtDesktop final : public Desktop
{
public:
    Answer ask(const QString &text, Buttons buttons) override;
    int choose(const QString &text, const QStringList &labels) override;
    QString chooseFile(const FileRequest &request) override;
    bool handOff(const QUrl &url, const Fallback &fallback) override;
    std::optional<SortChoice> chooseSort(const QStringList &columns, int initialColumn) override;

private:
    HandOff m_handOff;
};
