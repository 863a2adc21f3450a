// The recovery journal written on its thread and read back: random changes
// against a plain list of rows, operations against the table's model, every
// cut of a damaged end, the pre-fill.
#include "core/recovery/RecoveryJournal.h"
#include "core/table/TableOperation.h"

#include <QDataStream>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Rows = AddressTableModel::Rows;
using RecoveryJournal::Writer;

namespace {

Rows rowsOf(std::initializer_list<const char16_t *> addresses)
{
    Rows rows;
    for (const char16_t *address : addresses)
        rows.append(AddressTableModel::Row::fromCells({}, QStringView(address), {}, {}, {}));
    return rows;
}

bool same(const Rows &a, const Rows &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto &x, const auto &y) {
               return x.text == y.text && x.ends == y.ends;
           });
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// Random splices, each its own group or several in one, with the journal
// begun again midway: what is read back is the table after the last group.
TEST(RecoveryJournal, ReadsBackTheTableAfterEveryGroup)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1.journal"));
    QRandomGenerator random(11);
    Rows table = rowsOf({u"東京都", u"", u"大阪府"});
    Writer writer(path);
    writer.begin({QStringLiteral("host"), 1, {}, -1, 0, {}}, table, {});
    int groups = 0;
    for (int i = 0; i < 300; ++i) {
        std::vector<Writer::Step> group;
        for (int k = int(random.bounded(1, 4)); k > 0; --k) {
            const int first = int(random.bounded(int(table.size()) + 1));
            const int removed = int(random.bounded(int(table.size()) - first + 1));
            Rows added;
            for (int n = int(random.bounded(200)) > 190 ? 100 : int(random.bounded(3)); n > 0; --n)
                added.append(AddressTableModel::Row::fromCells(QString::number(random.generate()), u"住所", {}, {}, {}));
            table.remove(first, removed);
            for (qsizetype n = 0; n < added.size(); ++n)
                table.insert(first + n, added[n]);
            group.push_back(Writer::step(first, removed, table, first, int(added.size()), {}));
        }
        writer.steps(std::move(group));
        ++groups;
        if (i == 150) {
            writer.begin({QStringLiteral("host"), 1, {}, -1, 0, {}}, table, {});
            groups = 0;
        }
    }
    writer.flush();
    const RecoveryJournal::Recovered back = RecoveryJournal::read(path);
    EXPECT_TRUE(back.valid);
    EXPECT_FALSE(back.damaged);
    EXPECT_EQ(back.steps, groups);
    EXPECT_TRUE(same(back.rows, table));
    EXPECT_TRUE(RecoveryJournal::inUse(path)); // its writer holds it
}

// A journal cut anywhere, or with a byte changed, gives the table after the
// last whole group, never more, and says it was damaged.
TEST(RecoveryJournal, DamagedEndRestoresUpToTheLastWholeGroup)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.journal"));
    std::vector<Rows> after{rowsOf({u"a", u"b"})};
    std::vector<qsizetype> ends;
    {
        Writer writer(path);
        writer.begin({QStringLiteral("host"), 2, QStringLiteral("/x.csv"), 10, 5, "hash"}, after[0], {});
        writer.flush();
        ends.push_back(bytesOf(path).size());
        for (int i = 0; i < 3; ++i) {
            Rows next = after.back();
            next.append(AddressTableModel::Row::fromCells(u"1", QString::number(i), {}, {}, {}));
            writer.steps({Writer::step(int(next.size()) - 1, 0, next, int(next.size()) - 1, 1, {})});
            writer.flush();
            after.push_back(next);
            ends.push_back(bytesOf(path).size());
        }
    }
    EXPECT_FALSE(RecoveryJournal::inUse(path)); // its writer is gone
    const QByteArray whole = bytesOf(path);
    for (qsizetype cut = ends[0]; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const RecoveryJournal::Recovered back = RecoveryJournal::read(whole.left(cut));
        const auto whole_ = std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin() - 1;
        ASSERT_TRUE(back.valid);
        EXPECT_EQ(back.source.file, QStringLiteral("/x.csv"));
        EXPECT_EQ(back.steps, whole_);
        EXPECT_TRUE(same(back.rows, after[size_t(whole_)]));
        EXPECT_EQ(back.damaged, cut != ends[size_t(whole_)]);
    }
    for (qsizetype at = ends[1]; at < whole.size(); ++at) {
        QByteArray changed = whole;
        changed[at] = char(changed[at] ^ 0x5A);
        const RecoveryJournal::Recovered back = RecoveryJournal::read(changed);
        EXPECT_TRUE(back.valid && back.damaged && back.steps < 3) << at;
    }
    EXPECT_FALSE(RecoveryJournal::read(QByteArray("not a journal")).valid);
}

namespace {

// Cells that sort alike in several ways: codes written differently, text
// equal once folded, blanks.
QString randomCell(QRandomGenerator &random)
{
    static const QStringList cells{u"100-0005"_qs, u"1000005"_qs, u"〒１００－０００５"_qs, u"060-0001"_qs,
                                   u"abc"_qs,      u"ＡＢＣ"_qs,  u"ABC"_qs,           u"東京都"_qs,
                                   u"ﾄｳｷｮｳ"_qs,    u"トウキョウ"_qs, u" "_qs,          QString()};
    return cells[int(random.bounded(cells.size()))];
}

AddressTableModel::Row randomRow(QRandomGenerator &random)
{
    if (random.bounded(5) == 0)
        return {};
    return AddressTableModel::Row::fromCells(randomCell(random), randomCell(random), QString::number(random.bounded(4)),
                                             randomCell(random), {});
}

} // namespace

// Random operations and row steps, made on the table's model as the
// commands make them (an operation's undo and redo as the history makes
// them) and written through the writer: what is read back is the model's
// table, whatever the seed.
TEST(RecoveryJournal, OperationsReplayAsTheCommandsMadeThem)
{
    const quint32 seeds[] = {1, 2, 3, 17, 2026, 20261208, 4'000'000'007U, 99};
    for (const quint32 seed : seeds) {
        SCOPED_TRACE(seed);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("m.journal"));
        QRandomGenerator random(seed);
        AddressTableModel model;
        Rows start;
        for (int n = int(random.bounded(20, 60)); n > 0; --n)
            start.append(randomRow(random));
        model.replaceRows(start);
        Writer writer(path);
        writer.begin({}, model.rows(), {});
        RecoveryJournal::KeptOperations book; // the writer's side
        std::vector<std::pair<quint64, TableChange>> older; // operations' changes kept
        int operations = 0;
        const auto swapBack = [&](quint64 number, TableChange &change, std::vector<Writer::Step> &group) {
            const int at = change.first();
            const int gone = change.count();
            const int back = int(change.otherCount());
            const TableOperation blank = TableOperation::blankRows(at, gone, back);
            const bool asOperation = change.othersBlank() && blank.fits(model.rowCount());
            change.swap(model);
            if (book.has(number)) {
                group.push_back(Writer::swapOf(number));
            } else if (asOperation) {
                group.push_back(Writer::step(blank));
                book.add(RecoveryJournal::KeptOperations::weight(blank, model.rowCount()));
            } else {
                group.push_back(Writer::step(at, gone, model.rows(), at, back, {}));
            }
        };
        for (int i = 0; i < 400; ++i) {
            std::vector<Writer::Step> group;
            for (int k = int(random.bounded(1, 4)); k > 0; --k) {
                const int rows = model.rowCount();
                const int first = int(random.bounded(rows + 1));
                const int count = int(random.bounded(rows - first + 1));
                std::optional<TableOperation> op;
                switch (random.bounded(7)) {
                case 0: // typing
                    if (rows > 0) {
                        const int row = int(random.bounded(rows));
                        model.setCell(row, int(random.bounded(5)), randomCell(random));
                        group.push_back(Writer::step(row, 1, model.rows(), row, 1, {}));
                    }
                    break;
                case 1: { // a paste
                    Rows added;
                    for (int n = int(random.bounded(8)); n > 0; --n)
                        added.append(randomRow(random));
                    const int size = int(added.size());
                    model.spliceRows(first, count, std::move(added));
                    group.push_back(Writer::step(first, count, model.rows(), first, size, {}));
                    break;
                }
                case 2: // inserting, deleting (one blank row left), 初期化
                    op = random.bounded(20) == 0 ? TableOperation::blankRows(0, rows, rows)
                                                : TableOperation::blankRows(first, count, int(random.bounded(std::min(3, rows + 2))));
                    break;
                case 3:
                    if (count > 0) {
                        const int left = int(random.bounded(5));
                        op = TableOperation::clearCells(first, first + count - 1, left, int(random.bounded(left, 5)));
                    }
                    break;
                default:
                    op = TableOperation::sort(int(random.bounded(5)), random.bounded(2) == 1);
                    break;
                }
                if (!op)
                    continue;
                ASSERT_TRUE(op->fits(rows));
                ++operations;
                TableChange change = op->kind == TableOperation::Kind::ClearCells
                                         ? [&] {
                                               TableChange made(op->first, model.rows().mid(op->first, op->removed),
                                                                op->removed);
                                               model.clearCells(op->first, op->left, op->first + op->removed - 1,
                                                                op->right);
                                               return made;
                                           }()
                                         : op->apply(model);
                group.push_back(Writer::step(*op));
                const quint64 number = book.add(RecoveryJournal::KeptOperations::weight(*op, rows));
                // Undone, and made again, as the history does it: by the
                // operation's number while the reader keeps its rows.
                for (int swaps = int(random.bounded(3)); swaps > 0; --swaps)
                    swapBack(number, change, group);
                if (random.bounded(4) == 0)
                    older.emplace_back(number, std::move(change));
            }
            // An older operation's change taken back and made again at once
            // (long after it, its number may be forgotten).
            if (!older.empty() && random.bounded(3) == 0) {
                auto &[number, change] = older[random.bounded(quint32(older.size()))];
                if (change.first() + change.count() <= model.rowCount()) {
                    swapBack(number, change, group);
                    swapBack(number, change, group);
                }
            }
            writer.steps(std::move(group));
            if (i == 200) {
                writer.begin({}, model.rows(), {});
                book.clear();
                older.clear();
            }
            if (i % 10 == 9) {
                writer.flush();
                const RecoveryJournal::Recovered back = RecoveryJournal::read(path);
                ASSERT_TRUE(back.valid);
                EXPECT_FALSE(back.damaged);
                ASSERT_TRUE(same(back.rows, model.rows())) << "after group " << i;
            }
        }
        EXPECT_GT(operations, 100);
    }
}

// An untouched pre-fill is no content: the journal keeps the empty cell.
TEST(RecoveryJournal, LeavesTheUntouchedPrefillOut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("3.journal"));
    Rows table = rowsOf({u"東京都　", u"東京都　"});
    Writer writer(path);
    writer.begin({}, table, {1, QStringLiteral("東京都　")});
    table[0].setCell(AddressTableModel::Zip, u"100-0005");
    writer.steps({Writer::step(0, 1, table, 0, 1, {1, QStringLiteral("東京都　")})});
    writer.flush();
    const Rows back = RecoveryJournal::read(path).rows;
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].cell(AddressTableModel::Zip), u"100-0005");
    EXPECT_EQ(back[0].cell(AddressTableModel::Add), u"東京都　");
    EXPECT_TRUE(back[1].cell(AddressTableModel::Add).isEmpty());
    writer.remove();
    writer.flush();
    EXPECT_FALSE(QFile::exists(path));
}

// Rows taken in from a list of another layout keep its other columns: the
// journal gives back every kept cell with its row (a row of kept cells only,
// a step and a pre-fill on such rows), and the layout in its header.
TEST(RecoveryJournal, KeepsTheKeptCellsAndTheirLayout)
{
    using Row = AddressTableModel::Row;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("4.journal"));
    const auto keptRow = [](QStringView zip, QStringView add, const QStringList &kept) {
        return Row::fromCells(zip, add, {}, {}, {}, Row::keptText(kept));
    };
    const QStringList yamada{QStringLiteral("山田太郎"), QString(), QStringLiteral("2024/4/1")};
    Rows table{keptRow(u"060-0042", u"北海道　", yamada), keptRow({}, {}, {QStringLiteral("鈴木\n花子")}), Row()};
    RecoveryJournal::Source source;
    source.kept = QStringLiteral("layout");
    Writer writer(path);
    writer.begin(source, table, {0, QStringLiteral("北海道　")});
    table[1].setCell(AddressTableModel::Tel, u"03-1234-5678");
    table.insert(1, keptRow(u"1", u"2", {QString(70000, u'長')})); // a length past 16 bits
    writer.steps({Writer::step(1, 1, table, 2, 1, {}), Writer::step(1, 0, table, 1, 1, {})});
    writer.flush();
    const RecoveryJournal::Recovered back = RecoveryJournal::read(path);
    EXPECT_EQ(back.source.kept, QStringLiteral("layout"));
    table[0].setCell(AddressTableModel::Add, {}); // the pre-fill is no content; its kept cells are
    EXPECT_TRUE(same(back.rows, table));
    ASSERT_EQ(back.rows.size(), 4);
    EXPECT_EQ(back.rows[0].keptCells(), yamada);
    EXPECT_EQ(back.rows[1].keptCells(), QStringList{QString(70000, u'長')});
    EXPECT_EQ(back.rows[2].cell(AddressTableModel::Tel), u"03-1234-5678");
    EXPECT_EQ(back.rows[2].keptCells(), QStringList{QStringLiteral("鈴木\n花子")});
}

// A journal of the first form, left by the program before rows kept other
// columns (four cell ends a row), is still read.
TEST(RecoveryJournal, ReadsTheFirstForm)
{
    QByteArray header;
    QDataStream head(&header, QIODevice::WriteOnly);
    head << QStringLiteral("host") << qint64(7) << QString() << qint64(-1) << qint64(0) << QByteArray();
    QByteArray snapshot;
    QDataStream rows(&snapshot, QIODevice::WriteOnly);
    rows << quint32(2) << QStringLiteral("100-0005東京都").toUtf8() << quint32(8) << quint32(11) << quint32(11)
         << quint32(11) << QByteArray();
    const QByteArray bytes = QByteArray("KOTOVEN-JOURNAL-1\n") + RecoveryJournal::frame(char(1) + header)
                             + RecoveryJournal::frame(char(2) + snapshot);
    const RecoveryJournal::Recovered back = RecoveryJournal::read(bytes);
    ASSERT_TRUE(back.valid);
    EXPECT_FALSE(back.damaged);
    ASSERT_EQ(back.rows.size(), 2);
    EXPECT_EQ(back.rows[0].cell(AddressTableModel::Zip), u"100-0005");
    EXPECT_EQ(back.rows[0].cell(AddressTableModel::Add), u"東京都");
    EXPECT_FALSE(back.rows[0].hasKept());
    EXPECT_TRUE(back.rows[1].isEmpty());
}
