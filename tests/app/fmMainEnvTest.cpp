#include "app/fmMain.h"
#include "widgets/map/MapCommands.h"
#include "core/env/Cp932.h"
#include "core/env/Program.h"
#include "core/env/yIni.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "harness/WidgetTestMain.h"
#include "support/TestData.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace {

QByteArray document(const QString &body)
{
    return Cp932::encode(QString(u"<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n"_qs + body + u"</運用>"_qs)).bytes;
}

QString positionGroup(const QString &top, const QString &left, const QString &width, const QString &height)
{
    return u"   <位置>\r\n      <TOP>"_qs + top + u"</TOP>\r\n      <LEFT>"_qs + left + u"</LEFT>\r\n      <WIDTH>"_qs
           + width + u"</WIDTH>\r\n      <HEIGHT>"_qs + height + u"</HEIGHT>\r\n   </位置>\r\n"_qs;
}

} // namespace

// The main window's user environment end to end: data folder, "User.xml",
// window position and help, with a program folder of the test's own.
class fmMainEnvTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    std::unique_ptr<QTemporaryDir> program;
    QString previousProgramFolder;

    QString dataFolder() const { return program->path() + u"/usData/"_qs; }
    QString userXml() const { return dataFolder() + u"User.xml"_qs; }

    void setIni(const QByteArray &content)
    {
        QVERIFY(writeBytes(program->filePath(u"UserData.ini"_qs), content));
    }

    void open()
    {
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
    }

    void close()
    {
        window->close();
        window.reset();
    }

    // The position group the window's current outer rectangle is stored as.
    QString expectedGroup() const
    {
        const QRect r = window->frameGeometry();
        return positionGroup(QString::number(std::max(0, r.y() * 15)), QString::number(std::max(0, r.x() * 15)),
                             QString::number(r.width() * 15), QString::number(r.height() * 15));
    }

private Q_SLOTS:
    void init()
    {
        previousProgramFolder = Program().ProgramFolder;
        program = std::make_unique<QTemporaryDir>();
        QVERIFY(program->isValid());
        Program().ProgramFolder = program->path();
        setIni("%app%");
    }

    void cleanup()
    {
        if (window)
            close();
        Program().ProgramFolder = previousProgramFolder;
        program.reset();
    }

    void firstStartCreatesTheFolderAndCloseWritesTheDocument()
    {
        QVERIFY(!QFileInfo::exists(dataFolder()));
        open();
        QCOMPARE(desktop.messages(), QStringList());
        QCOMPARE(Program().UserDataFolder, dataFolder());
        QVERIFY(QFileInfo(userXml()).isFile());
        QCOMPARE(readBytes(userXml()), QByteArray()); // created empty at start-up
        QVERIFY(Program().Settings != nullptr);
        QCOMPARE(window->logicalDpiX(), 96);

        const QString group = expectedGroup();
        close();
        QCOMPARE(readBytes(userXml()), document(group));
        QVERIFY(Program().Settings == nullptr); // released at shutdown
    }

    void secondStartReopensWhereTheFirstClosed()
    {
        QVERIFY(QDir().mkpath(dataFolder()));
        const QString other = u"   <他>\r\n      <X>‡ 1</X>\r\n   </他>\r\n"_qs;
        QVERIFY(writeBytes(userXml(), document(other + positionGroup(u"1200"_qs, u"1500"_qs, u"9600"_qs, u"7200"_qs))));
        open();
        QCOMPARE(window->frameGeometry(), QRect(100, 80, 640, 480));

        window->move(130, 95);
        window->resize(701, 502);
        QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(130, 95));
        const QString group = expectedGroup();
        close();
        QCOMPARE(readBytes(userXml()), document(other + group));
        QVERIFY(group.contains(u"<WIDTH>10515</WIDTH>"_qs));

        open();
        QCOMPARE(window->frameGeometry(), QRect(130, 95, 701, 502));
    }

    void offTheLeftAndTopEdgeIsStoredAsZero()
    {
        open();
        window->move(-40, -25);
        QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(-40, -25));
        const QSize size = window->frameGeometry().size();
        close();
        const QString text = Cp932::decode(readBytes(userXml())).text;
        QVERIFY2(text.contains(u"<TOP>0</TOP>\r\n      <LEFT>0</LEFT>\r\n      <WIDTH>"_qs + QString::number(size.width() * 15)
                               + u"</WIDTH>"_qs),
                 qPrintable(text));

        open();
        QCOMPARE(window->frameGeometry(), QRect(QPoint(0, 0), size));
    }

    void zeroWidthOrHeightLeavesTheDesignedPlace_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addRow("zero width") << u"0"_qs << u"7200"_qs;
        QTest::addRow("zero height") << u"9600"_qs << u"0"_qs;
        QTest::addRow("empty width") << u""_qs << u"7200"_qs;
        QTest::addRow("width not a number") << u"abc"_qs << u"7200"_qs;
        QTest::addRow("width below half a twip") << u"0.4"_qs << u"7200"_qs;
        QTest::addRow("width out of range") << u"1e300"_qs << u"7200"_qs;
    }

    void zeroWidthOrHeightLeavesTheDesignedPlace()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        open();
        const QRect designed = window->frameGeometry();
        close();
        QVERIFY(writeBytes(userXml(), document(positionGroup(u"1200"_qs, u"1500"_qs, width, height))));
        open();
        QCOMPARE(window->frameGeometry(), designed);
        QCOMPARE(desktop.messages(), QStringList());
    }

    void mapAddressesComeFromTheMapGroupAndAreNeverWritten()
    {
        QVERIFY(QDir().mkpath(dataFolder()));
        const QString map = u"   <地図>\r\n      <REDIRECT>http://127.0.0.1:8080/r/</REDIRECT>\r\n"
                            u"      <BASE>http://127.0.0.1:8080/</BASE>\r\n   </地図>\r\n"_qs;
        QVERIFY(writeBytes(userXml(), document(map)));
        open();
        QCOMPARE(window->map().mapAddresses().redirect, u"http://127.0.0.1:8080/r/"_qs);
        QCOMPARE(window->map().mapAddresses().base, u"http://127.0.0.1:8080/"_qs);
        const QString group = expectedGroup();
        close();
        QCOMPARE(readBytes(userXml()), document(map + group));

        // Without the group the defaults hold and nothing is added for them.
        QVERIFY(writeBytes(userXml(), QByteArray()));
        open();
        QCOMPARE(window->map().mapAddresses().base, u"http://map.yahoo.co.jp/"_qs);
        QCOMPARE(window->map().mapAddresses().redirect, u"http://rd.yahoo.co.jp/maps/recommend/map_search/"_qs);
        const QString only = expectedGroup();
        close();
        QCOMPARE(readBytes(userXml()), document(only));
    }

    void damagedDocumentIsReportedAndRepairedByACopy()
    {
        QVERIFY(QDir().mkpath(dataFolder()));
        QVERIFY(writeBytes(userXml(), document(u"   <位置>\r\n      <TOP>1200</TOP>\r\n"_qs)));
        open();
        QCOMPARE(desktop.messages(),
                 QStringList{u"<位置> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ("_qs + userXml() + u") が破損しています"_qs});
        const QString group = expectedGroup();
        close();
        QCOMPARE(readBytes(userXml()), document(u"   <位置>\r\n      <TOP>1200</TOP>\r\n"_qs + group));
    }

    void userDataIniMessages_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message"); // {ini}, {default}
        const QString useDefault = u"ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは\u3000{default} を使用します"_qs;
        QTest::addRow("M2: no file") << false << QByteArray() << u"{ini} が見つかりません\r"_qs + useDefault;
        QTest::addRow("M1: empty") << true << QByteArray()
                                   << u" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません\r{default} を使用します"_qs;
        QTest::addRow("M3: missing folder") << true << QByteArray("/No/Such/Folder")
                                            << u"ﾌｫﾙﾀﾞ /No/Such/Folder が見つかりません\r"_qs + useDefault;
    }

    void userDataIniMessages()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFile::remove(program->filePath(u"UserData.ini"_qs));
        if (exists)
            setIni(content);
        open();
        const QString defaultFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                      + u"/Quorvale/"_qs + Program().ProgramName + u'/';
        message.replace(u"{ini}"_qs, program->filePath(u"UserData.ini"_qs)).replace(u"{default}"_qs, defaultFolder);
        QCOMPARE(desktop.messages(), QStringList{message});
        QCOMPARE(Program().UserDataFolder, defaultFolder);
        QVERIFY(QFileInfo(defaultFolder + u"User.xml"_qs).isFile());
        QVERIFY(window->activated());
        close();
        QDir(defaultFolder).removeRecursively();
    }

    void helpOpensTheHelpPageThroughItsShortcut()
    {
        open();
        // Where the pages stand beside the program when it is not installed.
        const QUrl page = QUrl::fromLocalFile(::programFolder() + u"help/kotoven.htm"_qs);
        const QString shortcut = dataFolder() + Program().ProgramName + u"_help.lnk"_qs;
        for (int click = 1; click <= 2; ++click) {
            window->menus().topAction(4)->trigger();
            QCOMPARE(desktop.opened.size(), click);
            QCOMPARE(desktop.opened.last(), page);
            QCOMPARE(readBytes(shortcut), QByteArray("[Desktop Entry]\nVersion=1.0\nType=Link\nName=")
                                              + Program().ProgramName.toUtf8() + "_help\nURL=" + page.toEncoded()
                                              + "\n");
        }
        QCOMPARE(desktop.messages(), QStringList());
    }

    void helpPageIsAJapaneseHtmlDocument()
    {
        const QString text = QString::fromUtf8(readBytes(sourcePath(u"help/kotoven.htm"_qs)));
        QVERIFY(text.startsWith(u"<!DOCTYPE html>"_qs));
        QVERIFY(text.contains(u"<html lang=\"ja\">"_qs));
        // Every menu command and key is explained.
        for (const QString &word : {u"開く"_qs, u"上書き保存"_qs, u"名を付けて保存"_qs, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"_qs,
                                    u"終了"_qs, u"初期化"_qs, u"行消去"_qs, u"行挿入"_qs, u"行削除"_qs,
                                    u"任意に検索"_qs, u"住所から検索"_qs, u"郵便番号から検索"_qs, u"住所で検索"_qs,
                                    u"勤務先等で検索"_qs, u"登録されているURLで検索"_qs, u"Ctrl+O"_qs, u"Ctrl+S"_qs,
                                    u"F2"_qs, u"F3"_qs, u"F4"_qs, u"F5"_qs, u"F7"_qs, u"F8"_qs, u"UserData.ini"_qs,
                                    u"User.xml"_qs, u"KEN_ALL.CSV"_qs, u"utf_ken_all.csv"_qs, u"JIGYOSYO.CSV"_qs,
                                    u"SKK-JISYO.zipcode"_qs, u"SKK-JISYO.office.zipcode"_qs, u"郵便番号データの更新"_qs,
                                    u"郵便番号,住所,勤務先等,電話番号,MAP URL"_qs, u"取り込み"_qs, u"書き出し"_qs,
                                    u"宛名ラベル印刷"_qs, u"Ctrl+I"_qs, u"F6"_qs,
                                    u"前回、保存されずに終了した変更があります。復元しますか"_qs})
            QVERIFY2(text.contains(word), qPrintable(word));
    }
};

KOTOVEN_WIDGET_TEST_MAIN(fmMainEnvTest)
#include "fmMainEnvTest.moc"
