#include "TableOperation.h"

#include "core/table/SortRules.h"

TableOperation TableOperation::blankRows(int first, int removed, int added)
{
    TableOperation op;
    op.kind = Kind::BlankRows;
    op.first = first;
    op.removed = removed;
    op.added = added;
    return op;
}

TableOperation TableOperation::clearCells(int firstRow, int lastRow, int firstColumn, int lastColumn)
{
    TableOperation op;
    op.kind = Kind::ClearCells;
    op.first = firstRow;
    op.removed = lastRow - firstRow + 1;
    op.left = firstColumn;
    op.right = lastColumn;
    return op;
}

TableOperation TableOperation::sort(int column, bool descending)
{
    TableOperation op;
    op.kind = Kind::Sort;
    op.column = column;
    op.descending = descending;
    return op;
}

bool TableOperation::fits(qsizetype rows) const
{
    switch (kind) {
    case Kind::BlankRows:
        return first >= 0 && removed >= 0 && added >= 0 && first <= rows && removed <= rows - first &&
               rows - removed + added <= MaxRows;
    case Kind::ClearCells:
        return first >= 0 && removed >= 0 && first <= rows && removed <= rows - first && left >= 0 &&
               left <= right && right < AddressTableModel::ColumnCount;
    case Kind::Sort:
        return column >= 0 && column < AddressTableModel::ColumnCount;
    }
    return false;
}

TableChange TableOperation::apply(AddressTableModel &model) const
{
    switch (kind) {
    case Kind::BlankRows:
        return TableChange::splice(model, first, removed, AddressTableModel::Rows(added));
    case Kind::ClearCells: {
        TableChange change(first, model.rows().mid(first, removed), removed);
        model.clearCells(first, left, first + removed - 1, right);
        return change;
    }
    case Kind::Sort:
        return TableChange::splice(model, 0, model.rowCount(),
                                   SortRules::sortedRows(model.rows(), column,
                                                         descending ? SortRules::Direction::Descending
                                                                    : SortRules::Direction::Ascending));
    }
    return {0, {}, 0};
}

void TableOperation::apply(AddressTableModel::Rows &rows) const
{
    switch (kind) {
    case Kind::BlankRows:
        rows.remove(first, removed);
        rows.insert(first, added, AddressTableModel::Row());
        return;
    case Kind::ClearCells:
        // As the model clears them: whole rows become blank rows.
        for (int r = first; r < first + removed; ++r) {
            AddressTableModel::Row &row = rows[r];
            if (row.isEmpty())
                continue;
            if (left == 0 && right == AddressTableModel::ColumnCount - 1)
                row = AddressTableModel::Row();
            else
                for (int c = left; c <= right; ++c)
                    row.setCell(c, {});
        }
        return;
    case Kind::Sort:
        rows = SortRules::sortedRows(rows, column,
                                     descending ? SortRules::Direction::Descending : SortRules::Direction::Ascending);
        return;
    }
}
