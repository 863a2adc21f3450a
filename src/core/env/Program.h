#pragma once

#include <QString>

#include <memory>

class yIni;

// Program-wide state: one instance per process, shared by every subsystem.
struct ProgramState
{
    QString ProgramName;     // executable name without extension and trailing "_dv"
    QString UserDataFolder;  // ends in "/" once chosen
    bool FormLoaded = false; // the main window is up
    std::shared_ptr<yIni> Settings;
    bool FileSystem = false; // the shared file-system object has been made
    // The folder of the program file, ending in "/"; empty means the running
    // executable's own folder. Tests put a folder of their own here.
    QString ProgramFolder;

    QString title() const { return ProgramName; }
};

ProgramState &Program();

// The executable's base name without extension; a trailing "_dv" (any case)
// is removed. A name of three characters or fewer is compared whole.
QString programNameFromPath(const QString &executablePath);

// The program folder, ending in "/": ProgramState::ProgramFolder when set,
// else the folder of the running executable.
QString programFolder();
