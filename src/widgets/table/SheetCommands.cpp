#include "SheetCommands.h"

#include "core/env/Desktop.h"
#include "core/grid/TableChange.h"
#include "core/table/CellBlock.h"
#include "core/table/PasteRules.h"
#include "core/table/RowRules.h"
#include "core/table/SortRules.h"
#include "core/table/TableOperation.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"

#include <QClipboard>
#include <QLineEdit>
#include <QGuiApplication>
#include <QMimeData>
#include <QStatusBar>

#include <algorithm>

using namespace Qt::StringLiterals;

void SheetCommands::mnEdt_Click(int index)
{
    using RowRules::EditCommand;
    switch (EditCommand(index)) {
    case EditCommand::Undo: m_table.history().undo(); break;
    case EditCommand::Redo: m_table.history().redo(); break;
    case EditCommand::Cut: CopyCells(true); break;
    case EditCommand::Copy: CopyCells(false); break;
    case EditCommand::Paste: PasteCells(); break;
    case EditCommand::ClearContents: ClearCells(); break;
    case EditCommand::Sort: SortRows(); break;
    default: break;
    }
}

QRect SheetCommands::settledArea()
{
    // Typing in progress belongs to its cell first; an untouched pre-fill goes.
    m_table.grid().EndEdit();
    m_table.dropPrefill();
    return m_table.grid().SelectedArea();
}

void SheetCommands::clearArea(const QRect &area, const QString &text)
{
    vAdd &grid = m_table.grid();
    m_table.record(text, area.top(), area.height(), [&] {
        m_table.history().announce(
            TableOperation::clearCells(area.top() - 1, area.bottom() - 1, area.left() - 1, area.right() - 1),
            [&] { grid.ClearCells(area.left(), area.top(), area.right(), area.bottom()); });
    });
}

void SheetCommands::CopyCells(bool cut)
{
    vAdd &grid = m_table.grid();
    const QRect area = settledArea();
    if (area.isEmpty())
        return;
    CellBlock::Block block;
    block.reserve(area.height());
    for (int row = area.top(); row <= area.bottom(); ++row) {
        QStringList cells;
        for (int col = area.left(); col <= area.right(); ++col)
            cells.append(grid.GetCell(col, row));
        block.append(cells);
    }
    auto *data = new QMimeData;
    data->setText(CellBlock::toText(block));
    data->setHtml(CellBlock::toHtml(block));
    data->setData(QString::fromLatin1(CellBlock::MimeType), QByteArray::number(area.width()));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    if (cut)
        clearArea(area, u"切り取り"_s);
}

void SheetCommands::ClearCells()
{
    if (const QRect area = settledArea(); !area.isEmpty())
        clearArea(area, u"内容を消去"_s);
}

void SheetCommands::ClearAndEdit()
{
    vAdd &grid = m_table.grid();
    m_table.dropPrefill();
    const int col = grid.CurCol();
    const int row = grid.CurRow();
    if (col < 1 || row < 1)
        return;
    // The cell opens empty while the table keeps its text: what is typed
    // then (or the empty text, left with Enter) goes in as one step, and
    // Escape leaves the cell as it was.
    grid.EditCell(col, row, 0);
    if (QLineEdit *editor = grid.cellEditor(); editor && editor->isVisible())
        editor->clear();
}

void SheetCommands::PasteCells()
{
    vAdd &grid = m_table.grid();
    const QRect area = settledArea();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (grid.CurRow() < 1)
        return;
    // An image or nothing at all would paste nothing without a word.
    const auto nothingToPaste = [this] {
        m_status.showMessage(u"貼り付けるには、セルか文字をコピーしてください"_s, 5000);
    };
    if (!data || !data->hasText()) {
        nothingToPaste();
        return;
    }
    const PasteRules::Plan plan =
        PasteRules::plan(CellBlock::fromText(data->text()), grid.CurRow() - 1, grid.CurCol() - 1,
                         {area.top() - 1, area.left() - 1, area.bottom() - 1, area.right() - 1}, grid.ColCount());
    if (plan.cells.isEmpty()) {
        nothingToPaste();
        return;
    }

    // The rows the paste writes, built whole and spliced in as one step; a
    // spare blank row stays below the last one written.
    AddressTableModel &model = *grid.table();
    const int existing = std::clamp(model.rowCount() - plan.top, 0, int(plan.cells.size()));
    AddressTableModel::Rows rows;
    rows.reserve(plan.cells.size() + 1);
    for (qsizetype i = 0; i < plan.cells.size(); ++i) {
        AddressTableModel::Row row = i < existing ? model.row(plan.top + int(i)) : AddressTableModel::Row();
        const QStringList &cells = plan.cells[i];
        for (qsizetype c = 0; c < cells.size(); ++c)
            row.setCell(plan.left + int(c), cells[c]);
        rows.append(std::move(row));
    }
    if (plan.top + plan.cells.size() >= model.rowCount())
        rows.append(AddressTableModel::Row());
    const TablePlace before = m_table.history().place();
    int right = plan.left;
    for (const QStringList &cells : plan.cells)
        right = std::max(right, plan.left + int(cells.size()) - 1);
    TableChange change = [&] {
        TableChange made(0, {}, 0);
        grid.KeepingPlace([&] { made = TableChange::splice(model, plan.top, existing, std::move(rows)); });
        return made;
    }();
    grid.SelectArea(QRect(QPoint(plan.left + 1, plan.top + 1), QPoint(right + 1, plan.top + int(plan.cells.size()))));
    if (!change.changesNothing(model))
        m_table.history().push(u"貼り付け"_s, std::move(change), before);
    if (plan.cellsCut > 0)
        m_status.showMessage(u"5 列目より右の %1 個のセルは貼り付けませんでした"_s.arg(plan.cellsCut), 10000);
}

void SheetCommands::SortRows()
{
    vAdd &grid = m_table.grid();
    grid.EndEdit();
    m_table.dropPrefill();
    QStringList columns;
    for (int c = 0; c < AddressTableModel::ColumnCount; ++c)
        columns.append(AddressTableModel::caption(c));
    const std::optional<Desktop::SortChoice> choice = m_desktop.chooseSort(columns, grid.CurCol() - 1);
    if (!choice)
        return;

    // Non-blank rows in order, blank rows after them.
    AddressTableModel &model = *grid.table();
    const TablePlace before = m_table.history().place();
    TableChange change(0, {}, 0);
    const TableOperation sort = TableOperation::sort(choice->column, choice->descending);
    grid.KeepingPlace([&] { change = m_table.history().operate(sort); });
    if (!change.changesNothing(model))
        m_table.history().push(u"並べ替え"_s, std::move(change), before);
}
