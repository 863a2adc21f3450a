#pragma once

#include "core/env/Program.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// One main for every widget test: Xvfb (or offscreen) at 96 dpi, C locale,
// test-mode standard paths, the WebEngine sandbox off (tests run as root).
// The program folder is a fresh temporary one whose "UserData.ini" puts the
// user data folder inside it, so every run starts as a first start and no
// run sees another's settings; the per-user settings store lives there too.
#define KOTOVEN_WIDGET_TEST_MAIN(TestClass)                                                                  \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        qputenv("QT_FONT_DPI", "96");                                                                        \
        qputenv("QT_SCALE_FACTOR", "1");                                                                     \
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");                                                         \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                  \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                         \
        QLocale::setDefault(QLocale::c());                                                                   \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                              \
        QApplication app(argc, argv);                                                                        \
        QApplication::setOrganizationName(QStringLiteral("QuorvaleTools"));                                  \
        QApplication::setApplicationName(QStringLiteral("kotoven-test"));                                    \
        QTemporaryDir programFolder;                                                                         \
        QFile userDataIni(programFolder.filePath(QStringLiteral("UserData.ini")));                           \
        if (!userDataIni.open(QIODevice::WriteOnly) || userDataIni.write("%app%") != 5)                      \
            return 1;                                                                                        \
        userDataIni.close();                                                                                 \
        Program().ProgramFolder = programFolder.path();                                                      \
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, programFolder.path());              \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
