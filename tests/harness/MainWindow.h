#pragma once

#include "app/fmMain.h"

#include <QTest>

// Shows the real main window and waits for its first activation, when its
// start-up cell placement runs. False when the window never became active.
inline bool showAndActivate(fmMain &window)
{
    window.show();
    window.activateWindow();
    // Generous limits: a loaded machine takes long to show a window with a
    // browser pane.
    return QTest::qWaitForWindowActive(&window, 30000) &&
           QTest::qWaitFor([&window] { return window.activated(); }, 30000);
}
