#include "core/lookup/LookupRules.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using LookupRules::Fields;
using LookupRules::Search;

namespace {

struct RequestCase
{
    const char *name;
    Search search;
    Fields row;
    Fields asked;
};

class Request : public ::testing::TestWithParam<RequestCase>
{
};

TEST_P(Request, HandsTheComponentWhatTheSearchNeeds)
{
    EXPECT_EQ(LookupRules::request(GetParam().search, GetParam().row), GetParam().asked);
}

const Fields Full{u"100-0005"_s, u"東京都千代田区丸の内"_s, u"日本テスト商事"_s};

INSTANTIATE_TEST_SUITE_P(
    Searches, Request,
    ::testing::Values(RequestCase{"free: all three", Search::Free, Full, Full},
                      RequestCase{"by address: code dropped", Search::FromAddress, Full, {{}, Full.add, Full.cmp}},
                      RequestCase{"by address without one: code kept", Search::FromAddress, {u"1000005"_s, {}, {}},
                                  {u"1000005"_s, {}, {}}},
                      RequestCase{"by code: address dropped", Search::FromPostalCode, Full, {Full.zip, {}, Full.cmp}},
                      RequestCase{"by code without one: address kept", Search::FromPostalCode, {{}, Full.add, {}},
                                  {{}, Full.add, {}}},
                      RequestCase{"empty row", Search::FromPostalCode, {}, {}}),
    ParamName());

struct WrittenCase
{
    const char *name;
    QString returned;
    LookupRules::Written written;
};

class Written : public ::testing::TestWithParam<WrittenCase>
{
};

TEST_P(Written, AddsTheSpaceAndPutsTheCaretAfterTheAddress)
{
    EXPECT_EQ(LookupRules::writtenAddress(GetParam().returned), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, Written,
    ::testing::Values(WrittenCase{"address", u"東京都千代田区丸の内"_s, {u"東京都千代田区丸の内\u3000"_s, 10}},
                      WrittenCase{"leading spaces dropped, caret follows", u"  東京都"_s, {u"東京都\u3000"_s, 3}},
                      WrittenCase{"trailing half-width space stays", u"東京都 "_s, {u"東京都 \u3000"_s, 4}},
                      WrittenCase{"empty", QString(), {u"\u3000"_s, 0}},
                      WrittenCase{"only spaces", u"  "_s, {u"\u3000"_s, 0}},
                      WrittenCase{"one full-width space is enough", u"東京都\u3000"_s, {u"東京都\u3000"_s, 4}}),
    ParamName());

// The searches run in the first three columns only; elsewhere a notice says
// where they do.
TEST(ColumnNotice, NamesTheColumnsTheSearchesUse)
{
    const QString notice = u"郵便番号・住所・勤務先等の列で使います"_s;
    const std::pair<int, QString> cases[] = {{1, {}}, {2, {}}, {3, {}}, {4, notice}, {5, notice}, {0, notice}};
    for (const auto &[column, expected] : cases)
        EXPECT_EQ(LookupRules::columnNotice(column), expected) << "column " << column;
}

} // namespace
