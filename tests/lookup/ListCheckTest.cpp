#include "core/lookup/AddressKey.h"
#include "core/lookup/ListCheck.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalUpdate.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"
#include "support/TestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <QSet>

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

const CheckInput Bare = row("", "東京都千代田区丸の内1-9-1", "テスト商事");
const CheckInput Wrong = row("100-0004", "東京都千代田区丸の内1-9-1");
INSTANTIATE_TEST_SUITE_P(
    Rows, Apply,
    ::testing::Values(
        ApplyCase{"code_filled", Bare, Bare, {}, "100-0005", "東京都千代田区丸の内1-9-1"},
        ApplyCase{"address_edited_since", Bare, row("", "東京都千代田区丸の内1-9-2", "テスト商事"), {}, nullptr, nullptr},
        ApplyCase{"code_typed_since", Bare, row("100-0005", "東京都千代田区丸の内1-9-1", "テスト商事"), {}, nullptr, nullptr},
        ApplyCase{"workplace_edited_since", Bare, row("", "東京都千代田区丸の内1-9-1"), {}, nullptr, nullptr},
        ApplyCase{"mismatch_code_from_address", Wrong, Wrong, MismatchFix::CodeFromAddress, "100-0005",
                  "東京都千代田区丸の内1-9-1"},
        ApplyCase{"mismatch_address_from_code", Wrong, Wrong, MismatchFix::AddressFromCode, "100-0004",
                  "東京都千代田区大手町1-9-1"},
        ApplyCase{"address_filled", row("100-0005", ""), row("100-0005", ""), {}, "100-0005", "東京都千代田区丸の内"},
        ApplyCase{"code_rewritten", row("〒100-0005", "丸の内"), row("〒100-0005", "丸の内"), {}, "100-0005", "丸の内"},
        ApplyCase{"ambiguous_left_alone", row("", "北海道札幌市中央区大通西"), row("", "北海道札幌市中央区大通西"), {},
                  nullptr, nullptr},
        ApplyCase{"ill_formed_without_a_code", row("100-000", ""), row("100-000", ""), {}, nullptr, nullptr}),
    ParamName());

// Every kind says what it means and whether 適用 writes anything for it:
// nothing exactly where applying has nothing to write.
TEST(ListCheckText, EveryKindSaysWhatApplyWrites)
{
    QSet<QString> seen;
    for (int k = 0; k < CheckKindCount; ++k) {
        const QString text = explanation(CheckKind(k));
        const bool writesNothing = CheckKind(k) == CheckKind::Match || CheckKind(k) == CheckKind::NotFound;
        EXPECT_TRUE(text.contains(QStringLiteral("適用"))) << k;
        EXPECT_EQ(text.contains(QStringLiteral("適用するものはありません")), writesNothing) << k;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), CheckKindCount);
}

TEST(ListCheckText, ResultsAsSpreadsheetText)
{
    CheckResult a{4, K::NoCode, row("", "東京都千代田区丸の内1-9-1"), q("100-0005"), {}, {}};
    CheckResult b{9, K::Ambiguous, row("", "A\t\"B\""), {}, {}, {q("060-0042 X"), q("064-0820 Y")}};
    EXPECT_EQ(resultsText({a, b}), q("行\t種類\t郵便番号\t住所\t提案\r\n"
                                     "5\t郵便番号なし\t\t東京都千代田区丸の内1-9-1\t100-0005\r\n"
                                     "10\t候補複数\t\t\"A\t\"\"B\"\"\"\t060-0042 X / 064-0820 Y\r\n"));
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
