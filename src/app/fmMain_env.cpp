// The main window's user environment: data folder, settings document, window
// position, help.
#include "app/fmMain.h"

void fmMain::RestoreUserEnvironment() {}

void fmMain::SaveUserEnvironment() {}

void fmMain::OpenHelp() {}
