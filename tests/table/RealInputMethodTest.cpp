// Typing into the real main window through a real Fcitx 5 with Mozc, or,
// built with KOTOVEN_REAL_IBUS, a real IBus daemon with Mozc; keys sent
// through the X server. Skipped where that cannot run: the framework or its
// Mozc missing, no X display, or running as root (Mozc's server refuses root).
#include "app/fmMain.h"
#include "core/table/ImeFramework.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "widgets/table/DesktopImeBackend.h"
#include "widgets/table/FcitxImeBackend.h"
#include "widgets/table/IBusImeBackend.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

QString g_skip;      // why the test cannot run here
pid_t g_busPid = 0;  // the private session bus

#ifdef KOTOVEN_REAL_IBUS
constexpr bool UsesIBus = true;
#else
constexpr bool UsesIBus = false;
#endif
const char *const MozcAddon = UsesIBus ? "/usr/share/ibus/component/mozc.xml" : "/usr/share/fcitx5/addon/mozc.conf";
const char *const Daemon = UsesIBus ? "/usr/bin/ibus-daemon" : "/usr/bin/fcitx5";
QString g_ibusAddress;

// IBus's daemon, before QApplication, so that Qt's IBus module finds it as
// the application starts.
void startIBus()
{
    QFile file(ImeFramework::ibusAddressFilePath(IBusImeBackend::environment()));
    file.remove();
    if (fork() == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        execl(Daemon, Daemon, "--panel=disable", "--emoji-extension=disable", "--config=disable",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && g_ibusAddress.isEmpty(); ++i) {
        QThread::msleep(100);
        if (file.open(QIODevice::ReadOnly))
            g_ibusAddress = ImeFramework::ibusAddressFromFile(file.readAll()).address;
        file.close();
    }
    if (g_ibusAddress.isEmpty())
        g_skip = u"ibus-daemon left no address in "_qs + file.fileName();
}

// Before QApplication: the platform input context connects to this bus.
void startPrivateBus()
{
    if (geteuid() == 0) {
        g_skip = u"Mozc's server does not run as root"_qs;
        return;
    }
    if (!QFile::exists(QString::fromLatin1(Daemon)) || !QFile::exists(QString::fromLatin1(MozcAddon))) {
        g_skip = UsesIBus ? u"IBus with Mozc is not installed"_qs : u"Fcitx 5 with Mozc is not installed"_qs;
        return;
    }
    if (QStandardPaths::findExecutable(u"xdotool"_qs).isEmpty()) {
        g_skip = u"xdotool is not installed"_qs;
        return;
    }
    FILE *out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    char address[512] = {};
    char pid[32] = {};
    if (!out || !fgets(address, sizeof address, out) || !fgets(pid, sizeof pid, out)) {
        g_skip = u"no private session bus"_qs;
        if (out)
            pclose(out);
        return;
    }
    pclose(out);
    g_busPid = pid_t(QByteArray(pid).trimmed().toInt());
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray(address).trimmed());
    qputenv("QT_IM_MODULE", UsesIBus ? "ibus" : "fcitx");
    if (UsesIBus && !qEnvironmentVariableIsEmpty("DISPLAY"))
        startIBus();
}

} // namespace

class RealInputMethodTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QProcess m_fcitx;
    std::unique_ptr<fmMain> m_window;
    ScriptedDesktop m_desktop;

    QDBusMessage controller(const QString &method) const
    {
        auto call = QDBusMessage::createMethodCall(FcitxImeBackend::Service, FcitxImeBackend::ControllerPath,
                                                   FcitxImeBackend::ControllerInterface, method);
        call.setAutoStartService(false);
        return QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    }

    // Fcitx: 0 no input context focused, 1 inactive, 2 active. IBus has no
    // such state for others to read: there the typed text tells.
    int state() const
    {

        const QDBusReply<int> reply = controller(u"State"_qs);
        return reply.isValid() ? reply.value() : -1;
    }

    static void xdotool(const QStringList &args)
    {
        QProcess::execute(u"xdotool"_qs, args);
        QTest::qWait(150);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!g_skip.isEmpty())
            QSKIP(qPrintable(g_skip));
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X display (xcb)");
        if (UsesIBus) {
            // Mozc for every input context, as on a desktop with Mozc alone.
            auto call = QDBusMessage::createMethodCall(IBusImeBackend::Service, IBusImeBackend::Path,
                                                       IBusImeBackend::Interface, u"SetGlobalEngine"_qs);
            call << u"mozc-jp"_qs;
            const QDBusMessage reply = QDBusConnection::connectToBus(g_ibusAddress, u"test"_qs).call(call);
            QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
            return;
        }
        // A profile of its own: US keyboard, then Mozc.
        QVERIFY(QDir(m_home.path()).mkpath(u".config/fcitx5"_qs));
        QFile profile(m_home.filePath(u".config/fcitx5/profile"_qs));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write("[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=mozc\n\n"
                      "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n"
                      "[Groups/0/Items/1]\nName=mozc\nLayout=\n\n[GroupOrder]\n0=Default\n");
        profile.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_qs, m_home.path());
        env.insert(u"XDG_CONFIG_HOME"_qs, m_home.filePath(u".config"_qs));
        env.insert(u"XDG_DATA_HOME"_qs, m_home.filePath(u".local/share"_qs));
        m_fcitx.setProcessEnvironment(env);
        m_fcitx.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_fcitx.start(u"fcitx5"_qs, {});
        QVERIFY(m_fcitx.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(state() >= 0, 20000);
    }

    void cleanupTestCase()
    {
        if (m_window)
            m_window->close();
        m_window.reset();
        m_fcitx.terminate();
        m_fcitx.waitForFinished(5000);
        if (g_busPid > 0)
            ::kill(g_busPid, SIGTERM);
    }

    void typingSwitchesTheRealInputMethod()
    {
        fmMainServices services;
        services.desktop = &m_desktop;
        m_window = std::make_unique<fmMain>(std::move(services));
        vAdd *grid = m_window->grid();
        grid->SetCell(2, 1, u"東京都\u3000千代田区"_qs);
        QVERIFY(showAndActivate(*m_window));
        if (UsesIBus) {
            // A daemon still starting up is taken up once it answers.
            auto *backend = m_window->findChild<DesktopImeBackend *>();
            QVERIFY(backend);
            QTRY_COMPARE_WITH_TIMEOUT(backend->ibus()->presence(), IBusImeBackend::Presence::Present, 30000);
        }
        grid->setFocus();
        // The window's input context has the focus, and starts closed.
        if (!UsesIBus)
            QTRY_COMPARE_WITH_TIMEOUT(state(), 1, 10000);

        std::unique_ptr<QSignalSpy> switched;
        if (UsesIBus)
            switched = std::make_unique<QSignalSpy>(m_window->findChild<DesktopImeBackend *>()->ibus(),
                                                    &IBusImeBackend::switched);
        xdotool({u"key"_qs, u"Down"_qs});
        xdotool({u"key"_qs, u"Right"_qs}); // the address of row 2: opened, pre-filled
        QTRY_COMPARE(grid->CurCol(), 2);
        if (!UsesIBus)
            QTRY_COMPARE_WITH_TIMEOUT(state(), 2, 10000);
        else // typing starts once the daemon took the switch, as a person's would
            QTRY_VERIFY_WITH_TIMEOUT(!switched->isEmpty() && switched->last().first() == u"InputMode.Hiragana"_qs,
                                     10000);
        QCOMPARE(grid->GetCell(2, 2), u"東京都\u3000"_qs);
        // Mozc composes "minato" into hiragana; Return commits it, a second
        // Return ends the cell's editing and moves down to row 3, as Enter
        // does in the grid.
        xdotool({u"type"_qs, u"--delay"_qs, u"120"_qs, u"minato"_qs});
        xdotool({u"key"_qs, u"Return"_qs});
        xdotool({u"key"_qs, u"Return"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(grid->GetCell(2, 2), u"東京都\u3000みなと"_qs, 10000);
        QTRY_COMPARE(grid->CurRow(), 3);

        xdotool({u"key"_qs, u"Right"_qs}); // workplace: stays open
        QTRY_COMPARE(grid->CurCol(), 3);
        if (!UsesIBus)
            QCOMPARE(state(), 2);
        xdotool({u"key"_qs, u"Right"_qs}); // telephone: closed, half-width digits
        QTRY_COMPARE(grid->CurCol(), 4);
        if (!UsesIBus)
            QTRY_COMPARE_WITH_TIMEOUT(state(), 1, 10000);
        xdotool({u"type"_qs, u"--delay"_qs, u"80"_qs, u"0312"_qs});
        xdotool({u"key"_qs, u"Return"_qs});
        QTRY_COMPARE(grid->GetCell(4, 3), u"0312"_qs);
    }
};

int main(int argc, char *argv[])
{
    startPrivateBus();
    qputenv("QT_FONT_DPI", "96");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QLocale::setDefault(QLocale::c());
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Only now: Qt's IBus module reads the daemon's address from the real
    // configuration folder as the application starts.
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setOrganizationName(QStringLiteral("QuorvaleTools"));
    QApplication::setApplicationName(QStringLiteral("kotoven-test"));
    RealInputMethodTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RealInputMethodTest.moc"
