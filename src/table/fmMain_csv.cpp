// The main window's file commands: CSV open and save, the table on the clipboard.
#include "app/fmMain.h"

void fmMain::OpenCsv() {}

void fmMain::LoadCsv(const QString &) {}

void fmMain::SaveCsv(bool) {}

void fmMain::CopyTable() {}

bool fmMain::ConfirmClose()
{
    return true;
}
