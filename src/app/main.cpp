#include "app/QtDesktop.h"
#include "app/fmMain.h"
#include "widgets/map/uWeb.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
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
    return QApplication::exec();
}
