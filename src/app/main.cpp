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
    // front; this start ends.
    const std::optional<QString> file = FileNames::fileArgument(QApplication::arguments(), QDir::currentPath());
    SingleInstance instance;
    if (instance.handOver(file))
        return 0;

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
    // The window answers after the socket's own handling has ended.
    instance.received = [target = QPointer<fmMain>(window)](const QString &handed) {
        QTimer::singleShot(0, target, [target, handed] {
            if (target)
                target->takeHandOver(handed);
        });
    };
    instance.listen();
    window->show();
    if (file)
        QTimer::singleShot(0, window, [window, path = *file] { window->openFile(path); });
    return QApplication::exec();
}
