#pragma once

#include "core/env/Desktop.h"

// The real seam: Qt message boxes and file dialogs, QDesktopServices.
class QtDesktop final : public Desktop
{
public:
    Answer ask(const QString &text, Buttons buttons) override;
    QString chooseFile(const FileRequest &request) override;
    bool openUrl(const QUrl &url) override;
};
