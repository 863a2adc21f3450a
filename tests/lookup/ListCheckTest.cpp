#include "core/lookup/AddressKey.h"
#include "core/lookup/ListCheck.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalSearch.h"
#include "core/lookup/PostalUpdate.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"
#include "support/TestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace Qt::StringLiterals;

namespace {

QString q(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Japan Post's shipped data; the older data is Debian's SKK dictionaries.
const std::shared_ptr<const PostalDictionary> &shipped()
{
    static const std::shared_ptr<const PostalDictionary> dict = [] {
        PostalReaders::Locations where({}, {});
        where.shippedFolders = {sourcePath(u"data/postal"_s)};
        return std::shared_ptr<const PostalDictionary>(PostalReaders::load(where));
    }();
    return dict;
}

const std::vector<std::shared_ptr<const PostalDictionary>> &skk()
{
    static const auto older = loadOlderData({}, u"/usr/share/skk"_s);
    return older;
}

CheckData data()
{
    CheckData d{shipped().get(), {}};
    for (const auto &o : skk())
        d.older.push_back(o.get());
    return d;
}

struct KindCase
{
    const char *name;
    CheckInput row;
    CheckKind kind;
    const char *zip, *add; // proposed
    int candidates = 0;
    bool needsOlder = false;
};

class Kinds : public ::testing::TestWithParam<KindCase>
{
};

TEST_P(Kinds, SortsTheRowAndProposes)
{
    const KindCase &c = GetParam();
    if (c.needsOlder && skk().empty())
        GTEST_SKIP() << "no SKK zipcode dictionaries in /usr/share/skk";
    const CheckResult r = checkRow(data(), 7, c.row);
    EXPECT_EQ(caption(r.kind), caption(c.kind));
    EXPECT_EQ(r.seen, c.row);
    EXPECT_EQ(r.proposedZip, q(c.zip));
    EXPECT_EQ(r.proposedAdd, q(c.add));
    EXPECT_EQ(r.candidates.size(), c.candidates) << r.candidates.join(u'\n').toStdString();
}

CheckInput row(const char *zip, const char *add, const char *cmp = "")
{
    return {q(zip), q(add), q(cmp)};
}

using K = CheckKind;
INSTANTIATE_TEST_SUITE_P(
    RealAddresses, Kinds,
    ::testing::Values(
        KindCase{"agree", row("100-0005", "東京都千代田区丸の内1-9-1"), K::Match, "", ""},
        KindCase{"agree_full_width_code_no_prefecture", row("１８３００２２", "府中市宮西町2-24"), K::Match, "", ""},
        KindCase{"agree_one_of_equal_codes", row("060-0042", "北海道札幌市中央区大通西"), K::Match, "", ""},
        KindCase{"large_office_own_code", row("100-8994", "東京都千代田区丸の内2-7-2", "日本郵便 東京中央郵便局"),
                 K::Match, "", ""},
        KindCase{"workplace_alone", row("", "", "株式会社テスト"), K::NotFound, "", ""},
        KindCase{"no_code", row("", "大阪府大阪市北区梅田3-1-1"), K::NoCode, "530-0001", ""},
        KindCase{"no_code_by_the_block", row("", "北海道札幌市中央区大通西25丁目"), K::NoCode, "064-0820", ""},
        KindCase{"no_code_before_an_address", row(" ", "〒100-0005 東京都千代田区丸の内1-1"), K::NoCode, "100-0005", ""},
        KindCase{"no_address", row("100-0005", ""), K::NoAddress, "", "東京都千代田区丸の内"},
        KindCase{"no_address_of_an_office", row("100-8994", "　"), K::NoAddress, "", "東京都千代田区丸の内２丁目７－２"},
        KindCase{"mismatch", row("100-0004", "東京都千代田区丸の内1-9-1"), K::Mismatch, "100-0005", "東京都千代田区大手町1-9-1"},
        KindCase{"town_left_out", row("100-0005", "東京都千代田区"), K::Mismatch, "", "東京都千代田区丸の内"},
        KindCase{"office_code_elsewhere", row("100-8994", "東京都中央区八重洲1-5-3"), K::Mismatch, "103-0028",
                 "東京都千代田区丸の内２丁目７－２"},
        KindCase{"unknown_code_known_address", row("999-9999", "宮城県仙台市青葉区国分町3-7-1"), K::Mismatch, "980-0803", ""},
        KindCase{"ambiguous", row("", "北海道札幌市中央区大通西"), K::Ambiguous, "", "", 2},
        KindCase{"code_of_several_towns", row("391-0321", ""), K::Ambiguous, "", "", 2},
        KindCase{"one_of_its_towns_by_lot_number", row("391-0321", "長野県北佐久郡立科町芦田八ケ野1600"), K::Match, "", ""},
        KindCase{"lot_number_of_the_other_code", row("391-0321", "長野県北佐久郡立科町芦田八ケ野1"), K::Mismatch,
                 "384-2309", ""},
        KindCase{"not_found", row("", "どこにもない町1-2"), K::NotFound, "", ""},
        KindCase{"not_found_code", row("999-9999", ""), K::NotFound, "", ""},
        KindCase{"format_mark_in_front", row("〒100-0005", "東京都千代田区丸の内"), K::BadFormat, "100-0005", ""},
        KindCase{"format_dash_misplaced", row("1000-005", "東京都千代田区丸の内"), K::BadFormat, "100-0005", ""},
        KindCase{"format_digit_missing", row("100-000", "東京都千代田区丸の内"), K::BadFormat, "", ""},
        KindCase{"format_digit_too_many", row("100-00051", ""), K::BadFormat, "", ""},
        KindCase{"old_ward", row("", "静岡県浜松市中区元城町103-2"), K::Outdated, "430-0946",
                 "静岡県浜松市中央区元城町103-2", 0, true},
        KindCase{"old_ward_with_its_code", row("430-0946", "浜松市中区元城町"), K::Outdated, "430-0946",
                 "静岡県浜松市中央区元城町", 0, true},
        KindCase{"old_spelling_of_a_current_code", row("", "岩手県九戸郡洋野町種市第１２地割1-2"), K::NoCode, "028-7901",
                 "", 0, true},
        KindCase{"retired_code", row("847-0816", ""), K::Outdated, "847-0818", "佐賀県唐津市新興町", 0, true},
        KindCase{"retired_code_with_its_town", row("847-0816", "唐津市新興町2"), K::Outdated, "847-0818", "", 0, true}),
    ParamName());

// A large office's own code, told by the workplace at its block number.
INSTANTIATE_TEST_SUITE_P(
    LargeOffices, Kinds,
    ::testing::Values(
        KindCase{"named_at_its_block", row("", "東京都文京区本郷7-3-1", "東京大学医学部附属病院"), K::NoCode, "113-8655", ""},
        KindCase{"legal_form_full_width_and_units", row("", "東京都文京区本郷７丁目３番１号", "国立大学法人　東京大学医学部附属病院"),
                 K::NoCode, "113-8655", ""},
        KindCase{"company_form_shortened", row("", "愛知県豊田市トヨタ町1", "トヨタ自動車（株）"), K::NoCode, "471-8571", ""},
        KindCase{"half_width_name", row("", "愛知県豊田市トヨタ町1番地", "ﾄﾖﾀ自動車株式会社"), K::NoCode, "471-8571", ""},
        KindCase{"hospital_of_a_university", row("", "愛知県名古屋市昭和区鶴舞町65", "名古屋大学病院"), K::NoCode, "466-8560",
                 ""},
        KindCase{"hospital_listed_as_its_school", row("", "宮城県仙台市青葉区星陵町1-1", "東北大学病院"), K::NoCode, "980-8574", ""},
        KindCase{"office_of_a_city", row("", "兵庫県神戸市中央区加納町6-5-1", "神戸市役所"), K::NoCode, "650-8570", ""},
        KindCase{"another_name_at_the_block", row("", "東京都文京区本郷7-3-1", "本郷さくらクリニック"), K::Ambiguous, "", "", 5},
        KindCase{"former_name_at_the_block", row("", "千葉県柏市柏の葉6-5-1", "国立がん研究センター東病院"), K::NoCode, "277-8577",
                 ""},
        KindCase{"named_at_a_town_the_town_list_lacks", row("", "群馬県太田市大字東今泉875-1", "太田福島総合病院"), K::NoCode,
                 "373-8513", ""},
        KindCase{"no_workplace_the_town", row("", "東京都文京区本郷7-3-1"), K::NoCode, "113-0033", ""},
        KindCase{"named_elsewhere_in_the_town", row("", "東京都文京区本郷5-1-1", "東京大学医学部附属病院"), K::NoCode, "113-0033",
                 ""}),
    ParamName());

// Towns listed as named parts and the rest (その他), the city's catch-all
// code, and towns written otherwise than Japan Post writes them.
INSTANTIATE_TEST_SUITE_P(
    TownsAndTheRest, Kinds,
    ::testing::Values(
        KindCase{"none_of_the_parts", row("", "北海道石狩市八幡町3-10"), K::NoCode, "061-3482", ""},
        KindCase{"a_part_named", row("", "北海道石狩市八幡町高岡115"), K::NoCode, "061-3481", ""},
        KindCase{"a_part_after_aza", row("", "北海道石狩市八幡町字五の沢2"), K::NoCode, "061-3480", ""},
        KindCase{"lot_number_outside_the_parts", row("", "愛媛県宇和島市大浦1234"), K::NoCode, "798-0002", ""},
        KindCase{"the_town_alone", row("", "北海道石狩市八幡町"), K::Ambiguous, "", "", 3},
        KindCase{"a_place_not_listed", row("", "北海道石狩市八幡町若生町115"), K::NoCode, "061-3482", ""},
        KindCase{"the_city_alone", row("", "北海道札幌市中央区"), K::NoCode, "060-0000", ""},
        KindCase{"kyoto_street_without_its_town", row("", "京都府京都市中京区河原町通三条上る"), K::NotFound, "", "", 1},
        KindCase{"catch_all_code_with_an_unknown_town", row("604-0000", "京都府京都市中京区河原町通三条上る"), K::Match, "", ""},
        KindCase{"regional_ward", row("", "奈良県宇陀市大宇陀区迫間25"), K::NoCode, "633-2166", ""},
        KindCase{"lot_number_after_the_town", row("", "岐阜県不破郡垂井町1234"), K::NoCode, "503-2121", ""},
        KindCase{"lot_number_after_a_town_in_the_city", row("", "長崎県西海市大島町27"), K::NoCode, "857-2427", ""},
        KindCase{"municipality_alone", row("", "香川県仲多度郡琴平町"), K::NoCode, "766-0000", ""},
        KindCase{"a_town_of_the_municipality", row("", "岐阜県不破郡垂井町新井1"), K::NoCode, "503-2105", ""},
        KindCase{"lot_number_besides_the_numbered_part", row("", "兵庫県小野市本町500"), K::NoCode, "675-1372", ""},
        KindCase{"the_numbered_part", row("", "兵庫県小野市本町1丁目5-1"), K::NoCode, "675-1374", ""},
        KindCase{"the_chome_entry_is_not_the_place", row("", "青森県弘前市中野字大原36"), K::NoCode, "036-1451", ""}),
    ParamName());

// Codes a spreadsheet stored as numbers.
INSTANTIATE_TEST_SUITE_P(
    SpreadsheetCodes, Kinds,
    ::testing::Values(
        KindCase{"zeros_lost", row("600003", "北海道札幌市中央区北3条西6丁目"), K::BadFormat, "060-0003", ""},
        KindCase{"full_width_office_code", row("６０８５８８", "北海道札幌市中央区北３条西６丁目", "北海道庁"), K::BadFormat,
                 "060-8588", ""},
        KindCase{"two_zeros_lost", row("10010", "北海道札幌市北区北十条西3丁目"), K::BadFormat, "001-0010", ""},
        KindCase{"decimal_without_an_address", row("600003.0", ""), K::BadFormat, "060-0003", "北海道札幌市中央区北三条西"},
        KindCase{"does_not_fit_the_address", row("600003", "東京都千代田区永田町1-7-1"), K::BadFormat, "", ""},
        KindCase{"no_such_code", row("99999", ""), K::BadFormat, "", ""}),
    ParamName());

// The search window on the same data: a town typed by its name alone, その他
// towns and an office by the workplace. `within`: the code is among the
// first that many candidates.
struct SearchCase
{
    const char *name;
    const char *add, *cmp;
    const char *zip;
    int within;
    const char *taken = nullptr; // the address the first candidate writes
};

class ShippedSearch : public ::testing::TestWithParam<SearchCase>
{
};

TEST_P(ShippedSearch, RightCodeAmongTheFirst)
{
    const SearchCase &c = GetParam();
    const PostalDictionary &dict = *shipped();
    const PostalSearch::Result r = PostalSearch::run(dict, {}, q(c.add), q(c.cmp));
    QStringList first;
    for (size_t i = 0; i < r.candidates.size() && first.size() < c.within; ++i)
        first.append(AddressKey::formatCode(dict.code(r.candidates[i].entry)));
    EXPECT_TRUE(first.contains(q(c.zip))) << first.join(u' ').toStdString();
    if (c.taken) {
        ASSERT_FALSE(r.candidates.empty());
        EXPECT_EQ(PostalSearch::choose(dict, r, r.candidates.front(), q(c.cmp)).add, q(c.taken));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Written, ShippedSearch,
    ::testing::Values(SearchCase{"town_with_its_ward", "北区梅田", "", "530-0001", 1},
                      SearchCase{"town_alone", "梅田", "", "530-0001", 3},
                      SearchCase{"town_alone_with_block", "梅田3-1-1", "", "530-0001", 1, "大阪府大阪市北区梅田3-1-1"},
                      SearchCase{"one_character_town_with_ward", "中区栄", "", "460-0008", 1},
                      SearchCase{"many_codes_first", "丸の内", "", "100-0005", 1},
                      SearchCase{"none_of_the_parts", "北海道石狩市八幡町3-10", "", "061-3482", 1},
                      SearchCase{"a_part_named", "北海道石狩市八幡町高岡115", "", "061-3481", 1},
                      SearchCase{"office_by_workplace", "東京都文京区本郷7-3-1", "東京大学医学部附属病院", "113-8655", 1},
                      SearchCase{"hospital_as_its_school", "宮城県仙台市青葉区星陵町1-1", "東北大学病院", "980-8574", 1}),
    ParamName());

struct SpreadsheetCase
{
    const char *name;
    const char16_t *text;
    const char16_t *code; // empty: none
};

class SpreadsheetCode : public ::testing::TestWithParam<SpreadsheetCase>
{
};

TEST_P(SpreadsheetCode, PutsBackTheZeros)
{
    EXPECT_EQ(AddressKey::spreadsheetCode(GetParam().text), QString::fromUtf16(GetParam().code));
}

INSTANTIATE_TEST_SUITE_P(
    Cells, SpreadsheetCode,
    ::testing::Values(SpreadsheetCase{"six_digits", u"600042", u"0600042"},
                      SpreadsheetCase{"five_digits", u"10010", u"0010010"},
                      SpreadsheetCase{"seven_digits", u"1000005", u"1000005"},
                      SpreadsheetCase{"decimal_zeros", u"600042.00", u"0600042"},
                      SpreadsheetCase{"full_width_decimal", u"６０００４２．０", u"0600042"},
                      SpreadsheetCase{"thousands", u"600,042", u"0600042"},
                      SpreadsheetCase{"spaces_around", u" 600042 ", u"0600042"},
                      SpreadsheetCase{"decimal_part", u"600042.5", u""},
                      SpreadsheetCase{"thousands_misplaced", u"60,0042", u""},
                      SpreadsheetCase{"four_digits", u"6004", u""},
                      SpreadsheetCase{"eight_digits", u"10000050", u""},
                      SpreadsheetCase{"dash", u"060-0042", u""},
                      SpreadsheetCase{"letters", u"60004X", u""}),
    ParamName());

struct ApplyCase
{
    const char *name;
    CheckInput row;
    CheckInput now;          // the row when applied
    MismatchFix fix;
    const char *zip, *add;   // what applying writes; null: nothing
};

class Apply : public ::testing::TestWithParam<ApplyCase>
{
};

TEST_P(Apply, WritesOnlyOverTheRowAsChecked)
{
    const ApplyCase &c = GetParam();
    const CheckResult r = checkRow(data(), 0, c.row);
    EXPECT_EQ(stillAsChecked(r, c.now), c.row == c.now);
    const std::optional<CheckInput> out = applied(r, c.now, c.fix);
    ASSERT_EQ(out.has_value(), c.zip != nullptr);
    if (out) {
        EXPECT_EQ(*out, (CheckInput{q(c.zip), q(c.add), c.now.cmp}));
    }
}

// (A workplace at a large office's block number would make it 候補複数.)
const CheckInput Bare = row("", "東京都千代田区丸の内1-9-2", "テスト商事");
const CheckInput Wrong = row("100-0004", "東京都千代田区丸の内1-9-1");
INSTANTIATE_TEST_SUITE_P(
    Rows, Apply,
    ::testing::Values(
        ApplyCase{"code_filled", Bare, Bare, {}, "100-0005", "東京都千代田区丸の内1-9-2"},
        ApplyCase{"address_edited_since", Bare, row("", "東京都千代田区丸の内1-9-3", "テスト商事"), {}, nullptr, nullptr},
        ApplyCase{"code_typed_since", Bare, row("100-0005", "東京都千代田区丸の内1-9-2", "テスト商事"), {}, nullptr, nullptr},
        ApplyCase{"workplace_edited_since", Bare, row("", "東京都千代田区丸の内1-9-2"), {}, nullptr, nullptr},
        ApplyCase{"mismatch_code_from_address", Wrong, Wrong, MismatchFix::CodeFromAddress, "100-0005",
                  "東京都千代田区丸の内1-9-1"},
        ApplyCase{"mismatch_address_from_code", Wrong, Wrong, MismatchFix::AddressFromCode, "100-0004",
                  "東京都千代田区大手町1-9-1"},
        ApplyCase{"address_filled", row("100-0005", ""), row("100-0005", ""), {}, "100-0005", "東京都千代田区丸の内"},
        ApplyCase{"code_rewritten", row("〒100-0005", "丸の内"), row("〒100-0005", "丸の内"), {}, "100-0005", "丸の内"},
        ApplyCase{"ambiguous_left_alone", row("", "北海道札幌市中央区大通西"), row("", "北海道札幌市中央区大通西"), {},
                  nullptr, nullptr},
        ApplyCase{"ill_formed_without_a_code", row("100-000", ""), row("100-000", ""), {}, nullptr, nullptr},
        ApplyCase{"spreadsheet_code_brings_its_town", row("600003", ""), row("600003", ""), {}, "060-0003",
                  "北海道札幌市中央区北三条西"},
        ApplyCase{"spreadsheet_code_beside_its_address", row("600003", "北海道札幌市中央区北3条西6丁目"),
                  row("600003", "北海道札幌市中央区北3条西6丁目"), {}, "060-0003", "北海道札幌市中央区北3条西6丁目"},
        ApplyCase{"catch_all_left_to_the_search_window", row("", "京都府京都市中京区河原町通三条上る"),
                  row("", "京都府京都市中京区河原町通三条上る"), {}, nullptr, nullptr}),
    ParamName());

TEST(ListCheckText, ResultsAsSpreadsheetText)
{
    CheckResult a{4, K::NoCode, row("", "東京都千代田区丸の内1-9-1"), q("100-0005"), {}, {}};
    CheckResult b{9, K::Ambiguous, row("", "A\t\"B\""), {}, {}, {q("060-0042 X"), q("064-0820 Y")}};
    EXPECT_EQ(resultsText({a, b}), q("行\t種類\t郵便番号\t住所\t提案\r\n"
                                     "5\t郵便番号なし\t\t東京都千代田区丸の内1-9-1\t100-0005\r\n"
                                     "10\t候補複数\t\t\"A\t\"\"B\"\"\"\t060-0042 X / 064-0820 Y\r\n"));
}

TEST(ListCheckText, IllFormedCodesSayWhatWasRead)
{
    EXPECT_EQ(proposalText(checkRow(data(), 0, row("600003", "北海道札幌市中央区北3条西6丁目"))),
              q("7 桁ではありません（6 桁 600003 と読みました） → 060-0003"));
    EXPECT_EQ(proposalText(checkRow(data(), 0, row("600003.0", ""))),
              q("7 桁ではありません（6 桁 600003 と読みました） → 060-0003 北海道札幌市中央区北三条西"));
    EXPECT_EQ(proposalText(checkRow(data(), 0, row("〒100-0005", ""))), q("数字以外の文字があります（1000005 と読みました） → 100-0005"));
    EXPECT_EQ(proposalText(checkRow(data(), 0, row("100-00051", ""))), q("7 桁ではありません（8 桁 10000051 と読みました）"));
    // A town the data does not list shows its city's catch-all as a candidate.
    EXPECT_EQ(proposalText(checkRow(data(), 0, row("", "京都府京都市中京区河原町通三条上る"))), q("604-0000 京都府京都市中京区"));
}

// The generation an update replaced, as the update keeps it in the user data
// folder, tells a ward since renamed (without the SKK dictionaries).
TEST(ListCheckOlder, PreviousGenerationTellsARenamedWard)
{
    QTemporaryDir user;
    const QString previous = PostalUpdate::previousFolder(user.path());
    ASSERT_TRUE(QDir().mkpath(previous));
    ASSERT_TRUE(writeBytes(QDir(previous).filePath(u"KEN_ALL.CSV"_s),
                           u"22131,\"430  \",\"4300946\",\"ｼｽﾞｵｶｹﾝ\",\"ﾊﾏﾏﾂｼﾅｶｸ\",\"ﾓﾄｼﾛﾁｮｳ\",\"静岡県\","
                           "\"浜松市中区\",\"元城町\",0,0,0,0,0,0\r\n"_s.toUtf8()));
    const auto older = loadOlderData(user.path(), {});
    ASSERT_EQ(older.size(), 1u);
    const CheckResult r = checkRow({shipped().get(), {older.front().get()}}, 0, row("", "浜松市中区元城町103-2"));
    EXPECT_EQ(caption(r.kind), caption(K::Outdated));
    EXPECT_EQ(r.proposedZip, u"430-0946"_s);
    EXPECT_EQ(r.proposedAdd, u"静岡県浜松市中央区元城町103-2"_s);
    EXPECT_EQ(caption(checkRow({shipped().get(), {}}, 0, r.seen).kind), caption(K::NoCode));
}

// A list rebuilt from Japan Post's towns, its codes removed, checked on the
// thread pool and filled: every town whose address has one code gets its
// code back.
TEST(ListCheckRoundTrip, FilledCodesAreTheOnesRemoved)
{
    const PostalDictionary &dict = *shipped();
    std::map<QString, std::set<quint32>> codes;
    for (quint32 e = 0; e < quint32(dict.size()); ++e)
        if (dict.kind(e) == PostalDictionary::Kind::Town)
            codes[dict.address(e).toString()].insert(dict.code(e));
    std::vector<CheckInput> list;
    std::vector<quint32> had;
    for (quint32 e = 0; e < quint32(dict.size()); e += 37) {
        if (dict.kind(e) != PostalDictionary::Kind::Town)
            continue;
        const bool one = codes[dict.address(e).toString()].size() == 1;
        list.push_back({{}, dict.address(e) + (e % 2 ? u"　1-2"_s : u"3丁目4番5号"_s), {}});
        had.push_back(one ? dict.code(e) : 0);
        if (e % 5 == 0)
            list.push_back({}); // blank rows are passed over
        if (e % 5 == 0)
            had.push_back(0);
    }
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    ListCheck check(shipped(), skk());
    std::pair<int, int> progress;
    QObject::connect(&check, &ListCheck::progress, [&](int done, int total) { progress = {done, total}; });
    check.start(list);
    check.waitForFinished();
    ASSERT_FALSE(check.wasCanceled());
    EXPECT_EQ(progress, std::make_pair(int(list.size()), int(list.size())));

    std::vector<CheckInput> filled = list;
    for (const CheckResult &r : check.results())
        if (r.kind == K::NoCode)
            filled[size_t(r.row)] = applied(r, list[size_t(r.row)]).value();
    int compared = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!had[i])
            continue;
        ++compared;
        EXPECT_EQ(filled[i].zip, AddressKey::formatCode(had[i])) << list[i].add.toStdString();
    }
    EXPECT_GT(compared, 2500);
    // A check started again while one runs: only the new list's results.
    check.start(list);
    check.start({Bare, Wrong});
    check.waitForFinished();
    ASSERT_EQ(check.results().size(), 2u);
    EXPECT_EQ(check.results()[1].kind, K::Mismatch);
    EXPECT_EQ(check.rowCount(), 2);
    check.start(list);
    check.waitForFinished();

    int counted = 0;
    for (const int n : check.counts())
        counted += n;
    EXPECT_EQ(counted, int(list.size()) - int(std::count(list.begin(), list.end(), CheckInput{})));
}

} // namespace
