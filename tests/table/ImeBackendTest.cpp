#include "app/fmMain.h"
#include "core/env/Program.h"
#include "widgets/grid/vAdd.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"
#include "widgets/table/DesktopImeBackend.h"
#include "widgets/table/FcitxImeBackend.h"
#include "widgets/table/IBusImeBackend.h"
#include "core/table/ImeMode.h"
#include "widgets/table/WidgetImeBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusVariant>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QInputMethodQueryEvent>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QStatusBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An input-method service of the test's own: the Fcitx 5 controller's
// Activate and Deactivate, recorded in the order they arrive. Silent, it
// takes the calls and never answers.
class FakeFcitx final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fcitx.Fcitx.Controller1")
public:
    QStringList log;
    bool silent = false;
    QList<QDBusMessage> unanswered;
    int state = 1; // Fcitx: 1 inactive, 2 active

public Q_SLOTS:
    void Activate(const QDBusMessage &message) { record(u"Activate"_qs, message, 2); }
    void Deactivate(const QDBusMessage &message) { record(u"Deactivate"_qs, message, 1); }
    int State() { return state; }

private:
    void record(const QString &name, const QDBusMessage &message, int newState)
    {
        log.append(name);
        state = newState;
        if (silent) {
            message.setDelayedReply(true);
            unanswered.append(message);
        }
    }
};

// IBus: the daemon names the focused input context, which records the
// properties activated on it.
class FakeIBus final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.IBus")
public Q_SLOTS:
    QDBusObjectPath CurrentInputContext() { return QDBusObjectPath(u"/org/freedesktop/IBus/InputContext_3"_qs); }
};

// As the daemon does, a context gets its engine only a while after it is
// first used (here: two calls later), and drops properties activated before.
class FakeInputContext final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.IBus.InputContext")
public:
    QStringList log;
    int callsWithoutEngine = 2;
public Q_SLOTS:
    QDBusVariant GetEngine()
    {
        if (!engine())
            sendErrorReply(QDBusError::Failed, u"Input context does not have engine."_qs);
        return QDBusVariant(u"mozc-jp"_qs);
    }
    void PropertyActivate(const QString &property, uint state)
    {
        if (engine())
            log.append(property + QString::number(state));
    }

private:
    bool engine() { return callsWithoutEngine-- <= 0; }
};

// Sets an environment variable for a scope.
struct ScopedEnv
{
    ScopedEnv(const char *name, const QByteArray &value) : name(name), old(qgetenv(name)) { qputenv(name, value); }
    ~ScopedEnv() { old.isNull() ? qunsetenv(name) : qputenv(name, old); }
    const char *name;
    QByteArray old;
};

bool imeEnabledFor(QWidget *widget)
{
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(widget, &query);
    return query.value(Qt::ImEnabled).toBool();
}

} // namespace

class ImeBackendTest : public QObject
{
    Q_OBJECT

private:
    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<FakeFcitx> m_fake;
    int m_connections = 0;

    QDBusConnection connect(const QString &role)
    {
        return QDBusConnection::connectToBus(m_address, role + QString::number(++m_connections));
    }

    // The fake service takes the name on a connection of its own, as a
    // separate process would.
    void startFake()
    {
        m_fake = std::make_unique<FakeFcitx>();
        QDBusConnection bus = connect(u"fake"_qs);
        QVERIFY(bus.registerObject(FcitxImeBackend::ControllerPath, m_fake.get(), QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(FcitxImeBackend::Service));
        m_fakeBus = bus.name();
    }

    void stopFake()
    {
        if (m_fakeBus.isEmpty())
            return;
        QDBusConnection::disconnectFromBus(m_fakeBus);
        m_fakeBus.clear();
    }

    QString m_fakeBus;

private Q_SLOTS:
    void initTestCase()
    {
        // The bus ends with the test, even with one that crashes.
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_daemon.start(u"dbus-daemon"_qs, {u"--session"_qs, u"--print-address=1"_qs, u"--nofork"_qs});
        QVERIFY2(m_daemon.waitForStarted(5000), "dbus-daemon (package dbus) is needed for this test");
        while (!m_daemon.canReadLine())
            QVERIFY(m_daemon.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
        // The window's own backend takes the session bus: this private one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    }

    void cleanupTestCase()
    {
        stopFake();
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    void cleanup()
    {
        stopFake();
        m_fake.reset();
    }

    void widgetHints_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("hints");

        const int latin = Qt::ImhLatinOnly | Qt::ImhPreferLatin;
        QTest::addRow("close") << 0 << false << latin;
        QTest::addRow("full-width hiragana") << 1 << true << int(Qt::ImhNone);
        QTest::addRow("full-width katakana") << 5 << true << int(Qt::ImhNone);
        QTest::addRow("half-width katakana") << 6 << true << int(Qt::ImhNone);
        QTest::addRow("full-width alphanumeric") << 7 << true << int(Qt::ImhPreferLatin);
        QTest::addRow("half-width alphanumeric") << 8 << true << latin;
        QTest::addRow("open, mode kept") << 9 << true << int(Qt::ImhNone);
    }

    void widgetHints()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        QFETCH(int, hints);

        QLineEdit editor;
        editor.setInputMethodHints(Qt::ImhNoPredictiveText);
        WidgetImeBackend backend;
        backend.attach(&editor);
        backend.apply(ImeMode::forMode(mode));
        QCOMPARE(editor.testAttribute(Qt::WA_InputMethodEnabled), enabled);
        QCOMPARE(imeEnabledFor(&editor), enabled);
        // Hints of the editor's own stay.
        QCOMPARE(int(editor.inputMethodHints()), hints | int(Qt::ImhNoPredictiveText));
    }

    void widgetBackendFollowsNewAndLostWidgets()
    {
        WidgetImeBackend backend;
        auto first = std::make_unique<QLineEdit>();
        backend.attach(first.get());
        backend.apply(ImeMode::forMode(8)); // half-width alphanumeric
        backend.apply(ImeMode::forMode(0));
        QVERIFY(!first->testAttribute(Qt::WA_InputMethodEnabled));
        first.reset(); // an editor closed and deleted
        backend.apply(ImeMode::forMode(9)); // open, keep the conversion mode: still Latin
        QLineEdit second;
        backend.attach(&second);
        QVERIFY(second.testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(second.inputMethodHints(), Qt::ImhLatinOnly | Qt::ImhPreferLatin);
        backend.apply(ImeMode::forMode(1));
        QCOMPARE(second.inputMethodHints(), Qt::ImhNone);
        backend.release();
        backend.apply(ImeMode::forMode(0));
        QVERIFY(!second.testAttribute(Qt::WA_InputMethodEnabled));
        backend.release();
        QVERIFY(second.testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(second.inputMethodHints(), Qt::ImhNone);
    }

    void noSessionBusMeansNoFramework()
    {
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir emptyRuntime;
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", emptyRuntime.path().toUtf8());
        const QDBusConnection bus = FcitxImeBackend::sessionBus();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_RUNTIME_DIR", runtime);
        QVERIFY(!bus.isConnected());
        FcitxImeBackend backend(bus);
        QCOMPARE(backend.presence(), FcitxImeBackend::Presence::Absent);
        backend.apply(ImeMode::forMode(1)); // nothing to reach, nothing happens
    }

    void callsReachTheService()
    {
        startFake();
        FcitxImeBackend backend(connect(u"client"_qs));
        QTRY_COMPARE(backend.presence(), FcitxImeBackend::Presence::Present);
        for (int mode : {1, 0, 0, 5, 9, 3, 8})
            backend.apply(ImeMode::forMode(mode));
        // Fcitx has no conversion mode to set: every open activates.
        const QStringList expected{u"Activate"_qs, u"Deactivate"_qs, u"Deactivate"_qs, u"Activate"_qs,
                                   u"Activate"_qs, u"Deactivate"_qs, u"Activate"_qs};
        QTRY_COMPARE(m_fake->log, expected);
        QCOMPARE(m_fake->state, 2);
    }

    void absentServiceIsNoticedAndNotCalled()
    {
        FcitxImeBackend backend(connect(u"client"_qs));
        QTRY_COMPARE(backend.presence(), FcitxImeBackend::Presence::Absent);
        backend.apply(ImeMode::forMode(1));
        // The service starting later is noticed, and is called from then on.
        startFake();
        QTRY_COMPARE(backend.presence(), FcitxImeBackend::Presence::Present);
        backend.apply(ImeMode::forMode(0));
        QTRY_COMPARE(m_fake->log, QStringList{u"Deactivate"_qs});
        // And its going away too.
        stopFake();
        QTRY_COMPARE(backend.presence(), FcitxImeBackend::Presence::Absent);
    }

    void aSilentServiceBlocksNothing()
    {
        startFake();
        m_fake->silent = true;
        FcitxImeBackend backend(connect(u"client"_qs));
        QTRY_COMPARE(backend.presence(), FcitxImeBackend::Presence::Present);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i)
            backend.apply(ImeMode::forMode(i % 2));
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE(m_fake->log.size(), 20);
        // The unanswered calls time out; the service is still taken as there.
        QTest::qWait(FcitxImeBackend::CallTimeoutMs + 300);
        QCOMPARE(backend.presence(), FcitxImeBackend::Presence::Present);
    }

    void desktopBackendFollowsTheService()
    {
        startFake();
        QLineEdit editor;
        DesktopImeBackend backend(connect(u"client"_qs));
        backend.attach(&editor);
        backend.apply(ImeMode::forMode(0)); // before the bus has answered
        QCOMPARE(backend.fcitx()->presence(), FcitxImeBackend::Presence::Unknown);
        // Fcitx is tried; the editor is left to it meanwhile.
        QVERIFY(imeEnabledFor(&editor));
        QTRY_COMPARE(backend.fcitx()->presence(), FcitxImeBackend::Presence::Present);
        QVERIFY(imeEnabledFor(&editor));
        QTRY_COMPARE(m_fake->log, QStringList{u"Deactivate"_qs});
        QTest::qWait(100);
        QCOMPARE(m_fake->log, QStringList{u"Deactivate"_qs}); // not told twice
        // Fcitx going away hands the last request to the widgets...
        stopFake();
        QTRY_COMPARE(backend.fcitx()->presence(), FcitxImeBackend::Presence::Absent);
        QVERIFY(!imeEnabledFor(&editor));
        backend.apply(ImeMode::forMode(1));
        QVERIFY(imeEnabledFor(&editor));
        backend.apply(ImeMode::forMode(0));
        // ...and its coming back takes it from them, with the last request.
        startFake();
        QTRY_COMPARE(backend.fcitx()->presence(), FcitxImeBackend::Presence::Present);
        QVERIFY(imeEnabledFor(&editor));
        QTRY_COMPARE(m_fake->log, QStringList{u"Deactivate"_qs});
    }

    // The window's own backend on the private session bus, driven by arrow
    // keys: the fake service sees the table's switches.
    void windowSwitchesThroughTheService()
    {
        startFake();
        ScriptedDesktop desktop;
        fmMainServices services;
        services.desktop = &desktop;
        auto window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        // Activation: column 2, then column 1.
        QTRY_COMPARE(m_fake->log, QStringList({u"Activate"_qs, u"Deactivate"_qs}));
        auto *backend = window->findChild<DesktopImeBackend *>();
        QVERIFY(backend);
        QTRY_COMPARE(backend->fcitx()->presence(), FcitxImeBackend::Presence::Present);

        vAdd *grid = window->grid();
        grid->setFocus();
        m_fake->log.clear();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Down);
        QTRY_COMPARE(m_fake->log, QStringList({u"Activate"_qs, u"Deactivate"_qs}));
        QTest::qWait(100);
        QCOMPARE(m_fake->log.size(), 2);
        // While Fcitx decides, the grid keeps taking compositions everywhere.
        QVERIFY(imeEnabledFor(grid));
        window->close();
    }

    // Without a framework on the bus, the half-width columns refuse
    // compositions: the grid and its editors say so to the input method.
    void windowFallsBackToTheWidgets()
    {
        ScriptedDesktop desktop;
        fmMainServices services;
        services.desktop = &desktop;
        auto window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        auto *backend = window->findChild<DesktopImeBackend *>();
        QVERIFY(backend);
        QTRY_COMPARE(backend->fcitx()->presence(), FcitxImeBackend::Presence::Absent);

        vAdd *grid = window->grid();
        grid->setFocus();
        QCOMPARE(grid->CurCol(), 1);
        QVERIFY(!imeEnabledFor(grid));
        QTest::keyClick(grid, Qt::Key_1);
        QVERIFY(grid->cellEditor());
        QVERIFY(!imeEnabledFor(grid->cellEditor()));
        QTest::keyClick(grid->cellEditor(), Qt::Key_Return);

        QTest::keyClick(grid, Qt::Key_Right);
        QVERIFY(imeEnabledFor(grid));
        QTest::keyClick(grid, Qt::Key_A);
        QVERIFY(imeEnabledFor(grid->cellEditor()));
        QCOMPARE(grid->cellEditor()->inputMethodHints() & Qt::ImhLatinOnly, Qt::ImhNone);
        QTest::keyClick(grid->cellEditor(), Qt::Key_Return);

        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(grid->CurCol(), 4);
        QVERIFY(!imeEnabledFor(grid));
        QTest::keyClick(grid, Qt::Key_0);
        QVERIFY(!imeEnabledFor(grid->cellEditor()));
        QVERIFY(grid->cellEditor()->inputMethodHints() & Qt::ImhLatinOnly);
        window->close();
    }

    // A session naming IBus, found through the address file the daemon
    // leaves for the display: Mozc is switched in the focused context, only
    // while the window has the focus; IBus going away hands over to Fcitx.
    void windowSwitchesMozcThroughIBus()
    {
        QTemporaryDir config;
        const ScopedEnv module("QT_IM_MODULE", "ibus"), home("XDG_CONFIG_HOME", config.path().toUtf8());
        QFile file(ImeFramework::ibusAddressFilePath(IBusImeBackend::environment()));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
        file.write("IBUS_ADDRESS=" + m_address.toUtf8() + "\nIBUS_DAEMON_PID="
                   + QByteArray::number(QCoreApplication::applicationPid()));
        file.close();
        startFake();
        FakeIBus ibus;
        FakeInputContext context;
        QString ibusBus;
        {
            QDBusConnection bus = connect(u"ibus"_qs);
            QVERIFY(bus.registerObject(IBusImeBackend::Path, &ibus, QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerObject(ibus.CurrentInputContext().path(), &context, QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService(IBusImeBackend::Service));
            ibusBus = bus.name();
        }

        // The connection of Qt's IBus module, which made the input context.
        QVERIFY(QDBusConnection::connectToBus(m_address, IBusImeBackend::QtModuleConnection).isConnected());

        ScriptedDesktop desktop;
        fmMainServices services;
        services.desktop = &desktop;
        auto window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        auto *backend = window->findChild<DesktopImeBackend *>();
        QTRY_COMPARE(backend->ibus()->presence(), IBusImeBackend::Presence::Present);
        // Activation ends in column 1, made again once the window has the focus.
        QTRY_VERIFY(!context.log.isEmpty() && context.log.last() == u"InputMode.Direct1");
        context.log.clear();
        vAdd *grid = window->grid();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Right);
        QTRY_COMPARE(context.log, QStringList({u"InputMode.Hiragana1"_qs}));
        for (int i = 0; i < 2; ++i) // the workplace switches nothing
            QTest::keyClick(grid, Qt::Key_Right);
        QTRY_COMPARE(context.log, QStringList({u"InputMode.Hiragana1"_qs, u"InputMode.Direct1"_qs}));
        window->hide();
        QTRY_VERIFY(!QGuiApplication::focusWindow());
        grid->GoToCell(2, 1);
        QTest::qWait(100);
        QCOMPARE(context.log.size(), 2);
        QVERIFY(showAndActivate(*window));
        QTRY_COMPARE(context.log.size(), 3);
        QCOMPARE(context.log.last(), u"InputMode.Hiragana1"_qs);
        QCOMPARE(m_fake->log, QStringList());

        QDBusConnection::disconnectFromBus(ibusBus);
        QTRY_COMPARE(backend->ibus()->presence(), IBusImeBackend::Presence::Absent);
        QTRY_COMPARE(m_fake->log, QStringList{u"Activate"_qs});
        window->close();
        QDBusConnection::disconnectFromBus(IBusImeBackend::QtModuleConnection);
    }

    // A daemon that takes the connection and never answers: the window
    // starts all the same, IBus is given up after a second, the widgets'
    // settings take over and the status bar says so.
    void silentIBusDaemonLeavesTheWidgets()
    {
        QTemporaryDir config;
        const ScopedEnv module("QT_IM_MODULE", "ibus"), home("XDG_CONFIG_HOME", config.path().toUtf8());
        QLocalServer silent;
        QVERIFY(silent.listen(config.filePath(u"silent-bus"_qs)));
        std::vector<QLocalSocket *> held;
        QObject::connect(&silent, &QLocalServer::newConnection, &silent, [&] {
            while (QLocalSocket *socket = silent.nextPendingConnection())
                held.push_back(socket);
        });
        QFile file(ImeFramework::ibusAddressFilePath(IBusImeBackend::environment()));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
        file.write("IBUS_ADDRESS=unix:path=" + silent.fullServerName().toUtf8()
                   + ",guid=0c\nIBUS_DAEMON_PID=" + QByteArray::number(QCoreApplication::applicationPid()));
        file.close();
        QVERIFY(QDBusConnection::connectToBus(m_address, IBusImeBackend::QtModuleConnection).isConnected());

        ScriptedDesktop desktop;
        fmMainServices services;
        services.desktop = &desktop;
        auto window = std::make_unique<fmMain>(std::move(services));
        QSignalSpy notices(window->statusBar(), &QStatusBar::messageChanged);
        auto *backend = window->findChild<DesktopImeBackend *>();
        QVERIFY(backend);
        QCOMPARE(backend->ibus()->presence(), IBusImeBackend::Presence::Unknown);
        QVERIFY(showAndActivate(*window));
        QTRY_COMPARE_WITH_TIMEOUT(backend->ibus()->presence(), IBusImeBackend::Presence::Absent, 30000);
        QVERIFY(!held.empty()); // the daemon was asked
        QTRY_VERIFY(std::any_of(notices.begin(), notices.end(), [](const QList<QVariant> &args) {
            return args.value(0).toString() == DesktopImeBackend::IBusUnanswered;
        }));
        QTRY_COMPARE(backend->fcitx()->presence(), FcitxImeBackend::Presence::Absent);
        QCOMPARE(backend->decider(), ImeFramework::Kind::None);
        vAdd *grid = window->grid();
        grid->setFocus();
        QCOMPARE(grid->CurCol(), 1);
        QVERIFY(!imeEnabledFor(grid));
        QTest::keyClick(grid, Qt::Key_Right);
        QVERIFY(imeEnabledFor(grid));
        window->close();
        QDBusConnection::disconnectFromBus(IBusImeBackend::QtModuleConnection);
    }

    // A daemon that answers at once, while the window's start keeps its thread
    // busy for longer than the second (a slow or loaded machine): the answer
    // waiting on the socket counts, and IBus is not reported as silent.
    void busyStartStillHearsTheDaemon()
    {
        QTemporaryDir config;
        const ScopedEnv module("QT_IM_MODULE", "ibus"), home("XDG_CONFIG_HOME", config.path().toUtf8());
        // The daemon answers on a thread of its own, whatever this one does.
        const QByteArray path = config.filePath(u"answering-bus"_qs).toUtf8();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QVERIFY(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(listener, 8) == 0);
        std::atomic<int> asked = 0;
        std::atomic<bool> stop = false;
        std::thread daemon([&] {
            while (!stop) {
                pollfd wait{listener, POLLIN, 0};
                if (::poll(&wait, 1, 50) <= 0)
                    continue;
                const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0)
                    continue;
                ++asked;
                char bytes[256];
                pollfd question{client, POLLIN, 0};
                if (::poll(&question, 1, 5000) > 0 && ::read(client, bytes, sizeof bytes) > 0)
                    (void)!::write(client, "REJECTED\r\n", 10); // an answer; no bus is opened
                ::close(client);
            }
        });
        const auto cleanUp = qScopeGuard([&] {
            stop = true;
            daemon.join();
            ::close(listener);
        });
        QFile file(ImeFramework::ibusAddressFilePath(IBusImeBackend::environment()));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
        file.write("IBUS_ADDRESS=unix:path=" + path + ",guid=0c\nIBUS_DAEMON_PID="
                   + QByteArray::number(QCoreApplication::applicationPid()));
        file.close();
        QVERIFY(QDBusConnection::connectToBus(m_address, IBusImeBackend::QtModuleConnection).isConnected());

        ScriptedDesktop desktop;
        fmMainServices services;
        services.desktop = &desktop;
        auto window = std::make_unique<fmMain>(std::move(services));
        QSignalSpy notices(window->statusBar(), &QStatusBar::messageChanged);
        auto *backend = window->findChild<DesktopImeBackend *>();
        QVERIFY(backend);
        QThread::msleep(2500); // the start goes on without turning the event loop
        QTRY_COMPARE_WITH_TIMEOUT(backend->ibus()->presence(), IBusImeBackend::Presence::Absent, 30000);
        QVERIFY(asked > 0);
        QVERIFY(std::none_of(notices.begin(), notices.end(), [](const QList<QVariant> &args) {
            return args.value(0).toString() == DesktopImeBackend::IBusUnanswered;
        }));
        window->close();
        QDBusConnection::disconnectFromBus(IBusImeBackend::QtModuleConnection);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(ImeBackendTest)
#include "ImeBackendTest.moc"
