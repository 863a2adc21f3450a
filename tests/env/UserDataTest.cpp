#include "core/env/Program.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"
#include "support/ScriptedDesktop.h"
#include "core/env/yIni.h"
#include "support/TestData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// One home for the whole run: test-mode standard paths and the settings
// store (which fixes its path at first use) live inside it.
class TestHome final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        QStandardPaths::setTestModeEnabled(true);
    }
    void TearDown() override { m_home.reset(); }

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

const auto *const home = ::testing::AddGlobalTestEnvironment(new TestHome);

const QString Name = u"yinitest"_qs;

QString dataHome()
{
    return QDir::homePath() + u"/.qttest/share"_qs;
}

QString defaultFolder()
{
    return dataHome() + u"/Quorvale/"_qs + Name + u'/';
}

QString documentsFolder()
{
    return QDir::homePath() + u"/Documents/Quorvale/"_qs + Name + u'/';
}

QString useDefault()
{
    return u"ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは\u3000"_qs + defaultFolder() + u" を使用します"_qs;
}

class UserData : public ::testing::Test
{
protected:
    QTemporaryDir program;
    QTemporaryDir elsewhere;
    ScriptedDesktop desktop;
    yIni ini{&desktop};
    QStringList said; // what the settings code gave the window to show

    QStringList messages()
    {
        said += ini.takeMessages();
        return said;
    }

    void SetUp() override
    {
        ASSERT_TRUE(program.isValid());
        Program().ProgramName = Name;
        Program().ProgramFolder = program.path();
        Program().UserDataFolder.clear();
        QDir(dataHome() + u"/Quorvale"_qs).removeRecursively();
        QDir(QDir::homePath() + u"/Documents"_qs).removeRecursively();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, u"QuorvaleTools"_qs).clear();
    }
    void TearDown() override
    {
        Program().ProgramFolder.clear();
        Program().UserDataFolder.clear();
    }

    QString programFolder() const { return program.path() + u'/'; }
    void writeIni(const QByteArray &bytes) { writeBytes(program.filePath(u"UserData.ini"_qs), bytes); }
};

// ---- choosing the folder --------------------------------------------------------

struct ChoiceCase
{
    const char *name;
    bool exists;
    QByteArray content; // {elsewhere} stands for a folder of the test's own
    QString folder;     // {program}, {default}, {documents}, {elsewhere}
    QString message;    // {ini}, {default}, {use}, {elsewhere}
};

class FolderChoice : public UserData, public ::testing::WithParamInterface<ChoiceCase>
{
protected:
    QString expand(QString text) const
    {
        return text.replace(u"{program}"_qs, programFolder())
            .replace(u"{default}"_qs, defaultFolder())
            .replace(u"{documents}"_qs, documentsFolder())
            .replace(u"{elsewhere}"_qs, elsewhere.path())
            .replace(u"{ini}"_qs, program.filePath(u"UserData.ini"_qs))
            .replace(u"{use}"_qs, useDefault());
    }
};

TEST_P(FolderChoice, FollowsUserDataIni)
{
    const ChoiceCase c = GetParam();
    ASSERT_TRUE(QDir(elsewhere.path()).mkpath(u"Daten Ordner/データ"_qs));
    QByteArray content = c.content;
    content.replace("{elsewhere}", QFile::encodeName(elsewhere.path()));
    if (c.exists)
        writeIni(content);
    ini.W_UserData(nullptr);

    EXPECT_EQ(Program().UserDataFolder, expand(c.folder));
    EXPECT_TRUE(QFileInfo(Program().UserDataFolder).isDir());
    if (c.message.isEmpty()) {
        EXPECT_EQ(messages(), QStringList());
    } else {
        EXPECT_EQ(messages(), QStringList{expand(c.message)});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderChoice,
    ::testing::Values(
        ChoiceCase{"no file", false, {}, u"{default}"_qs, u"{ini} が見つかりません\r{use}"_qs},
        ChoiceCase{"usr", true, "%usr%", u"{default}"_qs, {}},
        ChoiceCase{"USR in capitals", true, "%USR%", u"{default}"_qs, {}},
        ChoiceCase{"applicaion data", true, "%Applicaion Data%", u"{default}"_qs, {}},
        ChoiceCase{"app", true, "%APP%", u"{program}usData/"_qs, {}},
        ChoiceCase{"app with CR LF after it", true, "%app%\r\n", u"{program}usData/"_qs, {}},
        ChoiceCase{"app with two line ends after it", true, "%app%\r\n\r\n", u"{default}"_qs, {}},
        ChoiceCase{"usr with LF after it", true, "%usr%\n", u"{default}"_qs, {}},
        ChoiceCase{"doc", true, "%Doc", u"{documents}"_qs, {}},
        ChoiceCase{"doc with a percent after it", true, "%doc%", u"{default}"_qs, {}},
        ChoiceCase{"my document", true, "%My Document%", u"{documents}"_qs, {}},
        ChoiceCase{"unknown placeholder", true, "%nowhere", u"{default}"_qs, {}},
        ChoiceCase{"empty", true, "", u"{default}"_qs, u" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません\r{default} を使用します"_qs},
        ChoiceCase{"first line empty", true, "\r\n%app%", u"{default}"_qs,
                   u" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません\r{default} を使用します"_qs},
        ChoiceCase{"existing folder keeps its case", true, "{elsewhere}/Daten Ordner", u"{elsewhere}/Daten Ordner/"_qs,
                   {}},
        ChoiceCase{"existing folder with its slash", true, "{elsewhere}/Daten Ordner/", u"{elsewhere}/Daten Ordner/"_qs,
                   {}},
        ChoiceCase{"existing folder named in code page 932", true, "{elsewhere}/Daten Ordner/\x83\x66\x81\x5b\x83\x5e",
                   u"{elsewhere}/Daten Ordner/データ/"_qs, {}},
        ChoiceCase{"existing folder named in UTF-8 with LF after it", true,
                   "{elsewhere}/Daten Ordner/\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\n", u"{elsewhere}/Daten Ordner/データ/"_qs,
                   {}},
        ChoiceCase{"existing folder named in UTF-8 after a byte-order mark", true,
                   "\xEF\xBB\xBF{elsewhere}/Daten Ordner/\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF",
                   u"{elsewhere}/Daten Ordner/データ/"_qs, {}},
        ChoiceCase{"folder in the wrong case", true, "{elsewhere}/daten ordner", u"{default}"_qs,
                   u"ﾌｫﾙﾀﾞ {elsewhere}/daten ordner が見つかりません\r{use}"_qs},
        ChoiceCase{"missing folder", true, "{elsewhere}/Fehlt", u"{default}"_qs,
                   u"ﾌｫﾙﾀﾞ {elsewhere}/Fehlt が見つかりません\r{use}"_qs},
        ChoiceCase{"existing folder with CR LF after it", true, "{elsewhere}/Daten Ordner\r\n",
                   u"{elsewhere}/Daten Ordner/"_qs, {}},
        ChoiceCase{"invalid bytes", true, "\x81\x20\xa0", u"{default}"_qs,
                   u"ﾌｫﾙﾀﾞ \uFFFD \uFFFD が見つかりません\r{use}"_qs}),
    ParamName());

TEST_F(UserData, DefaultFolderIsCreatedLevelByLevel)
{
    writeIni("%usr%");
    ASSERT_FALSE(QFileInfo::exists(dataHome() + u"/Quorvale"_qs));
    ini.W_UserData(nullptr);
    EXPECT_TRUE(QFileInfo(defaultFolder()).isDir());
    EXPECT_EQ(ini.ownerWnd(), nullptr);
}

TEST_F(UserData, AFolderThatCannotBeWrittenIsUsedAndFailsQuietly)
{
    // /proc exists and takes no new files, even from root.
    writeIni("/proc");
    ini.W_UserData(nullptr);
    EXPECT_EQ(Program().UserDataFolder, u"/proc/"_qs);
    bool ok = true;
    ini.GetTxt(Program().UserDataFolder + u"User.xml"_qs, ok);
    EXPECT_FALSE(ok);
    ini.GetGtx(u"位置"_qs);
    EXPECT_EQ(ini.vGtVal(u"WIDTH"_qs, 0).toInt(), 0);
    ini.SetVal(u"WIDTH"_qs, 1.0F);
    ini.SetGtx();
    ok = true;
    ini.SetTxt(ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(UserData, SettingsStoreHoldsTheProgramFile)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, u"QuorvaleTools"_qs);
    writeIni("%usr%");
    ini.W_UserData(nullptr);
    store.sync();
    const QString file = programFolder() + Name;
    EXPECT_EQ(yIni::programFile(), file);
    EXPECT_EQ(store.value(u"Path/"_qs + Name).toString(), file);

    // The same path in other letters: left as it is.
    store.setValue(u"Path/"_qs + Name, file.toUpper());
    store.sync();
    ini.W_UserData(nullptr);
    store.sync();
    EXPECT_EQ(store.value(u"Path/"_qs + Name).toString(), file.toUpper());

    // The program moved: written again.
    store.setValue(u"Path/"_qs + Name, QString(u"/old/place/"_qs + Name));
    store.sync();
    ini.W_UserData(nullptr);
    store.sync();
    EXPECT_EQ(store.value(u"Path/"_qs + Name).toString(), file);
}

// ---- folders --------------------------------------------------------------------

TEST_F(UserData, SpecialFolders)
{
    EXPECT_EQ(ini.FsGtSpFld(26), dataHome());
    EXPECT_EQ(ini.FsGtSpFld(5), QDir::homePath() + u"/Documents"_qs);
    EXPECT_EQ(ini.FsGtSpFld(9), dataHome() + u"/applications"_qs);
    for (int unknown : {0, 1, 27, -1, 1000})
        EXPECT_EQ(ini.FsGtSpFld(unknown), QString()) << unknown;
}

TEST_F(UserData, CreateFolderMakesEveryMissingLevel)
{
    const QString deep = elsewhere.path() + u"/一/二/三"_qs;
    ini.F_CreateFld(deep);
    EXPECT_TRUE(QFileInfo(deep).isDir());
    ini.F_CreateFld(deep + u'/'); // exists: nothing to do
    EXPECT_TRUE(QFileInfo(deep).isDir());

    // A file standing in the way: the rest is skipped, nothing breaks.
    ASSERT_TRUE(writeBytes(elsewhere.filePath(u"file"_qs), "x"));
    ini.F_CreateFld(elsewhere.path() + u"/file/below"_qs);
    EXPECT_FALSE(QFileInfo::exists(elsewhere.path() + u"/file/below"_qs));
    ini.F_CreateFld(QString());
}

TEST_F(UserData, CheckSubFoldersCreatesOneLevelEach)
{
    const QString base = elsewhere.path() + u'/';
    EXPECT_TRUE(ini.F_ChkSb(base, {u"Wrk"_qs, u"CSV"_qs, u"Wrk"_qs}));
    EXPECT_TRUE(QFileInfo(base + u"Wrk"_qs).isDir());
    EXPECT_TRUE(QFileInfo(base + u"CSV"_qs).isDir());
    EXPECT_FALSE(ini.F_ChkSb(base, {u"a/b"_qs}));
    ASSERT_TRUE(writeBytes(base + u"f"_qs, "x"));
    EXPECT_FALSE(ini.F_ChkSb(base, {u"f"_qs}));
}

// ---- shortcuts and the desktop ---------------------------------------------------

struct HelpCase
{
    const char *name;
    QString job;
    QString page;
};

class HelpShortcut : public UserData, public ::testing::WithParamInterface<HelpCase>
{
};

TEST_P(HelpShortcut, IsWrittenThenOpened)
{
    Program().UserDataFolder = elsewhere.path() + u'/';
    const QString shortcut = elsewhere.filePath(Name + u"_help.lnk"_qs);
    const QUrl address = QUrl::fromLocalFile(programFolder() + u"help/"_qs + GetParam().page);
    for (int click = 1; click <= 2; ++click) {
        ini.W_Help(GetParam().job);
        EXPECT_EQ(readBytes(shortcut), "[Desktop Entry]\nVersion=1.0\nType=Link\nName=yinitest_help\nURL="
                                           + address.toEncoded() + "\n");
        EXPECT_EQ(desktop.opened.size(), click);
        EXPECT_EQ(desktop.opened.value(click - 1), address);
    }
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Pages, HelpShortcut,
                         ::testing::Values(HelpCase{"menu", u"kotoven.htm"_qs, u"kotoven.htm"_qs},
                                           HelpCase{"capitals with a point", u"README.TXT"_qs, u"readme.txt"_qs},
                                           HelpCase{"no point", u"Index"_qs, u"index.htm"_qs}),
                         ParamName());

TEST_F(UserData, TheBuildPutsTheHelpPagesBesideTheProgram)
{
    Program().ProgramFolder = QStringLiteral(KOTOVEN_PROGRAM_DIR);
    EXPECT_TRUE(QFileInfo(QUrl(yIni::helpSite().toString() + u"kotoven.htm"_qs).toLocalFile()).isFile())
        << yIni::helpSite().toString().toStdString();
}

TEST_F(UserData, InstalledHelpIsPreferred)
{
    // A program folder deep enough that the installed layout fits inside.
    Program().ProgramFolder = elsewhere.path() + u"/a/b/c/d/e/f"_qs;
    const QString installed = yIni::installedHelpFolder();
    ASSERT_TRUE(installed.startsWith(elsewhere.path())) << installed.toStdString();
    EXPECT_EQ(yIni::helpSite(), QUrl::fromLocalFile(elsewhere.path() + u"/a/b/c/d/e/f/help/"_qs));
    ASSERT_TRUE(QDir().mkpath(installed));
    ASSERT_TRUE(writeBytes(installed + u"/kotoven.htm"_qs, "<html></html>"));
    EXPECT_EQ(yIni::helpSite(), QUrl::fromLocalFile(installed + u'/'));
}

TEST_F(UserData, HelpWithoutItsFolderOpensNothing)
{
    Program().UserDataFolder = elsewhere.path() + u"/missing/"_qs;
    ini.W_Help(u"kotoven.htm"_qs);
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(UserData, ViewShortcutNeedsTheWorkFolder)
{
    Program().UserDataFolder = elsewhere.path() + u'/';
    const QString target = u"https://example.invalid/a b?x=1\n"_qs;
    ini.W_HtmView(target);
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath(u"Wrk"_qs)));

    ASSERT_TRUE(QDir(elsewhere.path()).mkdir(u"Wrk"_qs));
    ini.W_HtmView(target);
    EXPECT_EQ(readBytes(elsewhere.filePath(u"Wrk/htm_view.lnk"_qs)),
              "[Desktop Entry]\nVersion=1.0\nType=Link\nName=htm_view\nURL=https://example.invalid/a b?x=1\\n\n");
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0], QUrl(target));
}

TEST_F(UserData, SendToSaysWhereTheShortcutWent)
{
    const QString applications = dataHome() + u"/applications"_qs;
    QDir(applications).removeRecursively();
    ini.W_SendTo();
    EXPECT_TRUE(messages().isEmpty()); // no folder: nothing written, nothing said

    ASSERT_TRUE(QDir().mkpath(applications));
    ini.W_SendTo();
    const QString file = programFolder() + Name;
    EXPECT_EQ(messages(), QStringList{file + u" のｼｮｰﾄｶｯﾄを "_qs + applications + u" に作成しました"_qs});
    EXPECT_EQ(readBytes(applications + u"/yinitest.lnk"_qs), "[Desktop Entry]\nVersion=1.0\nType=Link\nName=yinitest\nURL="
                                                                 + QUrl::fromLocalFile(file).toEncoded() + "\n");
}

TEST_F(UserData, ExploreFolder)
{
    ini.W_ExpFd(QString(), true);
    ini.W_ExpFd(QString(), false);
    ini.W_ExpFd(elsewhere.filePath(u"missing"_qs), false);
    EXPECT_TRUE(desktop.opened.isEmpty());
    ini.W_ExpFd(elsewhere.filePath(u"missing"_qs), true);
    ini.W_ExpFd(elsewhere.path(), false);
    EXPECT_EQ(desktop.opened, (QList<QUrl>{QUrl::fromLocalFile(elsewhere.filePath(u"missing"_qs)),
                                           QUrl::fromLocalFile(elsewhere.path())}));
}

TEST(LinkEntry, EscapesWhatWouldBreakTheLine)
{
    EXPECT_EQ(yIni::linkEntry(u" 名前"_qs, u"a\\b\tc\rd"_qs),
              QByteArray("[Desktop Entry]\nVersion=1.0\nType=Link\nName=\\s") + u"名前"_qs.toUtf8()
                  + "\nURL=a\\\\b\\tc\\rd\n");
}

} // namespace
