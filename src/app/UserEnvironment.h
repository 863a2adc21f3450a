#pragma once

#include "core/env/Desktop.h"
#include "core/map/MapSearch.h"

class Desktop;
class QWidget;

// The window's part of the user environment: the user data folder and the
// settings document at start-up, the remembered window position, the help page.
class UserEnvironment final
{
public:
    UserEnvironment(QWidget &window, Desktop &desktop) : m_window(window), m_desktop(desktop) {}
    Q_DISABLE_COPY_MOVE(UserEnvironment)

    // Chooses the user data folder, loads the settings document, puts the
    // window where it was; returns the map service's addresses it names.
    MapAddresses Restore();
    // Writes the window position and releases the settings.
    void Save();
    // Opens the help page on the desktop; when that fails, `fallback` may show it.
    void OpenHelp(const Desktop::Fallback &fallback);

private:
    QWidget &m_window;
    Desktop &m_desktop;
};
