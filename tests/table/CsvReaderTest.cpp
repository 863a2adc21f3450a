#include "core/env/Cp932.h"
#include "core/table/CsvReader.h"
#include "core/table/ReadVerdict.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Status = CsvReader::Result::Status;
using Cells = std::vector<std::string>; // a row's cells in UTF-8; missing ones are empty

QByteArray cp932(const std::string &utf8)
{
    return Cp932::encode(QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))).bytes;
}

std::vector<Cells> cellsOf(const CsvReader::Result &result)
{
    std::vector<Cells> rows;
    for (const AddressTableModel::Row &row : result.rows) {
        Cells cells;
        for (int c = 0; c < 5; ++c)
            cells.push_back(row.cell(c).toString().toStdString());
        rows.push_back(cells);
    }
    return rows;
}

std::vector<Cells> padded(std::vector<Cells> rows)
{
    for (Cells &row : rows)
        row.resize(5);
    return rows;
}

const char *const H = "郵便番号,住所,勤務先等,電話番号,MAP URL\r\n";

struct ReadCase
{
    const char *name;
    std::string text; // UTF-8 here, code page 932 in the file
    std::vector<Cells> rows;
    Status status = Status::Loaded;
    int badLine = -1;
};

std::string h(const std::string &rest)
{
    return H + rest;
}

class Reading : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(Reading, GivesTheRowsOfTheFile)
{
    const ReadCase &c = GetParam();
    const CsvReader::Result result = CsvReader::read(cp932(c.text));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.badLine, c.badLine);
    EXPECT_EQ(cellsOf(result), padded(c.rows));
    EXPECT_EQ(result.undecodableCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reading,
    ::testing::Values(
        ReadCase{"EmptyFileGivesNoRows", "", {}},
        ReadCase{"HeaderOnlyGivesOneBlankRow", "郵便番号,住所,勤務先等,電話番号,MAP URL", {{}}},
        ReadCase{"HeaderOnlyWithLineEnd", H, {{}}},
        ReadCase{"LineEndsOnlyGiveNoRows", "\r\n\r\n\n", {}},
        ReadCase{"WrittenFile",
                 h("\"100-0005\",\"東京都千代田区丸の内\",\"\",\"03-1234-5678\",\"\"\r\n"
                   "\"\",\"\",\"株式会社ﾃｽﾄ\",\"\",\"https://map.example/?a=1&b=2\"\r\n"),
                 {{"100-0005", "東京都千代田区丸の内", "", "03-1234-5678", ""},
                  {"", "", "株式会社ﾃｽﾄ", "", "https://map.example/?a=1&b=2"},
                  {}}},
        ReadCase{"TrailingLineEndsAllDropped", h("\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\r\n\r\n\n"),
                 {{"1", "2", "3", "4", "5"}, {}}},
        ReadCase{"TrailingLineOfSpacesStays", h("\"1\",\"2\",\"3\",\"4\",\"5\"\r\n   \r\n"),
                 {{"1", "2", "3", "4", "5"}, {"   "}, {}}, Status::BadFormat, 2},
        ReadCase{"BlankLineInTheMiddleStops",
                 h("\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\r\n\"6\",\"7\",\"8\",\"9\",\"10\"\r\n"),
                 {{"1", "2", "3", "4", "5"}, {}, {}, {}}, Status::BadFormat, 2},
        ReadCase{"FourFieldsStopKeepingThem",
                 h("\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n\"6\",\"7\",\"8\",\"9\",\"10\"\r\n"
                   "\"x\",\"x\",\"x\",\"x\",\"x\"\r\n"),
                 {{"1", "2", "3", "4", "5"}, {"a", "b", "c", "d"}, {}, {}, {}}, Status::BadFormat, 2},
        ReadCase{"FiveFieldsSomeEmptyLoad", h("\"\",\"\",\"x\",\"\",\"\"\r\n,,,,\r\n"),
                 {{"", "", "x", "", ""}, {}, {}}},
        ReadCase{"FieldsAfterTheFifthIgnored", h("1,2,3,4,5,6,\"7,8\"\r\n"), {{"1", "2", "3", "4", "5"}, {}}},
        ReadCase{"UnquotedFieldsNotTrimmed", h(" 1 ,2,3,4, 5\r\n"), {{" 1 ", "2", "3", "4", " 5"}, {}}},
        ReadCase{"CommaInsideQuotesIsText", h("\"1\",\"千代田区, 丸の内\",\"3\",\"4\",\"5\"\r\n"),
                 {{"1", "千代田区, 丸の内", "3", "4", "5"}, {}}},
        ReadCase{"DoubledQuoteIsOneQuote", h("\"\"\"A\"\" 商事\",\"\"\"\",\"\",\"\",\"a\"\"\"\r\n"),
                 {{"\"A\" 商事", "\"", "", "", "a\""}, {}}},
        ReadCase{"LineBreaksInsideQuotesAreText", h("\"1\",\"a\r\nb\",\"c\nd\",\"e\rf\",\"5\"\r\n\"6\",,,,\r\n"),
                 {{"1", "a\r\nb", "c\nd", "e\rf", "5"}, {"6"}, {}}},
        ReadCase{"LfOnlyLineEnds", "h\n1,2,3,4,5\n\"6\",\"7\",\"8\",\"9\",\"10\"\n",
                 {{"1", "2", "3", "4", "5"}, {"6", "7", "8", "9", "10"}, {}}},
        ReadCase{"MixedLineEnds", "h\r\n1,2,3,4,5\n6,7,8,9,10\r\n", {{"1", "2", "3", "4", "5"}, {"6", "7", "8", "9", "10"}, {}}},
        ReadCase{"CrOnlyIsOneHeaderLine", "h\r1,2,3,4,5\r6,7,8,9,10\r", {{}}},
        ReadCase{"LoneCrStaysInItsField", "h\r\n1,2\r3,4,5,6\r\n", {{"1", "2\r3", "4", "5", "6"}, {}}},
        ReadCase{"FirstLineIsNeverLookedAt", "\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\"6\",\"7\",\"8\",\"9\",\"10\"\r\n",
                 {{"6", "7", "8", "9", "10"}, {}}},
        ReadCase{"StrayQuoteInsideAQuotedCellIsText", h("\"1\",\"ab\"c\",\"3\",\"4\",\"5\"\r\n"),
                 {{"1", "ab\"c", "3", "4", "5"}, {}}},
        ReadCase{"QuoteInsideAnUnquotedFieldIsText", h("1,a\"b,3,4,5\r\n"), {{"1", "a\"b", "3", "4", "5"}, {}}},
        ReadCase{"UnterminatedQuoteStops",
                 h("\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\"a\",\"b\",\"c\r\n6,7,8,9,10\r\n"),
                 {{"1", "2", "3", "4", "5"}, {"a", "b", "c"}, {}, {}}, Status::BadFormat, 2},
        ReadCase{"UnterminatedQuoteInTheHeader", "\"h\r\n1,2,3,4,5\r\n", {{"1", "2", "3", "4", "5"}, {}}},
        // The older writer left quotes inside a cell as they stood: abc" went
        // out as "abc"", which read the standard way runs on into the next line.
        ReadCase{"OlderQuoteEndingTheLastCells",
                 h("\"100-0001\",\"東京都\",\"abc\"\",\"\",\"\"\r\n\"100-0002\",\"大阪府\",\"\",\"\",\"\"\r\n"),
                 {{"100-0001", "東京都", "abc", "", ""}, {"100-0002", "大阪府", "", "", ""}, {}}},
        ReadCase{"OlderQuoteEndingACellMidLine", h("\"1\",\"abc\"\",\"3\",\"4\",\"5\"\r\n6,7,8,9,10\r\n"),
                 {{"1", "abc", "3", "4", "5"}, {"6", "7", "8", "9", "10"}, {}}},
        ReadCase{"OlderQuoteGivingFiveFieldsOverTwoLines",
                 h("\"abc\"\",\"\",\"\",\"\",\"\"\r\n\"v\",\"w\",\"x\",\"y\",\"z\"\r\n"),
                 {{"abc", "", "", "", ""}, {"v", "w", "x", "y", "z"}, {}}},
        ReadCase{"OlderLineStillShortIsNamed",
                 h("\"1\",\"2\",\"3\",\"4\",\"5\"\r\n\"a\",\"b\",\"c\r\n\"6\",\"7\",\"8\",\"9\",\"10\"\r\n"),
                 {{"1", "2", "3", "4", "5"}, {"a", "b", "c"}, {}, {}}, Status::BadFormat, 2},
        ReadCase{"BadLineCountsQuotedLineBreaks",
                 h("\"1\",\"a\r\nb\",\"3\",\"4\",\"5\"\r\n\"x\",\"y\"\r\n6,7,8,9,10\r\n"),
                 {{"1", "a\r\nb", "3", "4", "5"}, {"x", "y"}, {}, {}}, Status::BadFormat, 3},
        ReadCase{"NulByteIsKept", h(std::string("1,2\0x,3,4,5\r\n", 13)),
                 {{"1", std::string("2\0x", 3), "3", "4", "5"}, {}}}),
    [](const ::testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

struct DecodeCase
{
    const char *name;
    QByteArray bytes;
    std::vector<Cells> rows;
    int undecodableLine;
    Status status = Status::Loaded;
    CsvReader::Result::Encoding encoding = CsvReader::Result::Encoding::Cp932;
};

class Decoding : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(Decoding, ReportsTheFirstLineWithUndecodableBytes)
{
    const DecodeCase &c = GetParam();
    const CsvReader::Result result = CsvReader::read(c.bytes);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.undecodableLine, c.undecodableLine);
    EXPECT_EQ(result.undecodableCount > 0, c.undecodableLine > 0);
    EXPECT_EQ(result.encoding, c.encoding);
    if (!c.rows.empty()) {
        EXPECT_EQ(cellsOf(result), padded(c.rows));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Decoding,
    ::testing::Values(
        DecodeCase{"Cp932", cp932("h\r\n〒,東京都,～,①,髙\r\n"), {{"〒", "東京都", "～", "①", "髙"}, {}}, 0},
        DecodeCase{"Utf8WithByteOrderMark", QByteArray("\xEF\xBB\xBFh\r\n1,東京都,3,4,5\r\n"),
                   {{"1", "東京都", "3", "4", "5"}, {}}, 0, Status::Loaded, CsvReader::Result::Encoding::Utf8},
        DecodeCase{"Utf8WithByteOrderMarkAndBadBytes", QByteArray("\xEF\xBB\xBFh\r\n1,2,3,4,5\r\n1,\xC3,3,4,5\r\n"),
                   {{"1", "2", "3", "4", "5"}, {"1", "\xEF\xBF\xBD", "3", "4", "5"}, {}}, 3, Status::Loaded,
                   CsvReader::Result::Encoding::Utf8},
        // Without the mark, bytes that are UTF-8 throughout are read as UTF-8.
        DecodeCase{"Utf8WithoutByteOrderMark", QByteArray("h\r\n1,\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86,3,4,5\r\n"),
                   {{"1", "あいう", "3", "4", "5"}, {}}, 0, Status::Loaded, CsvReader::Result::Encoding::Utf8},
        // A file that stops being UTF-8 later is code page 932 from its start.
        DecodeCase{"Utf8UntilABadByte", QByteArray("h\r\n1,\xE3\x81\x82,3,4,5\r\n1,\x82\xA0\x85\x40,3,4,5\r\n"), {}, 2},
        DecodeCase{"InvalidCp932OnLineThree", QByteArray("h\r\n1,2,3,4,5\r\n1,\x82\xA0\x85\x40,3,4,\xFD\r\n"), {}, 3},
        DecodeCase{"LeadByteCutOffAtTheEnd", QByteArray("h\r\n1,2,3,4,5\x82"), {{"1", "2", "3", "4", "5\xEF\xBF\xBD"}, {}},
                   2},
        DecodeCase{"LfOnlyLinesCounted", QByteArray("h\n\n\n1,2,3,4,\xA0\x80"), {}, 4, Status::BadFormat}),
    [](const ::testing::TestParamInfo<DecodeCase> &info) { return std::string(info.param.name); });

// A file of several megabytes is read a piece at a time: records running over
// the piece boundaries, a bad line and undecodable bytes far in, and a long run
// of line ends at the end come out as from the whole text at once.
TEST(Reading, InPiecesAsFromTheWholeText)
{
    QString text = QString::fromUtf8(H);
    for (int i = 0; i < 40000; ++i) {
        const QString n = QString::number(i);
        switch (i % 4) {
        case 0: text += u"\"100-"_qs + n + u"\",\"東京都　千代田区\",\"\",\"03\",\"\"\r\n"_qs; break;
        case 1: text += u"\""_qs + n + u"\",\"二行の\r\nセル\",\"a,b\",\"\"\"q\"\"\",\"\"\r\n"_qs; break;
        case 2: text += u"\""_qs + n + u"\",\"abc\"\",\"\",\"\",\"\"\n"_qs; break; // the older writer's form
        default: text += n + u",,,,https://map.example/?p="_qs + n + u"\r\n"_qs; break;
        }
    }
    text += u"\"x\",\"\",\"\",\"\",\"\"\r\n"_qs; // closes the last older line's quote
    const int badLine = int(text.count(u'\n'));
    text += u"1,2,3,4\r\n6,7,8,9,10\r\n"_qs + QString(1 << 20, u'\n');
    const CsvReader::Result whole = CsvReader::parse(text);
    ASSERT_EQ(whole.status, Status::BadFormat);
    ASSERT_EQ(whole.badLine, badLine);
    ASSERT_EQ(whole.rows.size(), size_t(40001 + 3));

    const QByteArray cp932Bytes = Cp932::encode(text).bytes;
    const qsizetype half = cp932Bytes.indexOf('\n', cp932Bytes.size() / 3) + 1;
    const QByteArray undecodable = "1,\x85\x40,3,4,5\r\n";
    const QByteArrayList files{cp932Bytes, QByteArray("\xEF\xBB\xBF") + text.toUtf8(),
                               cp932Bytes.left(half) + undecodable + cp932Bytes.mid(half)};
    for (const QByteArray &bytes : files) {
        const CsvReader::Result pieces = CsvReader::read(bytes);
        EXPECT_EQ(pieces.status, Status::BadFormat);
        const bool withBadBytes = bytes.contains(undecodable);
        EXPECT_EQ(pieces.badLine, badLine + (withBadBytes ? 1 : 0));
        EXPECT_EQ(pieces.undecodableLine, withBadBytes ? int(cp932Bytes.left(half).count('\n')) + 1 : 0);
        if (!withBadBytes) {
            EXPECT_EQ(cellsOf(pieces), cellsOf(whole));
        }
    }
}

TEST(Reading, BinaryGarbageNeverCrashesNorGivesMoreThanFiveCells)
{
    QByteArray garbage;
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245U + 12345U;
        garbage.append(char(seed >> 24));
    }
    const CsvReader::Result result = CsvReader::read(garbage);
    EXPECT_NE(result.status, Status::Unreadable);
    for (const AddressTableModel::Row &row : result.rows)
        EXPECT_LE(row.ends[3], row.text.size());
}

TEST(Reading, ProgressCanCancel)
{
    std::string text = H;
    for (int i = 0; i < 3 * Csv::ProgressRows; ++i)
        text += "1,2,3,4,5\r\n";
    int calls = 0;
    const CsvReader::Result result = CsvReader::read(cp932(text), [&calls](qint64 done, qint64 total) {
        EXPECT_LE(done, total);
        return ++calls < 3;
    });
    EXPECT_EQ(result.status, Status::Cancelled);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_EQ(calls, 3);
}

TEST(Reading, ProgressRisesToTheWhole)
{
    std::string text = H;
    for (int i = 0; i < 2 * Csv::ProgressRows; ++i)
        text += "1,2,3,4,5\r\n";
    QByteArray bytes = cp932(text);
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    qint64 last = -1;
    const CsvReader::Result result = CsvReader::read(buffer, [&last](qint64 done, qint64 total) {
        EXPECT_EQ(total, 1000);
        EXPECT_GE(done, last);
        last = done;
        return true;
    });
    EXPECT_EQ(result.status, Status::Loaded);
    EXPECT_EQ(result.rows.size(), size_t(2 * Csv::ProgressRows + 1));
    EXPECT_GT(last, 400);
}

TEST(Reading, PathErrorsNameThePathAndTheReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("no/such.csv"));
    CsvReader::Result result = CsvReader::read(missing);
    EXPECT_EQ(result.status, Status::Unreadable);
    EXPECT_TRUE(result.error.startsWith(missing + QStringLiteral(": "))) << result.error.toStdString();

    result = CsvReader::read(dir.path());
    EXPECT_EQ(result.status, Status::Unreadable);
    EXPECT_TRUE(result.error.startsWith(dir.path() + QStringLiteral(": "))) << result.error.toStdString();

    const QString locked = dir.filePath(QStringLiteral("locked.csv"));
    QFile file(locked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("h\r\n1,2,3,4,5\r\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::Permissions()));
    if (file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "a mode-000 file is readable here (running as root)";
    result = CsvReader::read(locked);
    EXPECT_EQ(result.status, Status::Unreadable);
    EXPECT_TRUE(result.error.startsWith(locked + QStringLiteral(": "))) << result.error.toStdString();
    EXPECT_GT(result.error.size(), locked.size() + 2);
}

} // namespace

// Whether a plain save may write the table back over the file it came from.
struct VerdictCase
{
    const char *name;
    QByteArray bytes;
    bool writableBack;
    qsizetype records;
};

class Verdict : public ::testing::TestWithParam<VerdictCase>
{
};

TEST_P(Verdict, OnlyAFileReadAsWrittenIsWrittenBack)
{
    const CsvReader::Result result = CsvReader::read(GetParam().bytes);
    EXPECT_EQ(ReadVerdict::writableBack(result), GetParam().writableBack);
    EXPECT_EQ(ReadVerdict::records(result.rows), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Verdict,
    ::testing::Values(
        VerdictCase{"Cp932", cp932("h\r\n〒,東京都,,,\r\n,　,,,\r\n"), true, 1},
        VerdictCase{"Utf8StorableInCp932", QByteArray("h\r\n1,東京都,,,\r\n"), true, 1},
        VerdictCase{"Utf8WithAnEmoji", QByteArray("h\r\n1,東京都\xF0\x9F\x98\x80,,,\r\n2,x,,,\r\n"), false, 2},
        VerdictCase{"Utf8WithAByteOrderMarkAndAHangul", QByteArray("\xEF\xBB\xBFh\r\n1,\xED\x95\x9C,,,\r\n"), false, 1},
        VerdictCase{"UndecodableCp932", QByteArray("h\r\n1,\x85\x40,3,4,5\r\n"), false, 1},
        VerdictCase{"Malformed", QByteArray("h\r\n1,2,3,4\r\n"), false, 1}),
    [](const ::testing::TestParamInfo<VerdictCase> &info) { return std::string(info.param.name); });
