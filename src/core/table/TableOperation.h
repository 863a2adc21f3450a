#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/grid/TableChange.h"

// A change to the table that is made again exactly from the table before it:
// what 初期化, the row commands, clearing cells and sorting do, kept as the
// command and its parameters instead of the rows it leaves. The commands
// make it through the model, the recovery journal makes it again on rows
// read back; both through the functions here.
struct TableOperation
{
    enum class Kind : quint8 {
        BlankRows = 1,  // rows first..first+removed-1 give way to `added` blank rows
        ClearCells = 2, // cells left..right of rows first..first+removed-1 are emptied
        Sort = 3,       // the rows sorted by `column`
    };
    // More rows than a table can hold here (a damaged journal asks for no
    // more).
    static constexpr qsizetype MaxRows = qsizetype(1) << 22;

    Kind kind = Kind::BlankRows;
    int first = 0; // rows from 0, columns from 0
    int removed = 0;
    int added = 0;
    int left = 0;
    int right = 0;
    int column = 0;
    bool descending = false;

    static TableOperation blankRows(int first, int removed, int added);
    static TableOperation clearCells(int firstRow, int lastRow, int firstColumn, int lastColumn);
    static TableOperation sort(int column, bool descending);

    // Whether it applies to a table of `rows` rows (a journal read back is
    // checked before it is trusted).
    bool fits(qsizetype rows) const;
    // Makes the change to the model; the rows it replaced, for the history.
    // ClearCells goes through the model's clearCells (the grid's own).
    TableChange apply(AddressTableModel &model) const;
    // Makes the same change to plain rows.
    void apply(AddressTableModel::Rows &rows) const;
};
