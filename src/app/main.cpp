#include "app/QtDesktop.h"
#include "app/SingleInstance.h"
#include "core/app/FileNames.h"
#include "app/fmMain.h"
#include "widgets/map/uWeb.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // Chromium refuses to start its sandbox for root; the browser pane then
    // runs without it.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    uWeb::useJapanesePages();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuorvaleTools"));
    QApplication::setApplicationName(QStringLiteral("kotoven"));
    QApplication::setDesktopFileName(QStringLiteral("kotoven"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("kotoven"));
    if (icon.isNull()) {
        icon.addFile(QStringLiteral(":/icons/kotoven.svg"));
        icon.addFile(QStringLiteral(":/icons/kotoven-64.png"));
    }
    QApplication::setWindowIcon(icon);

    // One window per user: a running program takes the file and comes to the
    // front, and this start ends; or this start becomes that program, and
    // listens before it builds its window.
    const std::optional<QString> file = FileNames::fileArgument(QApplication::arguments(), QDir::currentPath());
    SingleInstance instance;
    const SingleInstance::Start start = instance.start(file);
    if (start == SingleInstance::Start::HandedOver)
        return 0;
    if (file)
        instance.enqueue(*file);

    // Standard buttons and dialogs in Japanese.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QtDesktop desktop;
    fmMainServices services;
    services.desktop = &desktop;
    auto *window = new fmMain(std::move(services));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    // The one window keeps a recovery journal and, once shown, offers back
    // what a run that ended without saving left in one.
    if (start == SingleInstance::Start::Running) {
        window->keepJournal();
        QTimer::singleShot(0, window, &fmMain::offerRecovery);
    }
    // Files handed over (this start's own first) are opened one at a time,
    // each once no question of the window is open.
    instance.received = [target = QPointer<fmMain>(window)](const QString &handed) {
        if (target)
            target->takeHandOver(handed);
    };
    QTimer::singleShot(0, &instance, &SingleInstance::deliver);
    return QApplication::exec();
}
