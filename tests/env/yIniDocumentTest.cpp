#include "core/env/Cp932.h"
#include "core/env/yIni.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"
#include "support/ScriptedDesktop.h"
#include "support/TestData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// "位置" and "運用" in code page 932.
const QByteArray Ichi("\x88\xca\x92\x75");
const QByteArray Unyo("\x89\x5e\x97\x70");

const QByteArray NineLines = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<" + Unyo + ">\r\n   <" + Ichi
                             + ">\r\n      <TOP>1200</TOP>\r\n      <LEFT>1500</LEFT>\r\n      <WIDTH>9600</WIDTH>\r\n"
                               "      <HEIGHT>7200</HEIGHT>\r\n   </"
                             + Ichi + ">\r\n</" + Unyo + ">";

const QString EmptyDocument = u"<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n</運用>"_qs;

QByteArray cp932(const QString &text)
{
    return Cp932::encode(text).bytes;
}

QString corruption(const QString &name, const QString &path)
{
    return u"<"_qs + name + u"> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ("_qs + path + u") が破損しています"_qs;
}

// The main window's shutdown sequence with the given four values.
void storePosition(yIni &ini, int top, int left, float width, float height)
{
    ini.GetGtx(u"位置"_qs);
    ini.SetVal(u"TOP"_qs, top);
    ini.SetVal(u"LEFT"_qs, left);
    ini.SetVal(u"WIDTH"_qs, width);
    ini.SetVal(u"HEIGHT"_qs, height);
    ini.SetGtx();
}

class SettingsDocument : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ScriptedDesktop desktop;
    yIni ini{&desktop};
    QStringList said; // what the settings code gave the window to show

    QStringList messages()
    {
        said += ini.takeMessages();
        return said;
    }

    QString path(const QString &name = u"User.xml"_qs) const { return dir.filePath(name); }

    // Loads a document with the given text (code page 932 on disk).
    void load(const QString &text)
    {
        ASSERT_TRUE(writeBytes(path(), cp932(text)));
        bool ok = false;
        ini.GetTxt(path(), ok);
        ASSERT_TRUE(ok);
    }
};

TEST_F(SettingsDocument, FirstShutdownWritesTheNineLineDocument)
{
    bool ok = false;
    ini.GetTxt(path(), ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(readBytes(path()), QByteArray()); // created empty at once
    EXPECT_EQ(ini.docText(), EmptyDocument);
    ini.GetGtx(u"位置"_qs);
    EXPECT_EQ(ini.groupText(), QString());
    const QVariant zero = QVariant::fromValue<qint16>(0);
    for (const QString &key : {u"TOP"_qs, u"LEFT"_qs, u"WIDTH"_qs, u"HEIGHT"_qs}) {
        const QVariant value = ini.vGtVal(key, zero);
        EXPECT_EQ(value.typeId(), QMetaType::Short);
        EXPECT_EQ(value.toInt(), 0);
    }

    storePosition(ini, 1200, 1500, 9600.0F, 7200.0F);
    ok = false;
    ini.SetTxt(ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(readBytes(path()), NineLines);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SettingsDocument, SecondShutdownChangesOnlyTheFourValues)
{
    const QString before = u"<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <窓>\r\n      <色>青</色>\r\n"
                           "   </窓>\r\n   <位置>\r\n      <HEIGHT>7200</HEIGHT>\r\n      <TOP>1200</TOP>\r\n"
                           "      <MAX>True</MAX>\r\n      <LEFT>1500</LEFT>\r\n      <WIDTH>9600</WIDTH>\r\n"
                           "   </位置>\r\n   <後>\r\n   </後>\r\n</運用>"_qs;
    load(before);
    storePosition(ini, 0, 45, 14175.0F, 9915.5F);
    bool ok = false;
    ini.SetTxt(ok);
    EXPECT_TRUE(ok);
    QString expected = before;
    expected.replace(u"<HEIGHT>7200<"_qs, u"<HEIGHT>9915.5<"_qs)
        .replace(u"<TOP>1200<"_qs, u"<TOP>0<"_qs)
        .replace(u"<LEFT>1500<"_qs, u"<LEFT>45<"_qs)
        .replace(u"<WIDTH>9600<"_qs, u"<WIDTH>14175<"_qs);
    EXPECT_EQ(readBytes(path()), cp932(expected));
}

struct LoadCase
{
    const char *name;
    bool exists;
    QByteArray bytes;
    QString docText;
};

class DocumentLoad : public SettingsDocument, public ::testing::WithParamInterface<LoadCase>
{
};

TEST_P(DocumentLoad, GivesTheDocumentOrTheEmptyOne)
{
    const LoadCase c = GetParam();
    if (c.exists) {
        ASSERT_TRUE(writeBytes(path(), c.bytes));
    }
    bool ok = false;
    ini.GetTxt(path(), ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ini.docText(), c.docText);
    EXPECT_EQ(readBytes(path()), c.exists ? c.bytes : QByteArray());
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentLoad,
    ::testing::Values(LoadCase{"missing", false, {}, EmptyDocument}, LoadCase{"empty", true, {}, EmptyDocument},
                      LoadCase{"first line empty", true, "\r\n<a>\r\n</a>", EmptyDocument},
                      LoadCase{"first line empty, LF only", true, "\n<a>", EmptyDocument},
                      LoadCase{"other header, read unchanged", true, "<x>\r\n<y>\ny</y>", u"<x>\r\n<y>\ny</y>"_qs},
                      LoadCase{"no line end at all", true, "abc", u"abc"_qs},
                      LoadCase{"invalid code page 932 bytes", true, "a\x81\x20" "b\xa0", u"a\uFFFD b\uFFFD"_qs},
                      LoadCase{"lead byte cut off at the end", true, "ab\x82", u"ab\uFFFD"_qs},
                      LoadCase{"0x81 0x60 is the full-width tilde", true, "x\x81\x60", u"x\uFF5E"_qs},
                      LoadCase{"UTF-8 as a Linux editor saves it", true, "<運用>\n<位置>\n</位置>\n</運用>\n",
                               u"<運用>\n<位置>\n</位置>\n</運用>\n"_qs},
                      LoadCase{"UTF-8 after a byte-order mark", true, "\xEF\xBB\xBF<a>東京</a>", u"<a>東京</a>"_qs},
                      LoadCase{"byte-order mark and bad bytes", true, "\xEF\xBB\xBF<a>\xC3</a>", u"<a>\uFFFD</a>"_qs}),
    ParamName());

TEST_F(SettingsDocument, DvNameLoadsAndWritesThePlainName)
{
    bool ok = false;
    ini.GetTxt(dir.filePath(u"User_dv.XML"_qs), ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ini.docPath(), path());
    EXPECT_TRUE(QFile::exists(path()));
    EXPECT_FALSE(QFile::exists(dir.filePath(u"User_dv.XML"_qs)));
    storePosition(ini, 1200, 1500, 9600.0F, 7200.0F);
    ini.SetTxt(ok);
    EXPECT_EQ(readBytes(path()), NineLines);
}

TEST_F(SettingsDocument, SetTxtBeforeGetTxtWritesNothing)
{
    bool ok = true;
    storePosition(ini, 1, 2, 3, 4);
    ini.SetTxt(ok);
    EXPECT_TRUE(ok); // left as the caller gave it
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    // The group was built in the empty document all the same.
    EXPECT_TRUE(ini.docText().startsWith(EmptyDocument.left(48)));
    EXPECT_TRUE(ini.docText().endsWith(u"   </位置>\r\n</運用>"_qs));
}

TEST_F(SettingsDocument, AFolderWhereTheFileShouldBeFailsWithoutAMessage)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"User.xml"_qs));
    bool ok = true;
    ini.GetTxt(path(), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ini.docText(), QString());
    ini.GetGtx(u"位置"_qs);
    EXPECT_EQ(ini.vGtVal(u"TOP"_qs, 7).toInt(), 7);
    storePosition(ini, 1200, 1500, 9600.0F, 7200.0F);
    EXPECT_TRUE(ini.docText().contains(u"<TOP>1200</TOP>"_qs));
    ok = true;
    ini.SetTxt(ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SettingsDocument, AMissingFolderFailsTheLoad)
{
    bool ok = true;
    ini.GetTxt(dir.filePath(u"no/such/User.xml"_qs), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ini.docText(), QString());
}

TEST_F(SettingsDocument, UnreadableDocumentIsNeverOverwritten)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads a mode-000 file";
    ASSERT_TRUE(writeBytes(path(), NineLines));
    QFile::setPermissions(path(), QFileDevice::Permissions());
    bool ok = true;
    ini.GetTxt(path(), ok);
    EXPECT_FALSE(ok);
    storePosition(ini, 1, 2, 3, 4);
    ini.SetTxt(ok);
    EXPECT_FALSE(ok);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readBytes(path()), NineLines);
}

// A write that runs into the file-size limit fails part-way; the old document
// must stay whole (this works for root too).
TEST_F(SettingsDocument, FailedWriteKeepsTheOldDocumentWhole)
{
    ASSERT_TRUE(writeBytes(path(), NineLines));
    bool ok = false;
    ini.GetTxt(path(), ok);
    ASSERT_TRUE(ok);
    ini.GetGtx(u"位置"_qs);
    ini.SetVal(u"NOTE"_qs, QString(4000, u'x'));
    ini.SetGtx();

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1024;
    auto *previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ok = true;
    ini.SetTxt(ok);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readBytes(path()), NineLines);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"User.xml"_qs});
    // Once the write can go through, the change is there.
    ini.SetTxt(ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(readBytes(path()).contains(QByteArray(4000, 'x')));
}

TEST_F(SettingsDocument, FullDiskKeepsTheOldDocumentWhole)
{
    const QString mountPoint = dir.filePath(u"small"_qs);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"small"_qs));
    if (geteuid() != 0
        || QProcess::execute(u"mount"_qs, {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs, u"size=16k"_qs, u"tmpfs"_qs, mountPoint}) != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); FailedWriteKeepsTheOldDocumentWhole covers it";
    const QString document = mountPoint + u"/User.xml"_qs;
    ASSERT_TRUE(writeBytes(document, NineLines));
    bool ok = false;
    ini.GetTxt(document, ok);
    ini.GetGtx(u"位置"_qs);
    ini.SetVal(u"NOTE"_qs, QString(64 * 1024, u'x'));
    ini.SetGtx();
    ok = true;
    ini.SetTxt(ok);
    const QByteArray after = readBytes(document);
    const QStringList entries = QDir(mountPoint).entryList(QDir::Files | QDir::Hidden);
    QProcess::execute(u"umount"_qs, {mountPoint});
    EXPECT_FALSE(ok);
    EXPECT_EQ(after, NineLines);
    EXPECT_EQ(entries, QStringList{u"User.xml"_qs});
}

struct UnsavableCase
{
    const char *name;
    QByteArray before;
    QString value; // stored under 位置/NOTE
    QString where; // the message's second line
};

class Unsavable : public SettingsDocument, public ::testing::WithParamInterface<UnsavableCase>
{
};

TEST_P(Unsavable, CharactersAreNamedAndTheOldFileKept)
{
    const UnsavableCase c = GetParam();
    ASSERT_TRUE(writeBytes(path(), c.before));
    bool ok = false;
    ini.GetTxt(path(), ok);
    ASSERT_TRUE(ok);
    ini.GetGtx(u"位置"_qs);
    ini.SetVal(u"NOTE"_qs, c.value);
    ini.SetGtx();
    ini.SetTxt(ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readBytes(path()), c.before);
    EXPECT_EQ(messages(), QStringList{u"ﾕｰｻﾞｰ環境ﾌｧｲﾙ("_qs + path() + u") を保存できません\r"_qs + c.where});
}

// A document goes back in the encoding it came in: code page 932, UTF-8 as
// Linux editors write it, UTF-8 after a byte-order mark (kept).
struct EncodingCase
{
    const char *name;
    QByteArray mark;
    QByteArray (*encode)(const QString &);
};

class EncodingKept : public SettingsDocument, public ::testing::WithParamInterface<EncodingCase>
{
};

TEST_P(EncodingKept, ValuesReadAndWrittenBack)
{
    const EncodingCase c = GetParam();
    const QString before = u"<?xml version='1.0' encoding='Shift-JIS' ?>\n<運用>\n   <地図>\n      <URL>https://地図.example/</URL>\n"
                           "   </地図>\n   <位置>\r\n      <TOP>1200</TOP>\r\n   </位置>\n</運用>\n"_qs;
    ASSERT_TRUE(writeBytes(path(), c.mark + c.encode(before)));
    bool ok = false;
    ini.GetTxt(path(), ok);
    ASSERT_TRUE(ok);
    ini.GetGtx(u"地図"_qs);
    EXPECT_EQ(ini.vGtVal(u"URL"_qs, u""_qs).toString(), u"https://地図.example/"_qs);
    ini.GetGtx(u"位置"_qs);
    EXPECT_EQ(ini.vGtVal(u"TOP"_qs, 0).toDouble(), 1200.0);
    ini.SetVal(u"TOP"_qs, 45);
    ini.SetGtx();
    ini.SetTxt(ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(readBytes(path()), c.mark + c.encode(QString(before).replace(u"1200"_qs, u"45"_qs)));
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, EncodingKept,
                         ::testing::Values(EncodingCase{"code page 932", {}, cp932},
                                           EncodingCase{"UTF-8", {}, [](const QString &t) { return t.toUtf8(); }},
                                           EncodingCase{"UTF-8 after a byte-order mark", "\xEF\xBB\xBF",
                                                        [](const QString &t) { return t.toUtf8(); }}),
                         ParamName());

INSTANTIATE_TEST_SUITE_P(
    Cases, Unsavable,
    ::testing::Values(
        UnsavableCase{"bytes that did not decode",
                      "<?xml?>\r\n<" + Unyo + ">\r\n   <x>\r\n      <a>\x81\x20</a>\r\n   </x>\r\n</" + Unyo + ">",
                      u"1"_qs, u"4 行目など 1 文字はﾌｧｲﾙに保存できない文字です"_qs},
        UnsavableCase{"bytes that did not decode after a UTF-8 mark",
                      "\xEF\xBB\xBF<?xml?>\r\n<運用>\r\n   <x>\r\n      <a>\xC3</a>\r\n   </x>\r\n</運用>", u"1"_qs,
                      u"4 行目など 1 文字はﾌｧｲﾙに保存できない文字です"_qs},
        UnsavableCase{"a value code page 932 lacks", NineLines, u"café ☃"_qs,
                      u"8 行目など 2 文字はﾌｧｲﾙに保存できない文字です"_qs}),
    ParamName());

TEST_F(SettingsDocument, AMegabyteDocumentHasNoSizeLimit)
{
    QString filler;
    for (int i = 0; filler.size() < 1024 * 1024; ++i)
        filler += u"      <K%1>値%1</K%1>\r\n"_qs.arg(i);
    load(u"<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <大>\r\n"_qs + filler
         + u"   </大>\r\n   <位置>\r\n      <TOP>33000</TOP>\r\n   </位置>\r\n</運用>"_qs);
    ini.GetGtx(u"位置"_qs);
    EXPECT_EQ(ini.vGtVal(u"TOP"_qs, 0).toDouble(), 33000.0);
    ini.GetGtx(u"大"_qs);
    EXPECT_EQ(ini.groupText(), filler);
    EXPECT_EQ(ini.vGtVal(u"K20000"_qs, u""_qs).toString(), u"値20000"_qs);
    storePosition(ini, 40000, 1, 2, 3);
    bool ok = false;
    ini.SetTxt(ok);
    EXPECT_TRUE(ok);
    yIni again;
    again.GetTxt(path(), ok);
    again.GetGtx(u"位置"_qs);
    EXPECT_EQ(again.vGtVal(u"TOP"_qs, 0).toDouble(), 40000.0);
    EXPECT_EQ(again.docText().size(), ini.docText().size());
}

// ---- reading groups ---------------------------------------------------------

struct GroupCase
{
    const char *name;
    QString document;
    QString group;
    QString groupText;
    bool corrupt;
};

class GroupRead : public SettingsDocument, public ::testing::WithParamInterface<GroupCase>
{
};

TEST_P(GroupRead, CutsTheGroupOrReportsTheDamage)
{
    const GroupCase c = GetParam();
    load(u"<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"_qs + c.document);
    ini.GetGtx(c.group);
    EXPECT_EQ(ini.groupName(), c.group);
    EXPECT_EQ(ini.groupText(), c.groupText);
    if (c.corrupt) {
        EXPECT_EQ(messages(), QStringList{corruption(c.group, path())});
    } else {
        EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupRead,
    ::testing::Values(
        GroupCase{"the worked example", u"<運用>\r\n   <位置>\r\n      <TOP>1</TOP>\r\n   </位置>\r\n</運用>"_qs,
                  u"位置"_qs, u"      <TOP>1</TOP>\r\n"_qs, false},
        GroupCase{"absent", u"<運用>\r\n</運用>"_qs, u"位置"_qs, {}, false},
        GroupCase{"closing tag missing", u"<運用>\r\n   <位置>\r\n      <TOP>1</TOP>\r\n</運用>"_qs, u"位置"_qs, {}, true},
        GroupCase{"opening tag missing", u"<運用>\r\n      <TOP>1</TOP>\r\n   </位置>\r\n</運用>"_qs, u"位置"_qs, {},
                  true},
        GroupCase{"closing before opening", u"<運用>\r\n   </位置>\r\n   <位置>\r\n</運用>"_qs, u"位置"_qs, {}, true},
        GroupCase{"stray closing tag before a whole group",
                  u"<運用>\r\n   </位置>\r\n   <位置>\r\n      <TOP>1</TOP>\r\n   </位置>\r\n</運用>"_qs, u"位置"_qs,
                  u"      <TOP>1</TOP>\r\n"_qs, false},
        GroupCase{"tags side by side", u"<運用><位置></位置></運用>"_qs, u"位置"_qs, {}, false},
        GroupCase{"tags four apart", u"<運用><位置>\r\n  </位置></運用>"_qs, u"位置"_qs, {}, false},
        GroupCase{"duplicate groups: the first wins",
                  u"<運用>\r\n   <位置>\r\n      <A>1</A>\r\n   </位置>\r\n   <位置>\r\n      <A>2</A>\r\n   </位置>\r\n</運用>"_qs,
                  u"位置"_qs, u"      <A>1</A>\r\n"_qs, false},
        GroupCase{"indented with tabs, cut by count",
                  u"<運用>\r\n\t<位置>\r\n\t\t<TOP>1</TOP>\r\n\t</位置>\r\n</運用>"_qs, u"位置"_qs,
                  u"\t\t<TOP>1</TOP>"_qs, false},
        GroupCase{"LF line ends, cut by count", u"<運用>\n   <位置>\n      <TOP>1</TOP>\n   </位置>\n</運用>"_qs,
                  u"位置"_qs, u"     <TOP>1</TOP>\n"_qs, false},
        GroupCase{"names are case-sensitive", u"<運用>\r\n   <Pos>\r\n      <A>1</A>\r\n   </Pos>\r\n</運用>"_qs,
                  u"pos"_qs, {}, false},
        GroupCase{"no header or root needed", u"   <位置>\r\n      <A>1</A>\r\n   </位置>\r\n"_qs, u"位置"_qs,
                  u"      <A>1</A>\r\n"_qs, false}),
    ParamName());

// ---- reading keys -------------------------------------------------------------

struct KeyCase
{
    const char *name;
    QString stored; // the key line(s) inside the group
    QString key;
    QVariant def;
    QVariant expected;
    bool corrupt = false;
};

class KeyRead : public SettingsDocument, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(KeyRead, ConvertsByTheDefaultsType)
{
    const KeyCase c = GetParam();
    load(u"<?xml?>\r\n<運用>\r\n   <g>\r\n"_qs + c.stored + u"   </g>\r\n</運用>"_qs);
    ini.GetGtx(u"g"_qs);
    const QVariant value = ini.vGtVal(c.key, c.def);
    EXPECT_EQ(value.typeId(), c.expected.typeId()) << value.typeName();
    if (c.expected.typeId() == QMetaType::Double && std::isinf(c.expected.toDouble())) {
        EXPECT_TRUE(std::isinf(value.toDouble()));
    } else {
        EXPECT_EQ(value, c.expected);
    }
    EXPECT_EQ(messages().size(), c.corrupt ? 1 : 0);
    if (c.corrupt) {
        EXPECT_EQ(messages().value(0), corruption(c.key, path()));
    }
}

const QVariant Zero16 = QVariant::fromValue<qint16>(0);

INSTANTIATE_TEST_SUITE_P(
    Numbers, KeyRead,
    ::testing::Values(
        KeyCase{"whole", u"<TOP>1200</TOP>"_qs, u"TOP"_qs, Zero16, 1200.0},
        KeyCase{"empty gives the default with its type", u"<TOP></TOP>"_qs, u"TOP"_qs, Zero16, Zero16},
        KeyCase{"absent", u"<LEFT>1</LEFT>"_qs, u"TOP"_qs, Zero16, Zero16},
        KeyCase{"case-sensitive", u"<TOP>1</TOP>"_qs, u"top"_qs, Zero16, Zero16},
        KeyCase{"not a number reads 0", u"<TOP>abc</TOP>"_qs, u"TOP"_qs, Zero16, 0.0},
        KeyCase{"blanks anywhere", u"<TOP> 1 2\t3\n</TOP>"_qs, u"TOP"_qs, 7, 123.0},
        KeyCase{"sign, point, exponent", u"<TOP>-1.5e3x</TOP>"_qs, u"TOP"_qs, 7, -1500.0},
        KeyCase{"plus sign", u"<TOP>+7</TOP>"_qs, u"TOP"_qs, 7, 7.0},
        KeyCase{"blank after the sign", u"<TOP>- 4</TOP>"_qs, u"TOP"_qs, 7, -4.0},
        KeyCase{"exponent without digits", u"<TOP>12E</TOP>"_qs, u"TOP"_qs, 7, 12.0},
        KeyCase{"second point stops", u"<TOP>1.2.3</TOP>"_qs, u"TOP"_qs, 7, 1.2},
        KeyCase{"leading point", u"<TOP>.5</TOP>"_qs, u"TOP"_qs, 7, 0.5},
        KeyCase{"hex is not read", u"<TOP>0x10</TOP>"_qs, u"TOP"_qs, 7, 0.0},
        KeyCase{"huge", u"<TOP>1e400</TOP>"_qs, u"TOP"_qs, 7, std::numeric_limits<double>::infinity()},
        KeyCase{"tiny", u"<TOP>1e-400</TOP>"_qs, u"TOP"_qs, 7, 0.0},
        KeyCase{"real default", u"<W>9600</W>"_qs, u"W"_qs, 1.5F, 9600.0},
        KeyCase{"duplicate keys: the first wins", u"<A>1</A>\r\n<A>2</A>"_qs, u"A"_qs, 0, 1.0},
        KeyCase{"closing tag missing", u"<A>1\r\n"_qs, u"A"_qs, 5, 5, true},
        KeyCase{"closing before opening", u"</A><A>"_qs, u"A"_qs, 5, 5, true},
        KeyCase{"stray closing tag before a whole key", u"</A><A>3</A>"_qs, u"A"_qs, 5, 3.0},
        KeyCase{"empty default, no text", u""_qs, u"A"_qs, QVariant(), QVariant()}),
    ParamName());

INSTANTIATE_TEST_SUITE_P(
    TextsAndBooleans, KeyRead,
    ::testing::Values(
        KeyCase{"text", u"<N>abc</N>"_qs, u"N"_qs, u"def"_qs, u"abc"_qs},
        KeyCase{"text kept whole", u"<N> a\r\nb </N>"_qs, u"N"_qs, u""_qs, u" a\r\nb "_qs},
        KeyCase{"empty text gives the default", u"<N></N>"_qs, u"N"_qs, u"def"_qs, u"def"_qs},
        KeyCase{"boolean word", u"<B>TRUE</B>"_qs, u"B"_qs, false, true},
        KeyCase{"boolean word false", u"<B>false</B>"_qs, u"B"_qs, true, false},
        KeyCase{"boolean number 0", u"<B>0</B>"_qs, u"B"_qs, true, false},
        KeyCase{"boolean number -1", u"<B>-1</B>"_qs, u"B"_qs, false, true},
        KeyCase{"boolean empty gives the default", u"<B></B>"_qs, u"B"_qs, true, true},
        KeyCase{"boolean that is none", u"<B>abc</B>"_qs, u"B"_qs, true, QVariant()},
        KeyCase{"date that is none", u"<D>abc</D>"_qs, u"D"_qs, QDate(2001, 2, 3), QDate(2001, 2, 3)},
        KeyCase{"date in ISO form", u"<D>2024-05-06T07:08:09</D>"_qs, u"D"_qs, QDate(2001, 2, 3),
                QDate(2024, 5, 6)}),
    ParamName());

// ---- writing keys and groups -----------------------------------------------------

struct SetValCase
{
    const char *name;
    QString before;
    QString key;
    QVariant value;
    QString after;
};

class KeyWrite : public SettingsDocument, public ::testing::WithParamInterface<SetValCase>
{
};

TEST_P(KeyWrite, ReplacesTheValueOrAddsALine)
{
    const SetValCase c = GetParam();
    load(u"<?xml?>\r\n<運用>\r\n   <g>\r\n"_qs + c.before + u"   </g>\r\n</運用>"_qs);
    ini.GetGtx(u"g"_qs);
    ini.SetVal(c.key, c.value);
    EXPECT_EQ(ini.groupText(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyWrite,
    ::testing::Values(
        SetValCase{"replace", u"      <A>1</A>\r\n"_qs, u"A"_qs, 20, u"      <A>20</A>\r\n"_qs},
        SetValCase{"replace keeps odd spacing", u" <A>1</A> x\r\n"_qs, u"A"_qs, u"y"_qs, u" <A>y</A> x\r\n"_qs},
        SetValCase{"add", u"      <A>1</A>\r\n"_qs, u"B"_qs, -5, u"      <A>1</A>\r\n      <B>-5</B>\r\n"_qs},
        SetValCase{"add to an empty group", u""_qs, u"A"_qs, true, u"      <A>True</A>\r\n"_qs},
        SetValCase{"new key: the mark becomes a line end", u""_qs, u"A"_qs, u"x‡y"_qs, u"      <A>x\r\ny</A>\r\n"_qs},
        SetValCase{"existing key: the mark stays", u"      <A></A>\r\n"_qs, u"A"_qs, u"x‡y"_qs,
                   u"      <A>x‡y</A>\r\n"_qs},
        SetValCase{"closing tag missing: a second copy", u"      <A>1\r\n"_qs, u"A"_qs, 2,
                   u"      <A>1\r\n      <A>2</A>\r\n"_qs},
        SetValCase{"duplicate keys: the first is written", u"<A>1</A><A>2</A>"_qs, u"A"_qs, 3, u"<A>3</A><A>2</A>"_qs}),
    ParamName());

TEST_F(SettingsDocument, ChangesNotCarriedBackAreLostOnTheNextGroup)
{
    load(QString::fromLatin1(QByteArray(NineLines).replace(Ichi, "P").replace(Unyo, "R")));
    ini.GetGtx(u"P"_qs);
    ini.SetVal(u"TOP"_qs, 1);
    ini.GetGtx(u"P"_qs);
    EXPECT_EQ(ini.vGtVal(u"TOP"_qs, 0).toDouble(), 1200.0);
}

struct GroupWriteCase
{
    const char *name;
    QString before; // after the header line
    QString group;
    QString groupText;
    QString after;
};

class GroupWrite : public SettingsDocument, public ::testing::WithParamInterface<GroupWriteCase>
{
};

TEST_P(GroupWrite, PutsTheGroupBack)
{
    const GroupWriteCase c = GetParam();
    load(u"<?xml?>\r\n"_qs + c.before);
    messages().clear();
    ini.GetGtx(c.group);
    ini.SetVal(u"K"_qs, u"v"_qs);
    ASSERT_EQ(ini.groupText().right(c.groupText.size()), c.groupText);
    ini.SetGtx();
    EXPECT_EQ(ini.docText(), u"<?xml?>\r\n"_qs + c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupWrite,
    ::testing::Values(
        GroupWriteCase{"new group before the root's end", u"<運用>\r\n   <a>\r\n   </a>\r\n</運用>"_qs, u"g"_qs,
                       u"      <K>v</K>\r\n"_qs,
                       u"<運用>\r\n   <a>\r\n   </a>\r\n   <g>\r\n      <K>v</K>\r\n   </g>\r\n</運用>"_qs},
        GroupWriteCase{"existing group replaced", u"<運用>\r\n   <g>\r\n      <K>1</K>\r\n   </g>\r\n</運用>"_qs,
                       u"g"_qs, u"      <K>v</K>\r\n"_qs,
                       u"<運用>\r\n   <g>\r\n      <K>v</K>\r\n   </g>\r\n</運用>"_qs},
        GroupWriteCase{"no root end: appended with one", u"<運用>\r\n"_qs, u"g"_qs, u"      <K>v</K>\r\n"_qs,
                       u"<運用>\r\n   <g>\r\n      <K>v</K>\r\n   </g>\r\n</運用>"_qs},
        GroupWriteCase{"hand-typed empty group filled in place", u"<運用><g></g>x</運用>"_qs, u"g"_qs,
                       u"      <K>v</K>\r\n"_qs, u"<運用><g>\r\n      <K>v</K>\r\n   </g>x</運用>"_qs},
        GroupWriteCase{"tags one apart filled in place", u"<運用><g> </g></運用>"_qs, u"g"_qs,
                       u"      <K>v</K>\r\n"_qs, u"<運用><g>\r\n      <K>v</K>\r\n   </g></運用>"_qs},
        GroupWriteCase{"closing tag missing: a second, complete group", u"<運用>\r\n   <g>\r\n</運用>"_qs, u"g"_qs,
                       u"      <K>v</K>\r\n"_qs, u"<運用>\r\n   <g>\r\n   <g>\r\n      <K>v</K>\r\n   </g>\r\n</運用>"_qs},
        GroupWriteCase{"tab indentation comes back as three blanks",
                       u"<運用>\r\n\t<g>\r\n\t\t<K>1</K>\r\n\t</g>\r\n</運用>"_qs, u"g"_qs, u"\t\t<K>v</K>"_qs,
                       u"<運用>\r\n\t<g>\r\n\t\t<K>v</K>   </g>\r\n</運用>"_qs}),
    ParamName());

class GroupRoundTrip : public SettingsDocument, public ::testing::WithParamInterface<QString>
{
};

TEST_P(GroupRoundTrip, WrittenThenReadGivesTheSameText)
{
    load(u"<?xml?>\r\n<運用>\r\n   <他>\r\n   </他>\r\n</運用>"_qs);
    const QString text = GetParam();
    ini.GetGtx(u"無"_qs);
    ini.SetVal(u"k"_qs, text);
    ini.SetVal(u"k2"_qs, u"2"_qs);
    const QString written = ini.groupText();
    ini.SetGtx(); // a new group
    ini.GetGtx(u"無"_qs);
    EXPECT_EQ(ini.groupText(), written);

    ini.SetVal(u"k"_qs, QString(text + u'z'));
    const QString rewritten = ini.groupText();
    ini.SetGtx(); // over itself
    ini.GetGtx(u"無"_qs);
    EXPECT_EQ(ini.groupText(), rewritten);
    EXPECT_EQ(ini.vGtVal(u"k"_qs, u"-"_qs).toString(), text + u'z');
    ini.GetGtx(u"他"_qs);
    EXPECT_EQ(ini.groupText(), QString());
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, GroupRoundTrip,
                         ::testing::Values(u""_qs, u"1200"_qs, u"複数\r\n行"_qs, u"   "_qs, u"<x>"_qs, u"a>b<c"_qs,
                                           u"\uFF5E\u2460"_qs));

// ---- text forms ---------------------------------------------------------------

struct FormCase
{
    QVariant value;
    QString text;
};

class ValueText : public ::testing::TestWithParam<FormCase>
{
};

TEST_P(ValueText, IsTheOrdinaryForm)
{
    EXPECT_EQ(yIni::valueText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ValueText,
    ::testing::Values(FormCase{9600.0F, u"9600"_qs}, FormCase{7200.0, u"7200"_qs}, FormCase{14175.5F, u"14175.5"_qs},
                      FormCase{0.1F, u"0.1"_qs}, FormCase{0.1, u"0.1"_qs}, FormCase{1.0F / 3.0F, u"0.33333334"_qs}, FormCase{1.0 / 3.0, u"0.3333333333333333"_qs},
                      FormCase{-2.5F, u"-2.5"_qs}, FormCase{0.0F, u"0"_qs}, FormCase{-0.0, u"0"_qs},
                      FormCase{1e20, u"1E+20"_qs}, FormCase{1.5e7F, u"1.5E+07"_qs}, FormCase{1234567.0F, u"1234567"_qs},
                      FormCase{0.0001, u"0.0001"_qs}, FormCase{0.00001, u"0.00001"_qs}, FormCase{0.000001, u"1E-06"_qs}, FormCase{1200, u"1200"_qs},
                      FormCase{-5, u"-5"_qs}, FormCase{QVariant::fromValue<qint16>(-32768), u"-32768"_qs},
                      FormCase{qint64(1) << 40, u"1099511627776"_qs}, FormCase{true, u"True"_qs},
                      FormCase{false, u"False"_qs}, FormCase{u"a‡b"_qs, u"a‡b"_qs}, FormCase{QVariant(), u""_qs}));

} // namespace
