#include "core/grid/AddressTableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <tuple>

namespace {

QStringList column(const AddressTableModel &model, int col)
{
    QStringList values;
    for (int r = 0; r < model.rowCount(); ++r)
        values.append(model.cell(r, col).toString());
    return values;
}

struct ModelFixture : ::testing::Test
{
    AddressTableModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    void fill(int rows)
    {
        model.setRowCountTo(rows);
        for (int r = 0; r < rows; ++r)
            model.setCell(r, AddressTableModel::Zip, QString::number(r + 1));
    }
};

TEST_F(ModelFixture, RowKeepsEachCellApart)
{
    model.setRowCountTo(1);
    model.setCell(0, AddressTableModel::Add, QStringLiteral("東京都　千代田区"));
    model.setCell(0, AddressTableModel::Url, QStringLiteral("http://map.example/"));
    model.setCell(0, AddressTableModel::Zip, QStringLiteral("100-0005"));
    model.setCell(0, AddressTableModel::Add, QStringLiteral("大阪"));
    EXPECT_EQ(model.cell(0, 0), u"100-0005");
    EXPECT_EQ(model.cell(0, 1), u"大阪");
    EXPECT_EQ(model.cell(0, 2), u"");
    EXPECT_EQ(model.cell(0, 3), u"");
    EXPECT_EQ(model.cell(0, 4), u"http://map.example/");
    model.setCell(0, AddressTableModel::Zip, QString());
    model.setCell(0, AddressTableModel::Add, QString());
    model.setCell(0, AddressTableModel::Url, QString());
    EXPECT_TRUE(model.row(0).isEmpty());
}

TEST_F(ModelFixture, OnlyEditsThroughSetDataCountAsPersonEdits)
{
    model.setRowCountTo(3);
    QSignalSpy edited(&model, &AddressTableModel::cellEdited);
    model.setCell(1, 1, QStringLiteral("program"));
    EXPECT_EQ(edited.count(), 0);
    EXPECT_TRUE(model.setData(model.index(2, 3), QStringLiteral("03-1234-5678")));
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited.at(0).at(0).toInt(), 2);
    EXPECT_EQ(edited.at(0).at(1).toInt(), 3);
    // The same text again is no change.
    EXPECT_FALSE(model.setData(model.index(2, 3), QStringLiteral("03-1234-5678")));
    EXPECT_EQ(edited.count(), 1);
}

TEST_F(ModelFixture, InsertAndRemoveMoveTheRowsBelow)
{
    fill(10);
    model.insertBlankRows(2, 3);
    EXPECT_EQ(column(model, 0),
              QStringList({u"1"_qs, u"2"_qs, u""_qs, u""_qs, u""_qs, u"3"_qs, u"4"_qs, u"5"_qs, u"6"_qs, u"7"_qs,
                           u"8"_qs, u"9"_qs, u"10"_qs}));
    model.removeRowsAt(2, 3);
    model.removeRowsAt(8, 100); // clipped to the rows that exist
    EXPECT_EQ(column(model, 0), QStringList({u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"5"_qs, u"6"_qs, u"7"_qs, u"8"_qs}));
    model.removeRowsAt(20, 1); // past the end: nothing
    EXPECT_EQ(model.rowCount(), 8);
}

TEST_F(ModelFixture, ClearBlanksABlockAndKeepsTheRowCount)
{
    fill(5);
    for (int r = 0; r < 5; ++r)
        model.setCell(r, AddressTableModel::Tel, QStringLiteral("tel"));
    model.clearCells(1, 0, 2, 0);
    EXPECT_EQ(column(model, 0), QStringList({u"1"_qs, u""_qs, u""_qs, u"4"_qs, u"5"_qs}));
    EXPECT_EQ(column(model, 3), QStringList(5, u"tel"_qs));
    model.clearAll();
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(column(model, 3), QStringList(5, QString()));
}

TEST(AddressTableModelLarge, ClearingLeavesEveryRowBlank)
{
    // Large enough that the cleared texts are freed off the UI thread (no
    // model tester here: it would check every one of the rows).
    AddressTableModel model;
    AddressTableModel::Rows rows;
    for (int r = 0; r < 40'000; ++r)
        rows.append(AddressTableModel::Row::fromCells(QString::number(r), u"住所", u"", u"", u""));
    model.replaceRows(std::move(rows));
    model.clearCells(0, 0, 39'999, AddressTableModel::ColumnCount - 1);
    model.setCell(5, AddressTableModel::Tel, QStringLiteral("after"));
    EXPECT_EQ(model.cell(5, AddressTableModel::Tel), u"after");
    model.clearAll(); // a second release waits for the first
    for (int r = 0; r < model.rowCount(); ++r)
        ASSERT_TRUE(model.row(r).isEmpty()) << r;
    EXPECT_EQ(model.rowCount(), 40'000);
}

TEST_F(ModelFixture, ResizingKeepsTheFirstRows)
{
    fill(4);
    model.setRowCountTo(2);
    model.setRowCountTo(3);
    EXPECT_EQ(column(model, 0), QStringList({u"1"_qs, u"2"_qs, u""_qs}));
    model.setRowCountTo(-5);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ModelFixture, HeaderCaptionsAndRowNumbers)
{
    const QStringList expected{u"郵便番号"_qs, u"住所"_qs, u"勤務先等"_qs, u"電話番号"_qs, u"Map URL"_qs};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), expected[c]);
    model.setRowCountTo(3);
    EXPECT_EQ(model.headerData(2, Qt::Vertical).toInt(), 3);
}

TEST_F(ModelFixture, ReplaceRowsIsOneReset)
{
    fill(3);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    AddressTableModel::Rows rows;
    rows.push_back(AddressTableModel::Row::fromCells(u"1", u"a", u"b", u"c", u"d"));
    rows.emplace_back();
    model.replaceRows(std::move(rows));
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.cell(0, 4), u"d");
}

// Rows read into a list with room are taken where they lie, and keep room
// at the top: neither the load nor an insertion at the top moves the table.
TEST_F(ModelFixture, RowsWithRoomStayWhereTheyAre)
{
    AddressTableModel::Rows rows = AddressTableModel::withRoom(20000);
    for (int r = 0; r < 20000; ++r)
        rows.push_back(AddressTableModel::Row::fromCells(QString::number(r), u"a", u"b", u"c", u"d"));
    const AddressTableModel::Row *const first = rows.constData();
    model.replaceRows(std::move(rows));
    EXPECT_EQ(model.rows().constData(), first);
    model.insertBlankRows(0, 10);
    EXPECT_EQ(model.rows().constData(), first - 10);
    EXPECT_EQ(model.rowCount(), 20010);
    EXPECT_EQ(model.cell(10, 0), u"0");
    EXPECT_EQ(model.cell(20009, 4), u"d");
}

// Splicing hands back exactly the rows it took; splicing them back restores
// the table, whichever of the two is longer.
TEST_F(ModelFixture, SpliceHandsBackWhatItTook)
{
    auto rowsOf = [](std::initializer_list<const char16_t *> zips) {
        AddressTableModel::Rows rows;
        for (const char16_t *zip : zips)
            rows.append(AddressTableModel::Row::fromCells(QStringView(zip), {}, {}, {}, {}));
        return rows;
    };
    for (const auto &[first, count, replacement] :
         {std::tuple{1, 2, rowsOf({u"a", u"b"})}, std::tuple{1, 1, rowsOf({u"a", u"b", u"c"})},
          std::tuple{0, 4, rowsOf({u"a"})}, std::tuple{4, 0, rowsOf({u"a"})}, std::tuple{2, 2, rowsOf({})}}) {
        fill(4);
        const QStringList before = column(model, 0);
        AddressTableModel::Rows taken = model.spliceRows(first, count, replacement);
        ASSERT_EQ(taken.size(), count);
        QStringList expected = before;
        expected.remove(first, count);
        for (qsizetype i = 0; i < replacement.size(); ++i)
            expected.insert(first + i, replacement[i].cell(0).toString());
        EXPECT_EQ(column(model, 0), expected) << first << " " << count;
        model.spliceRows(first, int(replacement.size()), std::move(taken));
        EXPECT_EQ(column(model, 0), before) << first << " " << count;
    }
}

} // namespace
