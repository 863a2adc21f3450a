// Lists from elsewhere: workbooks LibreOffice wrote, number formats, the
// column guess, the repairs, CSV/TSV in every encoding, and export → import.
#include "core/exchange/ColumnMapping.h"
#include "core/exchange/DelimitedText.h"
#include "core/exchange/XlsReader.h"
#include "core/exchange/XlsxReader.h"
#include "core/exchange/XlsxWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray dataFile(const char *name)
{
    QFile f(QStringLiteral(KOTOVEN_EXCHANGE_DATA "/") + QString::fromUtf8(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList cells(std::initializer_list<const char16_t *> list)
{
    QStringList out;
    for (const char16_t *c : list)
        out.append(QString::fromUtf16(c));
    return out;
}

// Rows as a reader gives them: no empty cells at their ends.
std::vector<QStringList> trimmed(std::vector<QStringList> rows)
{
    for (QStringList &row : rows)
        while (!row.isEmpty() && row.back().isEmpty())
            row.removeLast();
    return rows;
}

TEST(XlsxReader, ReadsWhatLibreOfficeWroteAsShown)
{
    const QByteArray book = dataFile("list.xlsx");
    ASSERT_FALSE(book.isEmpty());
    const XlsxReader::Book sheets = XlsxReader::sheets(book);
    ASSERT_TRUE(sheets.error.isEmpty()) << sheets.error.toStdString();
    ASSERT_EQ(sheets.sheets.size(), 3U);
    EXPECT_EQ(sheets.sheets[0].name, u"空");
    EXPECT_FALSE(sheets.sheets[1].hidden);
    EXPECT_EQ(sheets.sheets[2].name, u"隠し");
    EXPECT_TRUE(sheets.sheets[2].hidden);

    const XlsxReader::Sheet sheet = XlsxReader::read(book, 1);
    ASSERT_TRUE(sheet.error.isEmpty()) << sheet.error.toStdString();
    const auto &rows = sheet.table.rows;
    ASSERT_EQ(rows.size(), 4U);
    // Shared strings, rich text as plain text (the header's 住所1 is two runs).
    EXPECT_EQ(rows[0], cells({u"氏名", u"〒", u"住所1", u"住所2", u"会社名", u"TEL", u"登録日", u"敬称付き"}));
    // General numbers, yyyy/m/d, a formula's cached text.
    EXPECT_EQ(rows[1], cells({u"山田太郎", u"600042", u"北海道札幌市中央区大通西", u"1丁目", u"山田商事", u"112345678",
                              u"2024/4/1", u"山田太郎様"}));
    // 000-0000, rich text, a merged range's top-left value, 0000000, a
    // formula's cached number.
    EXPECT_EQ(rows[2], cells({u"鈴木花子", u"100-0001", u"東京都千代田区千代田", u"", u"皇居外苑管理事務所", u"",
                              u"0045292", u"3"}));
    // Text (@), a decimal in General.
    EXPECT_EQ(rows[3], cells({u"佐藤一郎", u"0600042", u"北海道札幌市中央区", u"北1条西2丁目", u"札幌市役所",
                              u"011-211-2111", u"12.5", u"0600042"}));
}

TEST(XlsxReader, ShownNumbers)
{
    const struct
    {
        double value;
        int id;
        const char16_t *code;
        const char16_t *shown;
    } cases[] = {
        {600042, 0, u"", u"600042"},
        {600042, 164, u"General", u"600042"},
        {0.1 + 0.2, 0, u"", u"0.3"},
        {600042, 165, u"0000000", u"0600042"},
        {600042, 166, u"000\\-0000", u"060-0042"},
        {600042, 167, u"000-0000", u"060-0042"},
        {12345678, 167, u"000-0000", u"12345678"}, // more digits than zeros: General
        {45383, 14, u"", u"2024/4/1"},
        {45383, 165, u"yyyy/m/d", u"2024/4/1"},
        {45383, 166, u"yyyy\\-mm\\-dd", u"2024-04-01"},
        {45383, 57, u"", u"2024-04-01"},                      // a built-in era date: ISO
        {45383, 170, u"[$-ja-JP]ggge\"年\"m\"月\"d\"日\"", u"2024-04-01"}, // era: ISO
        {1234.5, 4, u"", u"1,234.50"},
        {1234.5, 168, u"0.0", u"1234.5"},
        {1234567, 3, u"", u"1,234,567"},
        {1.5, 49, u"@", u"1.5"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(XlsxReader::shownNumber(c.value, c.id, QString::fromUtf16(c.code)), QString::fromUtf16(c.shown))
            << c.value << " " << QString::fromUtf16(c.code).toStdString();
}

TEST(XlsxReader, BadInputSaysWhatItIs)
{
    const QByteArray book = dataFile("list.xlsx");
    QByteArray encrypted("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    encrypted.append(512, '\0');
    for (const char c : QByteArrayLiteral("EncryptedPackage")) {
        encrypted += c;
        encrypted += '\0';
    }
    QByteArray xls("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    xls.append(512, '\0');
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char16_t *says;
    } cases[] = {
        {"encrypted", encrypted, u"暗号化"},
        {"ole2 without a workbook", xls, u"ではありません"},
        {"ods", dataFile("list.ods"), u".ods"},
        {"truncated zip", book.left(book.size() / 2), u"壊れています"},
        {"not a zip", QByteArrayLiteral("氏名,住所\n"), u"ではありません"},
    };
    for (const auto &c : cases) {
        const XlsxReader::Book b = XlsxReader::sheets(c.bytes);
        EXPECT_TRUE(b.error.contains(QString::fromUtf16(c.says))) << c.name << ": " << b.error.toStdString();
        EXPECT_FALSE(XlsxReader::read(c.bytes, 0).error.isEmpty()) << c.name;
    }
}

TEST(XlsReader, ReadsWhatLibreOfficeWroteAndRefusesFormulas)
{
    const QString dir = QStringLiteral(KOTOVEN_EXCHANGE_DATA "/");
    // list.xls holds two formula cells on its second sheet, plain.xls none.
    EXPECT_EQ(XlsReader::formulaCells(dataFile("list.xls")), (std::vector<qsizetype>{0, 2, 0}));
    EXPECT_EQ(XlsReader::formulaCells(dataFile("plain.xls")), (std::vector<qsizetype>{0, 0, 0}));
    EXPECT_TRUE(XlsReader::formulaCells(dataFile("list.xlsx")).empty());
    EXPECT_EQ(XlsReader::read(dir + u"list.xls"_s, 1).error,
              u"2 個の数式セルは読めません。.xlsx に保存し直してください");

    const XlsReader::Book book = XlsReader::sheets(dir + u"plain.xls"_s);
    ASSERT_TRUE(book.error.isEmpty()) << book.error.toStdString();
    ASSERT_EQ(book.sheets.size(), 3U);
    EXPECT_EQ(book.sheets[1].name, u"名簿");
    const XlsReader::Sheet sheet = XlsReader::read(dir + u"plain.xls"_s, 1);
    ASSERT_TRUE(sheet.error.isEmpty()) << sheet.error.toStdString();
    ASSERT_EQ(sheet.table.rows.size(), 4U);
    // Numbers without their formats, dates as ISO dates.
    EXPECT_EQ(sheet.table.rows[1], cells({u"山田太郎", u"600042", u"北海道札幌市中央区大通西", u"1丁目", u"山田商事",
                                          u"112345678", u"2024-04-01"}));
    EXPECT_EQ(sheet.table.rows[3][6], u"12.5");
    EXPECT_FALSE(XlsReader::sheets(dir + u"missing.xls"_s).error.isEmpty());
    // A record longer than BIFF8 allows (found by xls_fuzz) never reaches
    // FreeXL, which read such records past its buffers.
    EXPECT_EQ(XlsReader::sheets(dir + u"long-record.xls"_s).error, u"ブックが壊れています");
    EXPECT_EQ(XlsReader::read(dir + u"long-record.xls"_s, 0).error, u"ブックが壊れています");
    // FreeXL frees memory it does not own on this one (also found by
    // xls_fuzz): it runs in a child process, and only the child falls.
    EXPECT_EQ(XlsReader::sheets(dir + u"bad-free.xls"_s).error, u"ブックが壊れています");
    EXPECT_FALSE(XlsReader::sheets(dir + u"list.xlsx"_s).error.isEmpty());
}

TEST(ColumnMapping, GuessesFromHeaderAndContent)
{
    SourceTable withHeader;
    withHeader.rows = {cells({u"氏名", u"〒", u"住所1", u"住所2", u"会社名", u"TEL", u"ホームページURL"}),
                       cells({u"山田", u"600042", u"札幌市", u"1丁目", u"山田商事", u"112345678", u"https://a.example/"})};
    ColumnMapping m = ColumnMapping::guess(withHeader);
    EXPECT_TRUE(m.header);
    EXPECT_EQ(m.sources[0], std::vector<int>{1});
    EXPECT_EQ(m.sources[1], (std::vector<int>{2, 3}));
    EXPECT_EQ(m.sources[2], std::vector<int>{4});
    EXPECT_EQ(m.sources[3], std::vector<int>{5});
    EXPECT_EQ(m.sources[4], std::vector<int>{6});

    // No header: codes, phones and links found by their content.
    SourceTable bare;
    bare.rows = {cells({u"山田", u"060-0042", u"03-1234-5678", u"https://a.example/"}),
                 cells({u"鈴木", u"1000001", u"090-1234-5678", u"http://b.example/"})};
    m = ColumnMapping::guess(bare);
    EXPECT_FALSE(m.header);
    EXPECT_EQ(m.sources[0], std::vector<int>{1});
    EXPECT_TRUE(m.sources[1].empty());
    EXPECT_EQ(m.sources[3], std::vector<int>{2});
    EXPECT_EQ(m.sources[4], std::vector<int>{3});

    const struct
    {
        const char16_t *name;
        int column;
    } names[] = {{u"郵便番号", 0}, {u"ZIP", 0}, {u"ｚｉｐ", 0}, {u"所在地", 1}, {u"住所３", 1}, {u"勤務先", 2},
                 {u"施設名", 2},   {u"電話番号", 3}, {u"ＴＥＬ", 3}, {u"URL", 4}, {u"氏名", -1}, {u"", -1}};
    for (const auto &n : names)
        EXPECT_EQ(ColumnMapping::columnOfName(QString::fromUtf16(n.name)), n.column) << QString::fromUtf16(n.name).toStdString();
}

TEST(ColumnMapping, AppliesJoinsRepairsAndRemembers)
{
    SourceTable source;
    source.rows = {cells({u"氏名", u"〒", u"住所1", u"住所2", u"TEL"}),
                   cells({u"山田", u"600042", u"札幌市", u"1丁目", u"112345678"}),
                   cells({u"", u"", u"", u"", u""}),
                   cells({u"鈴木", u"100-0001", u"千代田区", u"", u"09012345678"}),
                   cells({u"佐藤", u"10010", u"", u"", u"9012345678"})};
    ColumnMapping m;
    m.header = true;
    m.sources[0] = {1};
    m.sources[1] = {3, 2}; // in the order chosen
    m.sources[3] = {4};
    const MappedRows out = applyMapping(source, m);
    ASSERT_EQ(out.rows.size(), 3);
    EXPECT_EQ(out.rows[0].cell(0), u"060-0042");
    EXPECT_EQ(out.rows[0].cell(1), u"1丁目\u3000札幌市");
    EXPECT_EQ(out.rows[0].cell(3), u"0112345678");
    EXPECT_EQ(out.rows[1].cell(0), u"100-0001");
    EXPECT_EQ(out.rows[1].cell(1), u"千代田区");
    EXPECT_EQ(out.rows[1].cell(3), u"09012345678");
    EXPECT_EQ(out.rows[2].cell(0), u"001-0010");
    EXPECT_EQ(out.rows[2].cell(3), u"09012345678");
    EXPECT_EQ(out.repairedCodes, 2);
    EXPECT_EQ(out.repairedPhones, 2);
    EXPECT_EQ(applyMapping(source, m, 1).rows.size(), 1);
    // The column no table column takes stays with its row, unseen.
    EXPECT_EQ(out.layout.kept, std::vector<int>{0});
    EXPECT_EQ(out.layout.names, source.rows[0]);
    EXPECT_EQ(out.rows[0].keptCells(), QStringList{u"山田"_s});
    EXPECT_EQ(out.rows[2].keptCells(), QStringList{u"佐藤"_s});
    // A row with something in a kept column only is a row too; the kept
    // cells survive a change of a shown cell.
    source.rows[2][0] = u"高橋"_s;
    AddressTableModel::Row only = applyMapping(source, m).rows[1];
    EXPECT_TRUE(only.isBlank());
    only.setCell(AddressTableModel::Url, u"https://a.example/"_s);
    EXPECT_EQ(only.cell(AddressTableModel::Url), u"https://a.example/");
    EXPECT_EQ(only.keptCells(), QStringList{u"高橋"_s});

    EXPECT_EQ(ColumnMapping::fromText(m.toText(), 5), m);
    EXPECT_FALSE(ColumnMapping::fromText(m.toText(), 4)); // a column the list no longer has
    EXPECT_FALSE(ColumnMapping::fromText(QStringLiteral("x;;;;;"), 5));
    EXPECT_NE(ColumnMapping::rememberKey(source.rows[0]), ColumnMapping::rememberKey(source.rows[1]));
}

// The layout 書き出し writes a list taken in with other columns back in:
// source columns 0..n-1, each either kept (at its place) or feeding a table
// column (joined ones at the first's place, the rest left out).
TEST(KeptColumns, LayoutPutsEveryColumnBackInItsPlace)
{
    using Out = KeptColumns::Output;
    struct Case
    {
        const char *name;
        bool header;
        QStringList names;
        std::array<std::vector<int>, 5> mapped;
        std::vector<int> kept;
        std::array<bool, 5> filled;
        std::vector<Out> expected;
    };
    const QStringList list{u"氏名"_s, u"〒"_s, u"住所1"_s, u"住所2"_s, u"会社名"_s, u"TEL"_s, u"登録日"_s};
    const std::array<bool, 5> none{};
    const std::vector<Case> cases{
        {"kept first, middle and last; a join", true, list, {{{1}, {2, 3}, {4}, {5}, {}}}, {0, 6}, none,
         {{-1, 0, u"氏名"_s}, {0, -1, u"〒"_s}, {1, -1, u"住所1"_s}, {2, -1, u"会社名"_s}, {3, -1, u"TEL"_s},
          {-1, 1, u"登録日"_s}}},
        {"joined in another order: at the leftmost one's place", true, list, {{{1}, {3, 2}, {4}, {5}, {}}}, {0, 6},
         none,
         {{-1, 0, u"氏名"_s}, {0, -1, u"〒"_s}, {1, -1, u"住所1"_s}, {2, -1, u"会社名"_s}, {3, -1, u"TEL"_s},
          {-1, 1, u"登録日"_s}}},
        {"joined columns apart: the later ones left out", true, list, {{{1}, {2, 6}, {}, {}, {}}}, {0, 3, 4, 5},
         none,
         {{-1, 0, u"氏名"_s}, {0, -1, u"〒"_s}, {1, -1, u"住所1"_s}, {-1, 1, u"住所2"_s}, {-1, 2, u"会社名"_s},
          {-1, 3, u"TEL"_s}}},
        {"table order differs from the list's", true, {u"TEL"_s, u"備考"_s, u"住所"_s},
         {{{}, {2}, {}, {0}, {}}}, {1}, none, {{3, -1, u"TEL"_s}, {-1, 0, u"備考"_s}, {1, -1, u"住所"_s}}},
        {"a table column the list had none of, filled: last", true, {u"住所"_s, u"氏名"_s},
         {{{}, {0}, {}, {}, {}}}, {1}, {{true, true, false, false, true}},
         {{1, -1, u"住所"_s}, {-1, 0, u"氏名"_s}, {0, -1, u"郵便番号"_s}, {4, -1, u"Map URL"_s}}},
        {"one list column in two table columns", true, {u"住所"_s, u"氏名"_s}, {{{}, {0}, {0}, {}, {}}}, {1}, none,
         {{1, -1, u"住所"_s}, {2, -1, u"住所"_s}, {-1, 0, u"氏名"_s}}},
        {"no header: captions, kept ones unnamed", false, {}, {{{1}, {0}, {}, {}, {}}}, {2}, none,
         {{1, -1, u"住所"_s}, {0, -1, u"郵便番号"_s}, {-1, 0, QString()}}},
        {"no kept columns", true, {u"〒"_s, u"住所"_s}, {{{0}, {1}, {}, {}, {}}}, {}, none,
         {{0, -1, u"〒"_s}, {1, -1, u"住所"_s}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        KeptColumns k;
        k.header = c.header;
        k.names = c.names;
        k.mapped = c.mapped;
        k.kept = c.kept;
        EXPECT_EQ(k.layout(c.filled), c.expected);
        EXPECT_EQ(KeptColumns::fromText(k.toText()), k);
    }
    EXPECT_FALSE(KeptColumns::fromText(u"2\x1fh"_s));
    EXPECT_FALSE(KeptColumns::fromText(QString()));
    KeptColumns wide;
    wide.kept = {KeptColumns::MaxColumns}; // no list is that wide: a damaged text
    EXPECT_FALSE(KeptColumns::fromText(wide.toText()));
    wide.kept = {0};
    wide.names = {u"a\x1f" u"b"_s};
    EXPECT_EQ(KeptColumns::fromText(wide.toText())->names, QStringList{u"a b"_s});
}

TEST(DelimitedText, ReadsEveryEncodingAndBothDelimiters)
{
    const std::vector<QStringList> rows = {cells({u"氏名", u"住所", u"メモ"}),
                                           cells({u"山田", u"札幌市, 中央区", u"\"引用\"\r\n二行目"}),
                                           cells({u"鈴木", u"", u"①"})};
    const struct
    {
        DelimitedText::Encoding encoding;
        QChar delimiter;
    } cases[] = {
        {DelimitedText::Encoding::Cp932, u','}, {DelimitedText::Encoding::Utf8, u','},
        {DelimitedText::Encoding::Utf8Bom, u'\t'}, {DelimitedText::Encoding::Utf16, u'\t'},
        {DelimitedText::Encoding::Utf16, u','},
    };
    for (const auto &c : cases) {
        const DelimitedText::Written w = DelimitedText::write(rows, c.delimiter, c.encoding);
        EXPECT_EQ(w.unmappableCount, 0);
        const DelimitedText::Read r = DelimitedText::read(w.bytes);
        EXPECT_EQ(r.encoding, c.encoding);
        EXPECT_EQ(r.delimiter, c.delimiter);
        EXPECT_EQ(r.table.rows, rows) << int(c.encoding);
    }
    // UTF-16 without its byte-order mark.
    const QByteArray le = DelimitedText::write(rows, u',', DelimitedText::Encoding::Utf16).bytes.mid(2);
    EXPECT_EQ(DelimitedText::read(le).table.rows, rows);
    // Code page 932 cannot hold every character: where the first one is.
    const DelimitedText::Written w =
        DelimitedText::write({cells({u"a", u"b"}), cells({u"c", u"髙𠮷"})}, u',', DelimitedText::Encoding::Cp932);
    EXPECT_EQ(w.unmappableCount, 1);
    EXPECT_EQ(w.firstUnmappableRow, 1);
    EXPECT_EQ(w.firstUnmappableColumn, 1);
}

TEST(XlsxWriter, ExportThenImportGivesTheSameCells)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("名簿.xlsx"));
    XlsxWriter::Sheet list{QStringLiteral("住所録"),
                           {cells({u"郵便番号", u"住所", u"勤務先等", u"電話番号", u"Map URL"}),
                            cells({u"060-0042", u"北海道札幌市中央区大通西1丁目", u"", u"0112345678", u""}),
                            cells({u"0010010", u"", u"<&>\"'", u"", u"https://a.example/?q=1&r=2"})}};
    XlsxWriter::Sheet check{QStringLiteral("チェック結果"), {cells({u"行", u"結果"}), cells({u"2", u"形式"})}};
    ASSERT_EQ(XlsxWriter::write(path, {list, check}), QString());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray book = f.readAll();
    const XlsxReader::Book b = XlsxReader::sheets(book);
    ASSERT_EQ(b.sheets.size(), 2U);
    EXPECT_EQ(b.sheets[1].name, u"チェック結果");
    EXPECT_EQ(XlsxReader::read(book, 0).table.rows, trimmed(list.rows)); // inline strings
    EXPECT_EQ(XlsxReader::read(book, 1).table.rows, trimmed(check.rows));
    // Nothing left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A failed export leaves the old file as it was.
    const QString missing = dir.filePath(QStringLiteral("no/such/folder.xlsx"));
    EXPECT_FALSE(XlsxWriter::write(missing, {list}).isEmpty());
    EXPECT_FALSE(XlsxWriter::write(path, {XlsxWriter::Sheet{QStringLiteral("bad[name]"), {}}}).isEmpty());
    f.seek(0);
    QFile again(path);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), book);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    EXPECT_EQ(XlsxWriter::displayWidth(u"abc"), 3);
    EXPECT_EQ(XlsxWriter::displayWidth(u"住所ｱ１"), 7);
}

} // namespace
