#include "core/table/RowRules.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using RowRules::EditCommand;

namespace {

struct RowsCase
{
    const char *name;
    EditCommand command;
    RowRules::Where where; // block from, block to, active row, row count
    RowRules::Rows rows;   // first, count
};

class RowsFor : public ::testing::TestWithParam<RowsCase>
{
};

TEST_P(RowsFor, TouchesOnlyTheRowsMeant)
{
    const RowsCase &c = GetParam();
    const RowRules::Rows rows = RowRules::rowsFor(c.command, c.where);
    EXPECT_EQ(rows.first, c.rows.first);
    EXPECT_EQ(rows.count, c.rows.count);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, RowsFor,
    ::testing::Values(RowsCase{"clear, no block: the active row", EditCommand::ClearRows, {0, 0, 4, 10}, {4, 1}},
                      RowsCase{"insert, no block: before the active row", EditCommand::InsertRows, {0, 0, 4, 10}, {4, 1}},
                      RowsCase{"delete, no block: the active row", EditCommand::DeleteRows, {0, 0, 4, 10}, {4, 1}},
                      RowsCase{"block wins over the active row", EditCommand::ClearRows, {3, 5, 8, 10}, {3, 3}},
                      RowsCase{"insert a block's worth", EditCommand::InsertRows, {3, 5, 1, 10}, {3, 3}},
                      RowsCase{"insert after the last row", EditCommand::InsertRows, {11, 12, 1, 10}, {11, 2}},
                      RowsCase{"insert past the end: nothing", EditCommand::InsertRows, {12, 12, 1, 10}, {0, 0}},
                      RowsCase{"delete a block reaching past the end", EditCommand::DeleteRows, {8, 10, 1, 9}, {8, 2}},
                      RowsCase{"delete a block wholly past the end", EditCommand::DeleteRows, {8, 10, 1, 7}, {0, 0}},
                      RowsCase{"clear a block reaching past the end", EditCommand::ClearRows, {9, 12, 1, 10}, {9, 2}},
                      RowsCase{"delete in an empty table", EditCommand::DeleteRows, {0, 0, 0, 0}, {0, 0}},
                      RowsCase{"insert into an empty table", EditCommand::InsertRows, {0, 0, 0, 0}, {1, 1}},
                      RowsCase{"no active row, no block", EditCommand::ClearRows, {0, 0, 0, 10}, {0, 0}},
                      RowsCase{"clear all: every row", EditCommand::ClearAll, {3, 5, 4, 10}, {1, 10}}),
    ParamName());

struct PrefillCase
{
    const char *name;
    QString above;
    QString prefill;
};

class Prefill : public ::testing::TestWithParam<PrefillCase>
{
};

TEST_P(Prefill, TakesTheAddressAboveUpToItsFirstFullWidthSpace)
{
    EXPECT_EQ(RowRules::prefill(GetParam().above), GetParam().prefill);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, Prefill,
    ::testing::Values(PrefillCase{"prefecture", u"東京都\u3000千代田区丸の内"_s, u"東京都\u3000"_s},
                      PrefillCase{"only the first space counts", u"東京都\u3000港区\u3000芝公園"_s, u"東京都\u3000"_s},
                      PrefillCase{"no full-width space: whole", u"大阪市北区梅田"_s, u"大阪市北区梅田"_s},
                      PrefillCase{"a half-width space is no separator", u"東京都 新宿区"_s, u"東京都 新宿区"_s},
                      PrefillCase{"space first", u"\u3000渋谷区"_s, u"\u3000"_s},
                      PrefillCase{"nothing trimmed", u" 札幌市 "_s, u" 札幌市 "_s},
                      PrefillCase{"empty", QString(), QString()}),
    ParamName());

} // namespace
