// The postal data files: reading Japan Post's zips, choosing the newest data
// per kind, the compiled dictionary in the cache, and the update.
#include "core/env/Cp932.h"
#include "core/lookup/PostalCache.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalUpdate.h"
#include "support/TestData.h"

#include "harness/ParamName.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iconv.h>
#include <zip.h>

#include <functional>

namespace {

using PostalReaders::Format;
using PostalReaders::Kind;

QString q(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QDateTime at(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(9, 57));
}

// A zip of one member, as Japan Post makes them.
QByteArray makeZip(const char *member, const QByteArray &content, const QDateTime &time)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t *za = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    zip_source_t *data = zip_source_buffer_create(content.constData(), zip_uint64_t(content.size()), 0, &error);
    const zip_int64_t index = zip_file_add(za, member, data, 0);
    zip_file_set_mtime(za, zip_uint64_t(index), time_t(time.toSecsSinceEpoch()), 0);
    zip_close(za);
    QByteArray out;
    zip_stat_t st;
    if (zip_source_open(buffer) == 0 && zip_source_stat(buffer, &st) == 0) {
        out.resize(qsizetype(st.size));
        zip_source_read(buffer, out.data(), st.size);
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    zip_error_fini(&error);
    return out;
}

QByteArray fixture(const char *name)
{
    return readBytes(testDataPath(QStringLiteral("lookup/") + QString::fromUtf8(name)));
}

QByteArray kenAllZip(const QDateTime &time = at(2026, 5, 26))
{
    return makeZip("KEN_ALL.CSV", fixture("KEN_ALL.CSV"), time);
}

// One byte changed, e.g. inside a compressed member.
QByteArray flipped(QByteArray bytes, qsizetype pos)
{
    bytes[pos] = char(bytes[pos] ^ 0x5A);
    return bytes;
}

QByteArray utf16(const QByteArray &cp932)
{
    const QString text = Cp932::decode(cp932).text;
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2).prepend("\xFF\xFE");
}

// The same text in EUC-JP, as some converters write it.
QByteArray eucJp(const QByteArray &cp932)
{
    QByteArray utf8 = Cp932::decode(cp932).text.toUtf8();
    QByteArray out(utf8.size() * 2, '\0');
    iconv_t cd = iconv_open("EUC-JP", "UTF-8");
    char *in = utf8.data();
    char *to = out.data();
    size_t inLeft = size_t(utf8.size());
    size_t outLeft = size_t(out.size());
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &time = {})
{
    if (!writeBytes(path, bytes))
        return false;
    QFile f(path);
    return !time.isValid() || (f.open(QIODevice::Append) && f.setFileTime(time, QFileDevice::FileModificationTime));
}

} // namespace

// ---- Japan Post's zips -------------------------------------------------------

struct ZipCase
{
    const char *name;
    std::function<QByteArray()> bytes;
    const char *reason; // nullptr: read
};

class ZipReader : public testing::TestWithParam<ZipCase>
{
};

TEST_P(ZipReader, ReadsTheMemberOrNamesTheFileAndReason)
{
    const QString path = QStringLiteral("/data/ken_all.zip");
    PostalDictionary dict;
    const auto s = PostalReaders::read(GetParam().bytes(), path, at(2026, 1, 2), Format::KenAll, dict);
    if (!GetParam().reason) {
        EXPECT_TRUE(s.error.isEmpty()) << s.error.toStdString();
        EXPECT_EQ(s.records, 23);
        EXPECT_EQ(s.date, QDate(2026, 5, 26)); // the member's, not the file's
        return;
    }
    EXPECT_EQ(s.records, 0);
    EXPECT_TRUE(s.error.startsWith(path + QStringLiteral(": "))) << s.error.toStdString();
    EXPECT_TRUE(s.error.contains(q(GetParam().reason))) << s.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, ZipReader,
    testing::Values(
        ZipCase{"Zip", [] { return kenAllZip(); }, nullptr},
        ZipCase{"MemberInAFolderAnyCase", [] { return makeZip("2605/ken_all.csv", fixture("KEN_ALL.CSV"), at(2026, 5, 26)); }, nullptr},
        ZipCase{"Utf8Member", [] { return makeZip("utf_ken_all.csv", Cp932::decode(fixture("KEN_ALL.CSV")).text.toUtf8(), at(2026, 5, 26)); }, nullptr},
        ZipCase{"Empty", [] { return QByteArray(); }, "空です"},
        ZipCase{"EmptyZip", []() -> QByteArray { return QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'); }, "入っていません"},
        ZipCase{"Truncated", [] { return kenAllZip().chopped(40); }, "途中で切れて"},
        ZipCase{"CorruptMember", [] { return flipped(kenAllZip(), 30 + 11 + 200); }, "壊れて"},
        ZipCase{"WrongMember", [] { return makeZip("KEN_ALL_ROME.CSV", fixture("KEN_ALL.CSV"), at(2026, 5, 26)); }, "KEN_ALL.CSV か utf_ken_all.csv が入っていません"},
        ZipCase{"Utf16Member", [] { return makeZip("KEN_ALL.CSV", utf16(fixture("KEN_ALL.CSV")), at(2026, 5, 26)); }, "文字コードが違います"},
        ZipCase{"EucJpMember", [] { return makeZip("KEN_ALL.CSV", eucJp(fixture("KEN_ALL.CSV")), at(2026, 5, 26)); }, "文字コードが違います"},
        ZipCase{"ForeignCsv", [] { return makeZip("KEN_ALL.CSV", QByteArray("\"郵便番号\",\"住所\"\r\n\"100-0005\",\"東京都千代田区丸の内\"\r\n"), at(2026, 5, 26)); }, "読める行がありません"}),
    ParamName());

// ---- the newest per kind -------------------------------------------------------

struct ChoiceCase
{
    const char *name;
    std::vector<PostalReaders::Candidate> candidates;
    Kind kind;
    std::vector<const char *> order; // paths
};

class Newest : public testing::TestWithParam<ChoiceCase>
{
};

TEST_P(Newest, TriedNewestFirstThenByOrigin)
{
    std::vector<std::string> got;
    for (const auto &c : PostalReaders::newestFirst(GetParam().candidates, GetParam().kind))
        got.push_back(c.path.toStdString());
    EXPECT_EQ(got, std::vector<std::string>(GetParam().order.begin(), GetParam().order.end()));
}

namespace {
using O = PostalReaders::Origin;
PostalReaders::Candidate c(Format f, O o, const char *path, QDate date)
{
    return {f, o, QString::fromUtf8(path), date};
}
const QDate May(2026, 5, 26);
const QDate June(2026, 6, 30);
const QDate Skk(2022, 5, 4);
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, Newest,
    testing::Values(
        ChoiceCase{"UsersNewerZip", {c(Format::SkkTowns, O::Skk, "skk", Skk), c(Format::KenAll, O::Shipped, "shipped", May), c(Format::KenAll, O::User, "user", June)}, Kind::Towns, {"user", "shipped", "skk"}},
        ChoiceCase{"ShippedNewerThanUsersOldCsv", {c(Format::KenAll, O::User, "user", QDate(2025, 1, 31)), c(Format::KenAll, O::Shipped, "shipped", May), c(Format::SkkTowns, O::Skk, "skk", Skk)}, Kind::Towns, {"shipped", "user", "skk"}},
        ChoiceCase{"SameDateUsersFirst", {c(Format::SkkTowns, O::Skk, "skk", May), c(Format::KenAll, O::Shipped, "shipped", May), c(Format::KenAll, O::User, "user", May)}, Kind::Towns, {"user", "shipped", "skk"}},
        ChoiceCase{"SkkNewerThanAnOldUserFile", {c(Format::KenAll, O::User, "user", QDate(2020, 1, 1)), c(Format::SkkTowns, O::Skk, "skk", Skk)}, Kind::Towns, {"skk", "user"}},
        ChoiceCase{"UnknownDateLast", {c(Format::KenAll, O::User, "broken", QDate()), c(Format::SkkTowns, O::Skk, "skk", Skk)}, Kind::Towns, {"skk", "broken"}},
        ChoiceCase{"OfficesAlone", {c(Format::KenAll, O::User, "towns", June), c(Format::Jigyosyo, O::Shipped, "shipped", May), c(Format::SkkOffices, O::Skk, "skk", Skk), c(Format::Jigyosyo, O::User, "user", June)}, Kind::Offices, {"user", "shipped", "skk"}},
        ChoiceCase{"PerKindIndependently", {c(Format::Jigyosyo, O::User, "offices", June), c(Format::KenAll, O::Shipped, "shipped", May), c(Format::SkkTowns, O::Skk, "skk", Skk)}, Kind::Towns, {"shipped", "skk"}}),
    ParamName());

TEST(Newest, AnUnreadableNewestFileFallsBackToTheNext)
{
    QTemporaryDir user;
    QTemporaryDir shipped;
    ASSERT_TRUE(writeFile(user.filePath(u"ken_all.zip"_qs), kenAllZip(at(2026, 6, 30)).chopped(40)));
    ASSERT_TRUE(writeFile(shipped.filePath(u"ken_all.zip"_qs), kenAllZip(at(2026, 5, 26))));
    ASSERT_TRUE(writeFile(shipped.filePath(u"jigyosyo.zip"_qs), makeZip("JIGYOSYO.CSV", fixture("JIGYOSYO.CSV"), at(2026, 5, 26))));
    PostalReaders::Locations where(user.path(), testDataPath(u"lookup"_qs));
    where.shippedFolders = {shipped.path()};
    const auto d = PostalReaders::load(where);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->sources.size(), 2u);
    EXPECT_EQ(d->sources[0].path, shipped.filePath(u"ken_all.zip"_qs));
    EXPECT_EQ(d->sources[0].date, QDate(2026, 5, 26));
    EXPECT_EQ(d->sources[1].path, shipped.filePath(u"jigyosyo.zip"_qs));
    EXPECT_EQ(d->officeCount(), 3);
}

// ---- the compiled dictionary -------------------------------------------------------

namespace {

const PostalDictionary &fixtureDictionary()
{
    static const PostalDictionary dict = [] {
        PostalDictionary d;
        d.sources.push_back(PostalReaders::readFile(testDataPath(u"lookup/KEN_ALL.CSV"_qs), Format::KenAll, d));
        d.sources.push_back(PostalReaders::readFile(testDataPath(u"lookup/JIGYOSYO.CSV"_qs), Format::Jigyosyo, d));
        d.finish();
        return d;
    }();
    return dict;
}

// Everything a lookup can see, as text.
QString answers(const PostalDictionary &d)
{
    QString out;
    for (const auto &s : d.sources)
        out += s.label + s.path + s.date.toString(Qt::ISODate) + QString::number(s.records) + u'\n';
    auto list = [&](const std::vector<PostalDictionary::Hit> &hits) {
        for (const auto &h : hits)
            out += QString::number(d.code(h.entry)) + d.address(h.entry) + d.note(h.entry) + d.officeName(h.entry) + u';';
        out += u'\n';
    };
    list(d.findCode(u"060"_qs, 100));
    list(d.findCode(u"100"_qs, 100));
    list(d.findAddress(q("北海道札幌市中央区大通西５丁目")).hits);
    list(d.completeAddress(q("東京都"), 100));
    list(d.findOffice(q("製作所"), 100));
    return out;
}

} // namespace

struct CacheCase
{
    const char *name;
    std::function<QByteArray(const QByteArray &cache, const QByteArray &payload)> change;
    bool loads;
};

class Cache : public testing::TestWithParam<CacheCase>
{
};

TEST_P(Cache, UsedOnlyWhenWholeAndMadeFromTheSameFiles)
{
    const QByteArray key = "files of the fixture";
    const QByteArray cache = PostalCache::write(fixtureDictionary(), key);
    const QByteArray payload = cache.mid(32 + key.size());
    QString why;
    const auto d = PostalCache::read(GetParam().change(cache, payload), key, &why);
    EXPECT_EQ(d != nullptr, GetParam().loads) << why.toStdString();
    if (d) {
        EXPECT_EQ(answers(*d), answers(fixtureDictionary()));
    }
}

namespace {
QByteArray resealed(QByteArray payload, qsizetype from, QByteArray bytes)
{
    payload.replace(from < 0 ? payload.size() + from : from, bytes.size(), bytes);
    return PostalCache::seal(payload, "files of the fixture");
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, Cache,
    testing::Values(
        CacheCase{"Intact", [](const QByteArray &c, const QByteArray &) { return c; }, true},
        CacheCase{"Empty", [](const QByteArray &, const QByteArray &) { return QByteArray(); }, false},
        CacheCase{"OtherFiles", [](const QByteArray &, const QByteArray &p) { return PostalCache::seal(p, "other files"); }, false},
        CacheCase{"HeaderOnly", [](const QByteArray &c, const QByteArray &) { return c.left(40); }, false},
        CacheCase{"Truncated", [](const QByteArray &c, const QByteArray &) { return c.chopped(1); }, false},
        CacheCase{"ByteChanged", [](const QByteArray &c, const QByteArray &) { return flipped(c, c.size() / 2); }, false},
        CacheCase{"OtherStoredFormat", [](const QByteArray &c, const QByteArray &) { return flipped(c, 8); }, false},
        CacheCase{"PayloadCutButSealed", [](const QByteArray &, const QByteArray &p) { return PostalCache::seal(p.chopped(4), "files of the fixture"); }, false},
        CacheCase{"PayloadLongerButSealed", [](const QByteArray &, const QByteArray &p) { return PostalCache::seal(QByteArray(p).append('x'), "files of the fixture"); }, false},
        // The last member holds entry numbers of the offices.
        CacheCase{"EntryOutOfRangeButSealed", [](const QByteArray &, const QByteArray &p) { return resealed(p, -4, QByteArray(4, '\xFF')); }, false},
        CacheCase{"SourceCountHugeButSealed", [](const QByteArray &, const QByteArray &p) { return resealed(p, 0, QByteArray(4, '\x7F')); }, false}),
    ParamName());

TEST(Cache, LoadRebuildsWhenADataFileChanged)
{
    QTemporaryDir user;
    QTemporaryDir cache;
    const QString kenAll = user.filePath(u"KEN_ALL.CSV"_qs);
    ASSERT_TRUE(writeFile(kenAll, fixture("KEN_ALL.CSV"), at(2026, 5, 26)));
    PostalReaders::Locations where(user.path(), testDataPath(u"lookup"_qs));
    where.cacheFolder = cache.path();
    ASSERT_EQ(PostalReaders::load(where)->townCount(), 23);
    ASSERT_TRUE(QFile::exists(cache.filePath(u"postal.dictionary"_qs)));
    EXPECT_EQ(PostalReaders::load(where)->townCount(), 23); // from the cache

    const QByteArray fewer = fixture("KEN_ALL.CSV").left(fixture("KEN_ALL.CSV").indexOf('\n') + 1);
    ASSERT_TRUE(writeFile(kenAll, fewer, at(2026, 6, 30)));
    const auto d = PostalReaders::load(where);
    EXPECT_EQ(d->townCount(), 1);
    EXPECT_EQ(d->sources.front().date, QDate(2026, 6, 30));
}

// ---- the update -------------------------------------------------------

namespace {

struct Folder
{
    QTemporaryDir user;
    PostalReaders::Locations where;
    Folder()
    {
        // In use: towns from the person's KEN_ALL.CSV of May, offices from SKK.
        writeFile(user.filePath(u"KEN_ALL.CSV"_qs), fixture("KEN_ALL.CSV"), at(2026, 5, 26));
        where = {user.path(), testDataPath(u"lookup"_qs)};
    }
    // Every file under the user folder with its bytes.
    QStringList state() const
    {
        QStringList out;
        QDir dir(user.path());
        for (QDirIterator it(user.path(), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString f = dir.relativeFilePath(it.next());
            out += f + u' ' + QString::fromLatin1(readBytes(dir.filePath(f)).toHex().left(64))
                   + QString::number(QFileInfo(dir.filePath(f)).size());
        }
        out.sort();
        return out;
    }
};

// KEN_ALL of the fixture a month on: its first town (060-0000) gone, and
// 旭ケ丘's code 064-0941 changed to 064-0999.
QByteArray nextMonth()
{
    QByteArray csv = fixture("KEN_ALL.CSV");
    csv.remove(0, csv.indexOf('\n') + 1);
    csv.replace("\"0640941\"", "\"0640999\"");
    return csv;
}

} // namespace

struct UpdateCase
{
    const char *name;
    const char *file;
    std::function<QByteArray()> bytes;
    QDateTime fileTime;
    const char *reason; // in the refusal
    bool defaultLimits = false;
    bool kept = false;          // a generation was kept by an update before
    bool targetBlocked = false; // the new file cannot be written
};

class UpdateRefused : public testing::TestWithParam<UpdateCase>
{
};

TEST_P(UpdateRefused, NamesTheFileAndTheReasonAndChangesNothing)
{
    Folder folder;
    QTemporaryDir downloads;
    const QString file = downloads.filePath(QString::fromUtf8(GetParam().file));
    ASSERT_TRUE(writeFile(file, GetParam().bytes(), GetParam().fileTime));
    const PostalUpdate::Limits small{{1, 1000}, {1, 1000}};
    if (GetParam().kept) {
        const QString earlier = downloads.filePath(u"ken_all (0).zip"_qs);
        ASSERT_TRUE(writeFile(earlier, kenAllZip(at(2026, 5, 27))));
        ASSERT_TRUE(PostalUpdate::install(earlier, folder.where, small).done);
    }
    if (GetParam().targetBlocked) {
        ASSERT_TRUE(QDir(folder.user.path()).mkpath(u"ken_all.zip/x"_qs));
    }
    const QStringList before = folder.state();
    const auto r = PostalUpdate::install(file, folder.where, GetParam().defaultLimits ? PostalUpdate::Limits{} : small);
    EXPECT_FALSE(r.done);
    EXPECT_TRUE(r.message.contains(file)) << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(q(GetParam().reason))) << r.message.toStdString();
    EXPECT_EQ(folder.state(), before);
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, UpdateRefused,
    testing::Values(
        UpdateCase{"Empty", "ken_all.zip", [] { return QByteArray(); }, {}, "空です"},
        UpdateCase{"TruncatedZip", "ken_all.zip", [] { return kenAllZip(at(2026, 6, 30)).chopped(40); }, {}, "途中で切れて"},
        UpdateCase{"CorruptMember", "ken_all.zip", [] { return flipped(kenAllZip(at(2026, 6, 30)), 30 + 11 + 200); }, {}, "壊れて"},
        UpdateCase{"ForeignZip", "ken_all.zip", [] { return makeZip("README.TXT", "hello", at(2026, 6, 30)); }, {}, "KEN_ALL.CSV も JIGYOSYO.CSV も入っていません"},
        UpdateCase{"DifferencesOnly", "add_2606.zip", [] { return makeZip("ADD_2606.CSV", nextMonth(), at(2026, 6, 30)); }, {}, "入っていません"},
        UpdateCase{"Utf16Csv", "KEN_ALL.CSV", [] { return utf16(fixture("KEN_ALL.CSV")); }, at(2026, 6, 30), "文字コード"},
        UpdateCase{"AddressListCsv", "list.csv", [] { return QByteArray("\"Zip\",\"Add\"\r\n\"100-0005\",\"x\"\r\n"); }, at(2026, 6, 30), "形式ではありません"},
        UpdateCase{"TooFewForAllOfJapan", "ken_all.zip", [] { return kenAllZip(at(2026, 6, 30)); }, {}, "町域が 23 件です", true},
        UpdateCase{"ManyBadLines", "KEN_ALL.CSV", []() -> QByteArray { return fixture("KEN_ALL.CSV") + QByteArray("x,y\r\n").repeated(3); }, at(2026, 6, 30), "読めない行が 3 行"},
        UpdateCase{"OlderThanInUse", "ken_all.zip", [] { return kenAllZip(at(2026, 4, 28)); }, {}, "2026/04/28）は使用中のデータ（2026/05/26"},
        UpdateCase{"SameDateAgain", "ken_all.zip", [] { return kenAllZip(at(2026, 5, 26)); }, {}, "すでに最新のデータです"},
        UpdateCase{"SameDateAfterAnUpdate", "ken_all (2).zip", [] { return kenAllZip(at(2026, 5, 27)); }, {},
                   "すでに最新のデータです", false, true},
        UpdateCase{"NewFileNotWritten", "ken_all (3).zip", [] { return makeZip("KEN_ALL.CSV", nextMonth(), at(2026, 6, 30)); },
                   {}, "書き込めません", false, false, true}),
    ParamName());

struct AcceptedCase
{
    const char *name;
    const char *file;
    std::function<QByteArray()> bytes;
    QDateTime fileTime;
    Kind kind;
    QDate oldDate;
    QDate newDate;
    qsizetype added;
    qsizetype removed;
    const char *installedAs;
    const char *keptAs; // in the previous generation
};

class UpdateAccepted : public testing::TestWithParam<AcceptedCase>
{
};

TEST_P(UpdateAccepted, InstallsKeepsThePreviousAndSaysWhatChanged)
{
    const AcceptedCase &c = GetParam();
    Folder folder;
    QTemporaryDir downloads;
    const QString file = downloads.filePath(QString::fromUtf8(c.file));
    ASSERT_TRUE(writeFile(file, c.bytes(), c.fileTime));
    const auto r = PostalUpdate::install(file, folder.where, {{1, 1000}, {1, 1000}});
    ASSERT_TRUE(r.done) << r.message.toStdString();
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.oldDate, c.oldDate);
    EXPECT_EQ(r.newDate, c.newDate);
    EXPECT_EQ(r.added, c.added);
    EXPECT_EQ(r.removed, c.removed);
    EXPECT_TRUE(r.message.contains(c.oldDate.toString(u"yyyy/MM/dd"_qs) + QStringLiteral(" → ")
                                   + c.newDate.toString(u"yyyy/MM/dd"_qs)))
        << r.message.toStdString();
    EXPECT_EQ(QFileInfo(r.installed).fileName(), QString::fromUtf8(c.installedAs));

    // The dictionary now takes it as the newest of its kind.
    const auto now = PostalReaders::load(folder.where);
    ASSERT_NE(now, nullptr);
    const auto &used = now->sources[c.kind == Kind::Towns ? 0 : 1];
    EXPECT_EQ(used.path, r.installed);
    EXPECT_EQ(used.date, c.newDate);
    // What it replaced is kept, and read back as the previous generation.
    EXPECT_TRUE(QFile::exists(QDir(PostalUpdate::previousFolder(folder.user.path())).filePath(QString::fromUtf8(c.keptAs))));
    const auto previous = PostalUpdate::loadPrevious(folder.user.path());
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(previous->sources.front().date, c.oldDate);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UpdateAccepted,
    testing::Values(
        AcceptedCase{"TownsZip", "ken_all (1).zip", [] { return makeZip("KEN_ALL.CSV", nextMonth(), at(2026, 6, 30)); }, {},
                     Kind::Towns, QDate(2026, 5, 26), QDate(2026, 6, 30), 1, 2, "ken_all.zip", "KEN_ALL.CSV"},
        AcceptedCase{"TownsUtf8Csv", "utf_ken_all.csv", [] { return Cp932::decode(nextMonth()).text.toUtf8(); }, at(2026, 6, 30),
                     Kind::Towns, QDate(2026, 5, 26), QDate(2026, 6, 30), 1, 2, "KEN_ALL.CSV", "KEN_ALL.CSV"},
        AcceptedCase{"OfficesOverSkk", "jigyosyo.zip", [] { return makeZip("JIGYOSYO.CSV", fixture("JIGYOSYO.CSV"), at(2026, 6, 30)); }, {},
                     Kind::Offices, QDate(2022, 5, 4), QDate(2026, 6, 30), 3, 3, "jigyosyo.zip", "SKK-JISYO.office.zipcode"}),
    ParamName());

// The update's file dialog starts in the downloads folder when it is there.
TEST(UpdateDialog, StartsInDownloadsOrHome)
{
    QTemporaryDir home;
    const QString downloads = home.filePath(u"Downloads"_qs);
    EXPECT_EQ(PostalUpdate::dialogFolder(downloads, home.path()), home.path());
    EXPECT_EQ(PostalUpdate::dialogFolder(QString(), home.path()), home.path());
    ASSERT_TRUE(QDir(home.path()).mkdir(u"Downloads"_qs));
    EXPECT_EQ(PostalUpdate::dialogFolder(downloads, home.path()), downloads);
}
