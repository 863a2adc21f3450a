#pragma once

#include "core/table/ImeMode.h"

#include <QByteArrayView>
#include <QString>

// Which input-method framework the program talks to, and how IBus is found:
// plain rules over the session's environment, so that the backends only do
// the talking.
namespace ImeFramework {

enum class Kind { None, Fcitx, IBus };
enum class Presence { Unknown, Present, Absent };

// The session's input-method variables.
struct Session
{
    QString qtImModule;  // QT_IM_MODULE
    QString xmodifiers;  // XMODIFIERS, e.g. "@im=ibus"
    QString gtkImModule; // GTK_IM_MODULE
};

// The framework the session names for its programs. Qt's module decides
// when set, since the program's keys go through it; then the X input
// method's modifiers, then GTK's module. None when none of them names
// Fcitx or IBus.
Kind named(const Session &session);

// The framework that is told about the input mode now; None leaves it to
// the widgets. The named one decides unless it is known to be absent;
// otherwise one that answers is preferred to one not heard from yet, Fcitx
// before IBus.
Kind decides(Kind named, Presence ibus, Presence fcitx);

// What IBus is found by: its address given directly, or the file in which
// the daemon leaves it for a display.
struct IBusEnvironment
{
    QString address;        // IBUS_ADDRESS
    QString addressFile;    // IBUS_ADDRESS_FILE
    QString configHome;     // XDG_CONFIG_HOME
    QString home;           // HOME
    QString machineId;      // the contents of the machine-id file
    QString display;        // DISPLAY, "[host]:number[.screen]"
    QString waylandDisplay; // WAYLAND_DISPLAY
};

// "<machine id>-<host>-<display number>" (host "unix" for a local display),
// or "<machine id>-unix-<Wayland display>" in a Wayland session. Empty when
// there is no machine id.
QString ibusAddressFileName(const IBusEnvironment &env);

// The full path of the address file; empty when it cannot be named.
QString ibusAddressFilePath(const IBusEnvironment &env);

// What an address file holds: the bus address and the daemon's process id
// (-1 when missing), comments and other keys skipped.
struct IBusAddressFile
{
    QString address;
    qint64 pid = -1;
};
IBusAddressFile ibusAddressFromFile(QByteArrayView contents);

// The local socket a client reaches a D-Bus address at: the first "unix:"
// entry naming a path or an abstract name, its %-escapes undone. An empty
// name when the address names none (another transport, or no address).
struct UnixSocket
{
    QString name;
    bool abstract = false; // in Linux's abstract namespace, not a file
};
UnixSocket unixSocketOf(QStringView address);

// The IBus engine property that puts Mozc in the mode asked for: direct
// input when closed, else the conversion mode's input mode. An open request
// that keeps the conversion mode uses `kept`, the last one set.
QString mozcInputMode(const ImeMode::Request &request, quint32 kept);

} // namespace ImeFramework
