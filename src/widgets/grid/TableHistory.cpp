#include "TableHistory.h"

#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"

#include <QUndoCommand>

#include <algorithm>
#include <vector>
#include <utility>

namespace {

class TableStep final : public QUndoCommand
{
public:
    TableStep(TableHistory &history, const QString &text, TableChange change, const TablePlace &before,
              const TablePlace &after)
        : QUndoCommand(text), m_history(history), m_change(std::move(change)), m_before(before), m_after(after),
          m_bytes(m_change.bytes())
    {
    }

    void undo() override
    {
        if (!m_history.rebuilding())
            m_history.replay(m_change, m_before);
    }
    void redo() override
    {
        // Pushed after the change was made: the first redo has nothing to do.
        if (std::exchange(m_pushed, false) || m_history.rebuilding())
            return;
        m_history.replay(m_change, m_after);
    }

    qint64 bytes() const { return m_bytes; } // as measured when the step was made
    // The same step for a new stack, taking this one's rows.
    TableStep *moved() { return new TableStep(m_history, text(), std::move(m_change), m_before, m_after); }

private:
    TableHistory &m_history;
    TableChange m_change;
    TablePlace m_before;
    TablePlace m_after;
    qint64 m_bytes;
    bool m_pushed = true;
};

} // namespace

TableHistory::TableHistory(AddressTable &table) : m_table(table)
{
    m_stack.setUndoLimit(StepLimit);
    // Dirty follows the history: false exactly where the table was loaded or
    // saved.
    connect(&m_stack, &QUndoStack::indexChanged, this, [this] { m_table.state().Dirty = !m_stack.isClean(); });
    connect(&m_stack, &QUndoStack::cleanChanged, this, [this](bool clean) { m_table.state().Dirty = !clean; });
    connect(m_table.grid().table(), &AddressTableModel::cellAboutToBeEdited, this, &TableHistory::cellAboutToBeEdited);
}

void TableHistory::record(const QString &text, int first, int count, const std::function<void()> &change)
{
    if (m_recording > 0) {
        change();
        return;
    }
    ++m_recording;
    const TablePlace before = place();
    AddressTableModel &model = *m_table.grid().table();
    // The step keeps exactly the rows it claims: a range reaching beyond the
    // table (or before it) is cut to the rows there are.
    first = std::clamp(first, 1, model.rowCount() + 1);
    count = std::clamp(count, 0, model.rowCount() - first + 1);
    AddressTableModel::Rows rows = model.rows().mid(first - 1, count); // shares the texts
    // An untouched pre-fill is no content: the step goes back to the empty cell.
    const TableState &state = m_table.state();
    const int prefill = state.PrefillRow - first;
    if (prefill >= 0 && prefill < rows.size() && rows[prefill].cell(AddressTableModel::Add) == state.PrefillText)
        rows[prefill].setCell(AddressTableModel::Add, {});
    const int rowsBefore = model.rowCount();
    m_announced = 0;
    change();
    TableChange made(first - 1, std::move(rows), count + model.rowCount() - rowsBefore);
    // The step of one operation keeps its tag.
    if (std::exchange(m_announced, 0) == 1)
        made.setTag(m_lastTag);
    --m_recording;
    if (!made.changesNothing(model))
        push(text, std::move(made), before);
}

void TableHistory::push(const QString &text, TableChange change, const TablePlace &before)
{
    ++m_moves;
    pushStep(new TableStep(*this, text, std::move(change), before, place()));
}

void TableHistory::pushStep(QUndoCommand *step)
{
    m_stack.push(step);
    keepWithinBound();
}

qint64 TableHistory::memory() const
{
    qint64 total = 0;
    for (int i = 0; i < m_stack.count(); ++i)
        total += static_cast<const TableStep *>(m_stack.command(i))->bytes();
    return total;
}

qint64 TableHistory::memoryBound() const
{
    qint64 table = 0;
    for (const AddressTableModel::Row &row : m_table.grid().table()->rows())
        table += row.text.size() * qint64(sizeof(char16_t));
    return std::max(memoryFloor, 2 * table);
}

void TableHistory::keepWithinBound()
{
    // The table is measured only when the steps keep more than the floor.
    qint64 kept = memory();
    if (kept <= memoryFloor)
        return;
    const qint64 bound = memoryBound();
    const int index = m_stack.index();
    int drop = 0;
    // The oldest steps done go; the step just made always stays.
    while (kept > bound && drop < index - 1)
        kept -= static_cast<const TableStep *>(m_stack.command(drop++))->bytes();
    if (drop == 0)
        return;
    // QUndoStack drops old steps only through its count limit, so the steps
    // that stay move to a fresh stack, nothing replayed on the way.
    const int clean = m_stack.cleanIndex();
    std::vector<QUndoCommand *> moved;
    for (int i = drop; i < m_stack.count(); ++i)
        moved.push_back(const_cast<TableStep *>(static_cast<const TableStep *>(m_stack.command(i)))->moved());
    m_rebuilding = true;
    m_stack.clear();
    for (QUndoCommand *step : moved)
        m_stack.push(step);
    if (clean >= drop) {
        m_stack.setIndex(clean - drop);
        m_stack.setClean();
    } else {
        m_stack.resetClean();
    }
    m_stack.setIndex(index - drop);
    m_rebuilding = false;
    m_table.state().Dirty = !m_stack.isClean();
}

void TableHistory::cellAboutToBeEdited(int row, int, const QString &)
{
    if (m_recording > 0 || m_table.state().Quiet)
        return;
    AddressTableModel &model = *m_table.grid().table();
    AddressTableModel::Rows before{model.row(row)};
    // An untouched pre-fill is no content: typing into it takes it with it,
    // and the step goes back to the empty cell whichever cell of its row is
    // typed into.
    const TableState &state = m_table.state();
    if (row + 1 == state.PrefillRow && model.cell(row, AddressTableModel::Add) == state.PrefillText)
        before.first().setCell(AddressTableModel::Add, {});
    const TablePlace where = place();
    ++m_moves;
    // The table changes right after this: the step is pushed done.
    pushStep(new TableStep(*this, QStringLiteral("入力"), TableChange(row, std::move(before), 1), where, where));
}

void TableHistory::undo()
{
    m_table.grid().EndEdit();
    m_table.dropPrefill();
    m_stack.undo();
}

void TableHistory::redo()
{
    m_table.grid().EndEdit();
    m_table.dropPrefill();
    m_stack.redo();
}

void TableHistory::startOver(bool clean)
{
    m_stack.clear();
    // An empty stack keeps its clean mark through clear(), so it is set
    // either way: a table read whole after a partly read one is clean.
    if (clean)
        m_stack.setClean();
    else
        m_stack.resetClean();
    m_table.state().Dirty = !m_stack.isClean();
}

void TableHistory::markSaved(quint64 writtenAt)
{
    // The history moved after the bytes were taken: what was written is no
    // state the history can stand on, so the table stays dirty.
    if (writtenAt != m_moves) {
        m_stack.resetClean();
        m_table.state().Dirty = true;
        return;
    }
    m_stack.setClean();
    m_table.state().Dirty = false;
}

TablePlace TableHistory::place() const
{
    const vAdd &grid = m_table.grid();
    return {grid.CurCol(), grid.CurRow(), m_table.state().SelRowFrom, m_table.state().SelRowTo};
}

void TableHistory::restore(const TablePlace &place)
{
    m_table.grid().PlaceCurrent(place.col, place.row);
    m_table.setBlock(place.blockFrom, place.blockTo);
}

quint64 TableHistory::announce(const TableOperation &operation, const std::function<void()> &change)
{
    if (!operation.fits(m_table.grid().table()->rowCount())) {
        change();
        return 0;
    }
    Q_EMIT operationBegins();
    change();
    quint64 tag = 0;
    Q_EMIT operated(operation, tag);
    ++m_announced;
    m_lastTag = tag;
    return tag;
}

TableChange TableHistory::operate(const TableOperation &operation)
{
    TableChange made(0, {}, 0);
    const quint64 tag = announce(operation, [&] { made = operation.apply(*m_table.grid().table()); });
    made.setTag(tag);
    return made;
}

void TableHistory::replay(TableChange &change, const TablePlace &place)
{
    ++m_moves;
    ++m_recording;
    AddressTableModel &model = *m_table.grid().table();
    // Blank rows put back (undoing an insert, making a delete or a clear
    // again) are an operation; other rows are rows.
    const int first = std::clamp(change.first(), 0, model.rowCount());
    const auto blank = TableOperation::blankRows(first, std::clamp(change.count(), 0, model.rowCount() - first),
                                                 int(change.otherCount()));
    bool taken = false;
    if (change.tag() != 0)
        Q_EMIT replaying(change.tag(), taken);
    const auto swap = [&] {
        if (taken) {
            change.swap(model);
            Q_EMIT replayed(change.tag());
        } else if (change.othersBlank()) {
            announce(blank, [&] { change.swap(model); });
        } else {
            change.swap(model);
        }
    };
    m_table.quietly([&] { m_table.grid().KeepingPlace(swap); });
    --m_recording;
    restore(place);
}
