// The main window's map search and map-link capture.
#include "app/fmMain.h"

void fmMain::mnMap_Click(int) {}

void fmMain::ClipEvent(const QString &) {}
