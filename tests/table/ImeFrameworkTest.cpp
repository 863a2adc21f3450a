#include "core/table/ImeFramework.h"
#include "harness/ParamName.h"

#include <gtest/gtest.h>

namespace {

using ImeFramework::Kind;
constexpr auto U = ImeFramework::Presence::Unknown, P = ImeFramework::Presence::Present,
               A = ImeFramework::Presence::Absent;

struct ChoiceCase
{
    const char *name, *qt, *xmodifiers, *gtk; // the session's variables
    ImeFramework::Presence ibus, fcitx;
    Kind decides;
};

class FrameworkChoice : public ::testing::TestWithParam<ChoiceCase>
{
};

TEST_P(FrameworkChoice, NamedOneWhileItMayAnswer)
{
    const ChoiceCase &c = GetParam();
    const ImeFramework::Session session{QString::fromUtf8(c.qt), QString::fromUtf8(c.xmodifiers),
                                        QString::fromUtf8(c.gtk)};
    EXPECT_EQ(ImeFramework::decides(ImeFramework::named(session), c.ibus, c.fcitx), c.decides);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, FrameworkChoice,
    ::testing::Values(ChoiceCase{"gnome", "ibus", "@im=ibus", "ibus", P, A, Kind::IBus},
                      ChoiceCase{"ibusNotHeardYet", "IBus ", "", "", U, P, Kind::IBus},
                      ChoiceCase{"ibusGone", "ibus", "", "", A, U, Kind::Fcitx},
                      ChoiceCase{"fcitx5", "fcitx5", "", "", P, P, Kind::Fcitx},
                      ChoiceCase{"fcitxGone", "fcitx", "", "", P, A, Kind::IBus},
                      ChoiceCase{"qtOverXim", "fcitx", "@im=ibus", "ibus", P, P, Kind::Fcitx},
                      ChoiceCase{"ximAmongModifiers", "", "@locale=ja@im=ibus", "fcitx", P, P, Kind::IBus},
                      ChoiceCase{"gtkLast", "", "@im=none", "ibus", P, P, Kind::IBus},
                      ChoiceCase{"unnamedAnswering", "", "", "", P, U, Kind::IBus},
                      ChoiceCase{"unnamedFcitxFirst", "compose", "@im=ibus", "", U, U, Kind::Fcitx},
                      ChoiceCase{"none", "ibus", "", "", A, A, Kind::None}),
    ParamName());

// Where IBus's address is found: the file the daemon leaves for the display,
// and what the file holds.
struct AddressCase
{
    const char *name, *display, *wayland, *configHome, *file;
    const char *contents, *address;
    qint64 pid;
};

class IBusAddress : public ::testing::TestWithParam<AddressCase>
{
};

TEST_P(IBusAddress, FileAndContents)
{
    const AddressCase &c = GetParam();
    const ImeFramework::IBusEnvironment env{{}, {}, QString::fromUtf8(c.configHome), u"/home/u"_qs,
                                            u"3d12c7\n"_qs, QString::fromUtf8(c.display), QString::fromUtf8(c.wayland)};
    EXPECT_EQ(ImeFramework::ibusAddressFilePath(env), QString::fromUtf8(c.file));
    const ImeFramework::IBusAddressFile read = ImeFramework::ibusAddressFromFile(c.contents);
    EXPECT_EQ(read.address, QString::fromUtf8(c.address));
    EXPECT_EQ(read.pid, c.pid);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IBusAddress,
    ::testing::Values(AddressCase{"daemonsOwn", ":0", "", "", "/home/u/.config/ibus/bus/3d12c7-unix-0",
                                  "# IBUS_ADDRESS=unix:path=/old\nIBUS_ADDRESS=unix:abstract=/tmp/d,guid=0c\n"
                                  "IBUS_DAEMON_PID=14190\n",
                                  "unix:abstract=/tmp/d,guid=0c", 14190},
                      AddressCase{"screenDropped", ":1.0", "", "/cfg", "/cfg/ibus/bus/3d12c7-unix-1",
                                  "IBUS_DAEMON_PID = 7\r\nIBUS_ADDRESS = unix:path=/a\r\n", "unix:path=/a", 7},
                      AddressCase{"remoteHost", "host7:5.0", "", "cfg", "/home/u/.config/ibus/bus/3d12c7-host7-5",
                                  "IBUS_ADDRESS=unix:path=/a\nIBUS_DAEMON_PID=-3\n", "unix:path=/a", -1},
                      AddressCase{"wayland", ":0", "wayland-3", "", "/home/u/.config/ibus/bus/3d12c7-unix-wayland-3",
                                  "IBUS_ADDRESSES=x\n=y\n", "", -1},
                      AddressCase{"noDisplay", "", "", "", "/home/u/.config/ibus/bus/3d12c7-unix-0", "", "", -1}),
    ParamName());

// Where the socket of a bus address is: IBus's daemon is asked for the
// start of the handshake there before its bus is opened.
struct SocketCase
{
    const char *name, *address, *socket;
    bool abstract;
};

class UnixSocketOf : public ::testing::TestWithParam<SocketCase>
{
};

TEST_P(UnixSocketOf, FirstUnixEntry)
{
    const SocketCase &c = GetParam();
    const ImeFramework::UnixSocket socket = ImeFramework::unixSocketOf(QString::fromUtf8(c.address));
    EXPECT_EQ(socket.name, QString::fromUtf8(c.socket));
    EXPECT_EQ(socket.abstract, c.abstract);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UnixSocketOf,
    ::testing::Values(SocketCase{"path", "unix:path=/home/u/.cache/ibus/dbus-Ab3,guid=0c", "/home/u/.cache/ibus/dbus-Ab3", false},
                      SocketCase{"abstract", "unix:abstract=/tmp/dbus-x1,guid=0c", "/tmp/dbus-x1", true},
                      SocketCase{"guidFirst", "unix:guid=0c,path=/run/a", "/run/a", false},
                      SocketCase{"escaped", "unix:path=/tmp/a%20b%2cc", "/tmp/a b,c", false},
                      SocketCase{"secondEntry", "tcp:host=127.0.0.1,port=4;unix:path=/run/b", "/run/b", false},
                      SocketCase{"tcpOnly", "tcp:host=127.0.0.1,port=4", "", false},
                      SocketCase{"listenOnlyForm", "unix:tmpdir=/tmp", "", false},
                      SocketCase{"emptyPath", "unix:path=", "", false},
                      SocketCase{"none", "", "", false}),
    ParamName());

} // namespace
