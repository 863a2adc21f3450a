#include "core/table/CellBlock.h"
#include "core/table/CellFinder.h"
#include "core/table/PasteRules.h"
#include "core/table/SheetKeys.h"
#include "core/table/SortRules.h"
#include "core/table/StatusLine.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <sys/resource.h>

#include "harness/ParamName.h"
#include "harness/QtPrinters.h"

using namespace Qt::StringLiterals;
using CellBlock::Block;

namespace {

// ---- clipboard text from spreadsheets --------------------------------------

struct ClipCase
{
    const char *name;
    const char16_t *text;
    Block block;
};

class ClipboardTextTest : public testing::TestWithParam<ClipCase>
{
};

TEST_P(ClipboardTextTest, ReadsTheBlock)
{
    EXPECT_EQ(CellBlock::fromText(QStringView(GetParam().text)), GetParam().block);
}

// Written back, the block reads the same.
TEST_P(ClipboardTextTest, RoundTrips)
{
    const Block &block = GetParam().block;
    EXPECT_EQ(CellBlock::fromText(CellBlock::toText(block)), block);
}

INSTANTIATE_TEST_SUITE_P(
    Spreadsheets, ClipboardTextTest,
    testing::Values(
        ClipCase{"calc_cell_with_line_break", u"a\t\"b\nc\"\n1\t2\n", {{u"a"_s, u"b\nc"_s}, {u"1"_s, u"2"_s}}},
        ClipCase{"excel_crlf_rows", u"a\t\"b\nc\"\r\n1\t2\r\n", {{u"a"_s, u"b\nc"_s}, {u"1"_s, u"2"_s}}},
        ClipCase{"single_value", u"東京都千代田区\r\n", {{u"東京都千代田区"_s}}},
        ClipCase{"no_line_end", u"100-0005", {{u"100-0005"_s}}},
        ClipCase{"doubled_quotes", u"\"5\"\" disk\"\tx\r\n", {{u"5\" disk"_s, u"x"_s}}},
        ClipCase{"quote_inside_plain_cell", u"He said \"hi\"\tx\n", {{u"He said \"hi\""_s, u"x"_s}}},
        ClipCase{"quote_that_does_not_close_the_cell", u"\"abc\" def\tx\n", {{u"\"abc\" def"_s, u"x"_s}}},
        ClipCase{"empty_cells", u"\t\tc\r\n\t\t\r\n", {{QString(), QString(), u"c"_s}, {QString(), QString(), QString()}}},
        ClipCase{"tab_inside_quotes", u"\"a\tb\"\r\n", {{u"a\tb"_s}}},
        ClipCase{"cr_only_rows", u"a\rb\r", {{u"a"_s}, {u"b"_s}}},
        ClipCase{"one_empty_cell", u"\r\n", {{QString()}}}),
    ParamName());

TEST(CellBlockText, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(CellBlock::toText({{u"a"_s, u"b\"c"_s}, {u"x\ny"_s, QString()}}), u"a\t\"b\"\"c\"\r\n\"x\ny\"\t\r\n"_s);
    const QString html = CellBlock::toHtml({{u"<&>"_s, u"a\r\nb"_s}});
    EXPECT_TRUE(html.contains(u"<tr><td>&lt;&amp;&gt;</td><td>a<br>b</td></tr>"_s)) << html.toStdString();
}

// ---- where a paste goes ---------------------------------------------------

struct PasteCase
{
    const char *name;
    Block block;
    int row;
    int column;
    PasteRules::Area selection;
    PasteRules::Plan plan;
};

class PasteRulesTest : public testing::TestWithParam<PasteCase>
{
};

TEST_P(PasteRulesTest, Plans)
{
    const PasteCase &c = GetParam();
    EXPECT_EQ(PasteRules::plan(c.block, c.row, c.column, c.selection), c.plan);
}

const QString v = u"v"_s;

INSTANTIATE_TEST_SUITE_P(
    Paste, PasteRulesTest,
    testing::Values(
        PasteCase{"one_value_one_cell", {{v}}, 3, 1, {3, 1, 3, 1}, {3, 1, {{v}}, 0, 4}},
        PasteCase{"one_value_fills_the_selection", {{v}}, 2, 0, {2, 0, 3, 1}, {2, 0, {{v, v}, {v, v}}, 0, 4}},
        PasteCase{"block_from_the_active_cell", {{u"a"_s, u"b"_s}, {u"c"_s}}, 5, 2, {5, 2, 5, 2},
                  {5, 2, {{u"a"_s, u"b"_s}, {u"c"_s}}, 0, 7}},
        PasteCase{"block_ignores_a_larger_selection", {{u"a"_s, u"b"_s}}, 0, 0, {0, 0, 9, 4}, {0, 0, {{u"a"_s, u"b"_s}}, 0, 1}},
        PasteCase{"beyond_the_fifth_column_is_cut", {{u"1"_s, u"2"_s, u"3"_s}, {u"4"_s, u"5"_s, u"6"_s}}, 0, 3,
                  {0, 3, 0, 3}, {0, 3, {{u"1"_s, u"2"_s}, {u"4"_s, u"5"_s}}, 2, 2}},
        PasteCase{"empty_clipboard", {}, 0, 0, {0, 0, 0, 0}, {}}),
    ParamName());

// ---- finding --------------------------------------------------------------

struct FindCase
{
    const char *name;
    const char16_t *needle;
    const char16_t *cell;
    bool found;
};

class CellFinderTest : public testing::TestWithParam<FindCase>
{
};

TEST_P(CellFinderTest, Folds)
{
    EXPECT_EQ(CellFinder(QStringView(GetParam().needle)).matches(QStringView(GetParam().cell)), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Find, CellFinderTest,
    testing::Values(FindCase{"case", u"abc", u"xABCx", true}, FindCase{"full_width_letters", u"ABC", u"ａｂｃ", true},
                    FindCase{"full_width_digits", u"100-0005", u"〒１００－０００５", true},
                    FindCase{"half_width_katakana", u"カブシキ", u"ｶﾌﾞｼｷｶﾞｲｼｬ", true},
                    FindCase{"voiced_is_not_unvoiced", u"カフシ", u"ｶﾌﾞｼ", false},
                    FindCase{"semi_voiced", u"パン", u"ﾊﾟﾝ屋", true},
                    FindCase{"kana_to_half_width", u"ｺｰﾋｰ", u"株式会社コーヒー", true},
                    FindCase{"ideographic_space", u"区 丸", u"千代田区　丸の内", true},
                    FindCase{"later_start_matches", u"aab", u"aaab", true},
                    FindCase{"far_in_a_long_cell", u"ｶﾞｲ", u"東京都千代田区丸の内一丁目ガイア　ガイド", true},
                    FindCase{"many_forms_of_the_first", u"kg", u"5\u212AG", true},
                    FindCase{"not_there", u"大阪", u"東京都", false},
                    FindCase{"hiragana_is_not_katakana", u"かぶ", u"カブ", false},
                    FindCase{"empty_finds_all", u"", u"x", true},
                    // Characters outside the BMP are whole characters: first,
                    // inside and last, and far into a cell, where the eight-unit
                    // steps and the cell's last units are looked at.
                    FindCase{"outside_bmp_first", u"𠮷野", u"𠮷野家", true},
                    FindCase{"outside_bmp_alone", u"𩸽", u"北海道産𩸽の開き", true},
                    FindCase{"emoji_at_a_long_cells_end", u"😀", u"株式会社サンプル商事営業部😀", true},
                    FindCase{"emoji_at_the_ninth_unit", u"😀x", u"12345678😀x", true},
                    FindCase{"emoji_at_the_tenth_unit", u"😀", u"123456789😀", true},
                    FindCase{"outside_bmp_last", u"野𠮷", u"野𠮷", true},
                    FindCase{"outside_bmp_not_the_bmp_one", u"𠮷野家", u"吉野家", false},
                    FindCase{"same_high_half_other_character", u"😀", u"株式会社サンプル商事😁", false},
                    FindCase{"outside_bmp_folded", u"\U00010400", u"abc\U00010428", true},
                    FindCase{"outside_bmp_folded_first_of_many", u"\U00010428x", u"ABC\U00010400X", true},
                    FindCase{"lone_high_half_is_no_character", u"a\xD842", u"a𠮷", false},
                    FindCase{"lone_low_half_is_no_character", u"\xDFB7", u"1234567890𠮷", false},
                    FindCase{"lone_low_half_finds_itself", u"\xDFB7x", u"1\xDFB7x", true}),
    ParamName());

// The cell a plain walk over the table's cells in reading order finds: from
// the start cell (or the one after it), round the end, the start cell last.
std::optional<CellFinder::Cell> walkedNext(const CellFinder &finder, const AddressTableModel::Rows &rows,
                                           CellFinder::Cell from, bool backwards, bool includeFrom)
{
    constexpr int Columns = AddressTableModel::ColumnCount;
    const int total = int(rows.size()) * Columns;
    const int start = from.row * Columns + from.column;
    for (int k = includeFrom ? 0 : 1; k <= (includeFrom ? total - 1 : total); ++k) {
        const int at = ((start + (backwards ? -k : k)) % total + total) % total;
        if (finder.matches(rows[at / Columns].cell(at % Columns)))
            return CellFinder::Cell{at / Columns, at % Columns};
    }
    return std::nullopt;
}

// Random tables from a few characters (pairs outside the BMP, half-width
// kana, letter cases among them), random needles and starts: the search
// finds what the walk finds, on one thread and on two.
TEST(CellFinderSteps, FindWhatAWalkFinds)
{
    const QStringList pieces{u"a"_s, u"A"_s, u"ｶ"_s, u"ﾞ"_s, u"ガ"_s, u"𠮷"_s, u"😀"_s, u"😁"_s, u"12345678"_s, u"東京"_s};
    QRandomGenerator random(29);
    const auto text = [&](int most) {
        QString t;
        for (int n = int(random.bounded(most + 1)); n > 0; --n)
            t += pieces[int(random.bounded(int(pieces.size())))];
        return t;
    };
    for (int round = 0; round < 400; ++round) {
        AddressTableModel::Rows rows;
        for (int n = 1 + int(random.bounded(12)); n > 0; --n)
            rows.append(random.bounded(4) == 0 ? AddressTableModel::Row()
                                               : AddressTableModel::Row::fromCells(text(3), text(4), text(2), text(1), text(3)));
        const QString needle = text(2);
        const CellFinder finder(needle);
        if (finder.isEmpty())
            continue;
        const CellFinder::Cell from{int(random.bounded(int(rows.size()))), int(random.bounded(5))};
        const bool backwards = random.bounded(2) == 1;
        const bool includeFrom = random.bounded(2) == 1;
        const auto expected = walkedNext(finder, rows, from, backwards, includeFrom);
        for (const auto threads : {CellFinder::Threads::One, CellFinder::Threads::Two})
            EXPECT_EQ(finder.next(rows, from, backwards, includeFrom, threads), expected)
                << "needle " << needle.toStdString() << " from " << from.row << "," << from.column << " backwards "
                << backwards << " includeFrom " << includeFrom;
    }
}

AddressTableModel::Rows largeTable(int count, int foundRow)
{
    AddressTableModel::Rows rows(count, AddressTableModel::Row::fromCells(u"100-0005"_s, u"東京都千代田区丸の内一丁目"_s,
                                                                          u"株式会社サンプル商事"_s, u"03-1234-5678"_s, {}));
    rows[foundRow].setCell(AddressTableModel::Cmp, u"株式会社ホシノヤ"_s);
    return rows;
}

// A large table either way round, on one thread, on two and as the machine allows.
TEST(CellFinderSteps, LargeTable)
{
    const AddressTableModel::Rows rows = largeTable(250000, 180000);
    const CellFinder finder(u"ﾎｼﾉﾔ");
    for (const auto threads : {CellFinder::Threads::One, CellFinder::Threads::Two, CellFinder::Threads::WhenItPays}) {
        EXPECT_EQ(finder.next(rows, {200000, 0}, false, true, threads), (CellFinder::Cell{180000, 2}));
        EXPECT_EQ(finder.next(rows, {100000, 0}, true, true, threads), (CellFinder::Cell{180000, 2}));
        EXPECT_EQ(finder.next(rows, {180000, 2}, false, false, threads), (CellFinder::Cell{180000, 2}));
    }
}

// Where no second thread can start, the search runs on the one it has.
TEST(CellFinderStepsDeathTest, OneThreadWhenNoOtherStarts)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own mappings need the address space";
#else
    const AddressTableModel::Rows rows = largeTable(250000, 240000);
    const CellFinder finder(u"ホシノヤ");
    EXPECT_EXIT(
        {
            // Room for no thread's stack.
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            std::ifstream status("/proc/self/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind("VmSize:", 0) == 0)
                    limit.rlim_cur = rlim_t(std::stoll(line.substr(7)) * 1024 + (1 << 20));
            setrlimit(RLIMIT_AS, &limit);
            const auto found = finder.next(rows, {0, 0}, false, true, CellFinder::Threads::Two);
            std::_Exit(found == CellFinder::Cell{240000, 2} ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
#endif
}

// ---- sorting --------------------------------------------------------------

TEST(SortRules, CodeValues)
{
    EXPECT_EQ(SortRules::codeValue(u"1000005"), 1000005);
    EXPECT_EQ(SortRules::codeValue(u"100-0005"), 1000005);
    EXPECT_EQ(SortRules::codeValue(u"〒１００－０００５"), 1000005);
    EXPECT_EQ(SortRules::codeValue(u"060-0810 "), 600810);
    EXPECT_EQ(SortRules::codeValue(u"100-00051"), -1);
    EXPECT_EQ(SortRules::codeValue(u"10-00005"), -1);
    EXPECT_EQ(SortRules::codeValue(u"不明"), -1);
}

struct SortCase
{
    const char *name;
    QStringList cells;
    SortRules::Direction direction;
    bool codes;
    std::vector<qsizetype> order;
};

class SortOrderTest : public testing::TestWithParam<SortCase>
{
};

TEST_P(SortOrderTest, Orders)
{
    const SortCase &c = GetParam();
    EXPECT_EQ(SortRules::order(c.cells, c.direction, c.codes), c.order);
}

using D = SortRules::Direction;
INSTANTIATE_TEST_SUITE_P(
    Sort, SortOrderTest,
    testing::Values(
        SortCase{"codes_either_way_written", {u"100-0005"_s, u"0600810"_s, u"1000004"_s}, D::Ascending, true, {1, 2, 0}},
        SortCase{"equal_codes_keep_their_order", {u"1000005"_s, u"0600810"_s, u"100-0005"_s}, D::Ascending, true, {1, 0, 2}},
        SortCase{"empty_last_both_ways", {QString(), u"2000000"_s, u"1000000"_s}, D::Descending, true, {1, 2, 0}},
        SortCase{"text_after_codes", {u"不明"_s, u"1000000"_s}, D::Ascending, true, {1, 0}},
        SortCase{"case_breaks_ties", {u"b"_s, u"a"_s, u"B"_s}, D::Descending, false, {0, 2, 1}},
        SortCase{"width_alike", {u"ｂ"_s, u"a"_s, u"c"_s}, D::Ascending, false, {1, 0, 2}}),
    ParamName());

// ---- Tab runs and Enter ---------------------------------------------------

// Keys pressed from a cell of a 5-column grid of 10 rows: 'T' Tab, 'B'
// Shift+Tab (both wrap to the next or previous row at the row's end), 'E'
// Enter, 'R' another move (an arrow key, a click), which ends a run; 'W' a
// Tab from the last column of a one-row table, back to its first cell.
struct KeysCase
{
    const char *name;
    SheetKeys::Cell from;
    const char *keys;
    SheetKeys::Cell to;
};

class TabEnterTest : public testing::TestWithParam<KeysCase>
{
};

TEST_P(TabEnterTest, EndsWhereASpreadsheetWould)
{
    using SheetKeys::Cell;
    constexpr int Rows = 10;
    constexpr int Cols = 5;
    const KeysCase &c = GetParam();
    SheetKeys::TabRun run;
    Cell at = c.from;
    for (const char *key = c.keys; *key; ++key) {
        Cell next = at;
        switch (*key) {
        case 'T': next = at.col < Cols ? Cell{at.col + 1, at.row} : Cell{1, at.row + 1}; break;
        case 'W': next = {1, at.row}; break;
        case 'B': next = at.col > 1 ? Cell{at.col - 1, at.row} : Cell{Cols, at.row - 1}; break;
        case 'E': next = SheetKeys::enterTarget(run, at, Rows); break;
        case 'R': next = {std::min(at.col + 1, Cols), at.row}; break;
        }
        run = *key == 'T' || *key == 'B' || *key == 'W' ? SheetKeys::afterTab(run, at, next) : SheetKeys::TabRun{};
        at = next;
    }
    EXPECT_EQ(at, c.to) << at.col << ',' << at.row;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TabEnterTest,
    testing::Values(KeysCase{"enter_alone_goes_down", {3, 2}, "E", {3, 3}},
                    KeysCase{"tab_run_then_enter", {1, 2}, "TTTE", {1, 3}},
                    KeysCase{"wrap_in_a_one_row_table_ends_the_run", {4, 1}, "TWE", {1, 2}},
                    KeysCase{"run_started_mid_row", {2, 4}, "TTE", {2, 5}},
                    KeysCase{"two_rows_typed_across", {1, 1}, "TTETTE", {1, 3}},
                    KeysCase{"shift_tab_stays_in_the_run", {2, 1}, "TTBE", {2, 2}},
                    KeysCase{"another_move_ends_the_run", {1, 1}, "TTRE", {4, 2}},
                    KeysCase{"wrapping_ends_the_run", {4, 1}, "TTE", {1, 3}},
                    KeysCase{"enter_on_the_last_row_stays", {1, 10}, "TTE", {3, 10}},
                    KeysCase{"second_enter_keeps_the_column", {1, 1}, "TTEE", {1, 3}}),
    ParamName());

// ---- the status bar's fields ----------------------------------------------

TEST(StatusLine, Describes)
{
    const auto shown = [](const StatusLine::Facts &facts) {
        const StatusLine::Texts t = StatusLine::describe(facts);
        return QStringList{t.name, t.nameTip, t.unsaved, t.rows, t.encoding};
    };
    EXPECT_EQ(shown({{}, true, 3, false}),
              (QStringList{u"(名前なし)"_s, u"まだ保存していない表です"_s, u"未保存"_s, u"3 行"_s, u"Shift_JIS"_s}));
    EXPECT_EQ(shown({u"/home/a/住所録.csv"_s, false, 1234567, true}),
              (QStringList{u"住所録.csv"_s, u"/home/a/住所録.csv"_s, {}, u"1234567 行"_s, u"UTF-8"_s}));
}

} // namespace
