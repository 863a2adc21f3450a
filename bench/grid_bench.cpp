// Row commands on a table of a million realistic addresses, through the
// commands and the grid the main window uses, and the table's memory; the
// recovery journal's cost on the window's thread and its size.
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"
#include "widgets/recovery/TableJournal.h"
#include "widgets/table/RowCommands.h"
#include "widgets/table/SheetCommands.h"
#include "core/table/CsvWriter.h"
#include "support/ScriptedDesktop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>

namespace {

constexpr int Rows = 1'000'000;

const char16_t *const Prefectures[] = {u"東京都", u"大阪府", u"北海道", u"神奈川県", u"愛知県", u"福岡県", u"京都府"};
const char16_t *const Cities[] = {u"千代田区", u"大阪市北区", u"札幌市中央区", u"横浜市西区", u"名古屋市中区",
                                  u"福岡市博多区", u"京都市中京区"};
const char16_t *const Towns[] = {u"丸の内", u"梅田", u"北一条西", u"みなとみらい", u"栄", u"博多駅前", u"烏丸通"};
const char16_t *const Companies[] = {u"株式会社サンプル商事", u"有限会社テスト工業", u"山田建設株式会社",
                                     u"みなと物流株式会社", u"", u"北星システム株式会社"};

AddressTableModel::Rows makeRows(qsizetype &utf16Bytes)
{
    QRandomGenerator random(20261207);
    AddressTableModel::Rows rows;
    rows.reserve(Rows);
    utf16Bytes = 0;
    for (int i = 0; i < Rows; ++i) {
        const int p = int(random.bounded(7u));
        const QString zip = QStringLiteral("%1-%2").arg(random.bounded(100u, 999u)).arg(random.bounded(10000u), 4, 10,
                                                                                         QLatin1Char('0'));
        const QString add = QString::fromUtf16(Prefectures[p]) + u'\u3000' + QString::fromUtf16(Cities[p])
                            + QString::fromUtf16(Towns[p]) + u'\u3000'
                            + QStringLiteral("%1－%2－%3").arg(random.bounded(1u, 9u)).arg(random.bounded(1u, 30u)).arg(random.bounded(1u, 20u));
        const QString cmp = QString::fromUtf16(Companies[random.bounded(6u)]);
        const QString tel = QStringLiteral("0%1-%2-%3").arg(random.bounded(1u, 99u)).arg(random.bounded(100u, 9999u)).arg(random.bounded(1000u, 9999u));
        const QString url = QStringLiteral("http://map.yahoo.co.jp/pl?lat=35.%1&lon=139.%2&z=18")
                                .arg(random.bounded(100000u, 999999u))
                                .arg(random.bounded(100000u, 999999u));
        utf16Bytes += 2 * (zip.size() + add.size() + cmp.size() + tel.size() + url.size());
        rows.push_back(AddressTableModel::Row::fromCells(zip, add, cmp, tel, url));
    }
    return rows;
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

template<typename F>
double millis(F &&f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    vAdd grid;
    grid.resize(945, 400);
    grid.show();
    QCoreApplication::processEvents();

    qsizetype textBytes = 0;
    const size_t heapBefore = heapInUse();
    AddressTableModel::Rows rows = makeRows(textBytes);
    const double fill = millis([&] { grid.table()->replaceRows(std::move(rows)); });
    // What the table holds once filled: the rows and their texts.
    const size_t tableBytes = heapInUse() - heapBefore;

    // Every row command, on one row and on a block of 1,000, at the top, the
    // middle and the end, each with the grid redrawn after it; the active
    // cell must stay where it was.
    TableState state;
    AddressTable table(grid, state);
    RowCommands commands(table);
    struct Command
    {
        const char *name;
        int item;
    };
    const Command all[] = {{"clear", 2}, {"insert", 3}, {"delete", 4}};
    double worst = 0;
    bool kept = true;
    for (const Command &command : all) {
        for (const int size : {1, 1000}) {
            for (const char *where : {"top", "middle", "end"}) {
                const int rows = grid.RowCount();
                const int first = where[0] == 't' ? 1 : where[0] == 'm' ? rows / 2 : rows - size + 1;
                grid.GoToCell(2, first + size / 2);
                const int activeRow = grid.CurRow();
                table.setBlock(size > 1 ? first : 0, size > 1 ? first + size - 1 : 0);
                QCoreApplication::processEvents(); // the scroll is drawn before the command
                const double ms = millis([&] { commands.mnEdt_Click(command.item); });
                const bool same = grid.CurRow() == std::min(activeRow, grid.RowCount()) && grid.CurCol() == 2;
                kept = kept && same;
                worst = std::max(worst, ms);
                std::printf("%s_%d_row%s_%s: %.1f ms%s\n", command.name, size, size > 1 ? "s" : "", where, ms,
                            same ? "" : " (active cell moved)");
            }
        }
    }
    // The history after 100 row commands near the top of the table: each
    // step keeps only the rows it takes out.
    table.history().startOver(true);
    for (int i = 0; i < 100; ++i) {
        grid.GoToCell(2, 2 + i % 3);
        table.setBlock(0, 0);
        commands.mnEdt_Click(i % 2 == 0 ? 3 : 4);
    }
    const qint64 historyBytes = table.history().memory();
    const int historySteps = table.history().stack().count();
    table.setBlock(0, 0);

    // The recovery journal at a million rows. A sort is an operation the
    // journal keeps as such, and undoing it a step by the sort's number; a
    // whole-table step of rows (the rows in reverse, as a paste of the whole
    // table could leave them) is copied for the writer. Each without and
    // with the journal, and a cell typed right after.
    ScriptedDesktop desktop;
    QStatusBar status;
    QTemporaryDir journalFolder;
    TableJournal journal(table, desktop, status);
    SheetCommands sheet(table, desktop, status);
    const auto wholeTableStep = [&] {
        AddressTableModel::Rows reversed = grid.table()->rows();
        std::reverse(reversed.begin(), reversed.end());
        const int count = grid.RowCount();
        return millis([&] {
            table.record(QStringLiteral("並べ替え"), 1, count,
                         [&] { grid.table()->spliceRows(0, count, std::move(reversed)); });
        });
    };
    int sorts = 0;
    const auto sortStep = [&] {
        desktop.sorts.push_back(Desktop::SortChoice{AddressTableModel::Zip, sorts % 2 == 1});
        ++sorts;
        return millis([&] { sheet.SortRows(); });
    };
    const auto undoSort = [&] {
        sortStep();
        return millis([&] { table.history().undo(); });
    };
    const auto typeCell = [&](int row) {
        return millis([&] { grid.table()->setData(grid.table()->index(row, 1), QStringLiteral("x%1").arg(row)); });
    };
    state.Dirty = true;
    const double wholeWithout = wholeTableStep();
    const double sortWithout = std::max(sortStep(), sortStep());
    const double typedWithout = typeCell(3);
    const double undoWithout = undoSort();
    const double typedAfterUndoWithout = typeCell(12);
    journal.enable(journalFolder.path());
    // Beginning: the first change begins the journal, whose snapshot the
    // writer takes from the table's shared rows; then a cell right after.
    const double beginning = typeCell(4);
    const double typedAfterBeginning = typeCell(5);
    journal.writer()->flush();
    double wholeWith = 0;
    double typedRightAfter = 0;
    for (int i = 0; i < 3; ++i) {
        const double ms = wholeTableStep();
        std::printf("journal_whole_table_step_of_rows_%d: %.1f ms\n", i + 1, ms);
        wholeWith = std::max(wholeWith, ms);
        typedRightAfter = std::max(typedRightAfter, typeCell(6 + i));
        journal.writer()->flush();
    }
    const double sortWith = std::max(sortStep(), sortStep());
    const double typedAfterSort = typeCell(10);
    const double undoWith = undoSort();
    const double typedAfterUndo = typeCell(11);
    journal.writer()->flush();
    const qint64 csvLarge = CsvWriter::encode(table.content())->bytes.size();
    const qint64 journalLarge = journal.writer()->fileBytes();
    journal.closeNormally();
    const double clear = millis([&] { commands.mnEdt_Click(0); });

    // Typing at 10,000 rows: each cell typed is one step.
    vAdd small;
    TableState smallState;
    AddressTable smallTable(small, smallState);
    small.table()->replaceRows(makeRows(textBytes).mid(0, 10'000));
    QTemporaryDir smallFolder;
    TableJournal smallJournal(smallTable, desktop, status);
    const auto typing = [&](int steps) {
        QRandomGenerator random(5);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < steps; ++i) {
            const QModelIndex cell = small.table()->index(int(random.bounded(10'000u)), int(random.bounded(5u)));
            small.table()->setData(cell, QStringLiteral("東京都千代田区丸の内%1").arg(i));
            QCoreApplication::processEvents(); // the step's group goes to the writer
        }
        return double(timer.nsecsElapsed()) / 1e6 / steps;
    };
    smallState.Dirty = true;
    typing(2000); // the allocator warmed up
    const double stepWithout = typing(2000);
    smallJournal.enable(smallFolder.path());
    QCoreApplication::processEvents();
    const double stepWith = typing(2000);
    smallJournal.writer()->flush();
    const qint64 csvSmall = CsvWriter::encode(smallTable.content())->bytes.size();
    const qint64 journalSmall = smallJournal.writer()->fileBytes();
    const int smallGroups = RecoveryJournal::read(smallJournal.writer()->path()).steps;
    smallJournal.closeNormally();

    std::printf("rows: %d rows\n", Rows);
    std::printf("fill: %.1f ms\n", fill);
    std::printf("clear_all: %.1f ms\n", clear);
    std::printf("row_command_worst: %.1f ms (one frame: 16 ms)\n", worst);
    std::printf("active_cell_kept: %s\n", kept ? "yes" : "no");
    std::printf("history_memory_after_100_row_commands: %.3f MB (%d steps)\n", double(historyBytes) / 1e6, historySteps);
    std::printf("text_utf16: %.1f MB\n", double(textBytes) / 1e6);
    std::printf("model_memory: %.1f MB\n", double(tableBytes) / 1e6);
    std::printf("model_memory_ratio: %.2f x\n", double(tableBytes) / double(textBytes));
    std::printf("journal_step_10000_rows: %.3f ms per typed cell (%.3f ms without the journal; limit 1 ms more; "
                "%d groups journaled)\n",
                stepWith, stepWithout, smallGroups);
    std::printf("journal_sort_%d_rows: %.1f ms (%.1f ms without the journal; limit 50 ms more)\n", Rows, sortWith,
                sortWithout);
    std::printf("journal_undoing_a_sort_%d_rows: %.1f ms (%.1f ms without the journal; limit 50 ms more), a cell "
                "typed right after %.2f ms (%.2f ms without the journal)\n",
                Rows, undoWith, undoWithout, typedAfterUndo, typedAfterUndoWithout);
    std::printf("journal_whole_table_step_of_rows_%d_rows: %.1f ms (%.1f ms without the journal; limit 50 ms more)\n",
                Rows, wholeWith, wholeWithout);
    std::printf("journal_cell_typed_right_after_a_whole_table_step_%d_rows: %.2f ms after rows, %.2f ms after a sort "
                "(%.2f ms without the journal)\n",
                Rows, typedRightAfter, typedAfterSort, typedWithout);
    std::printf("journal_beginning_%d_rows: %.2f ms for the cell that begins it, %.2f ms for a cell right after "
                "(%.2f ms without the journal)\n",
                Rows, beginning, typedAfterBeginning, typedWithout);
    std::printf("journal_size_10000_rows_after_2000_steps: %.2f MB for a %.2f MB CSV file (%.2f x; limit 2 x)\n",
                double(journalSmall) / 1e6, double(csvSmall) / 1e6, double(journalSmall) / double(csvSmall));
    std::printf("journal_size_%d_rows_after_3_whole_table_steps_and_3_sorts: %.1f MB for a %.1f MB CSV file (%.2f x; limit 2 x)\n",
                Rows, double(journalLarge) / 1e6, double(csvLarge) / 1e6, double(journalLarge) / double(csvLarge));
    return 0;
}
