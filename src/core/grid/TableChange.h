#pragma once

#include "core/grid/AddressTableModel.h"

#include <algorithm>
#include <utility>

// One change to the table kept so that it can be taken back and made again:
// from row `first` (from 0), the rows it replaced. Swapping puts them back
// and keeps the rows they replace in turn, so undo and redo are the same
// splice; the rows move between the table and the change, never copied.
class TableChange
{
public:
    TableChange(int first, AddressTableModel::Rows other, int count)
        : m_first(first), m_other(std::move(other)), m_count(count)
    {
    }

    // Replaces `count` rows from `first` by `rows` now, as one change.
    static TableChange splice(AddressTableModel &model, int first, int count, AddressTableModel::Rows rows)
    {
        const int added = int(rows.size());
        return TableChange(first, model.spliceRows(first, count, std::move(rows)), added);
    }

    // Puts the other rows back into the table: the first call undoes the
    // change, the next makes it again.
    void swap(AddressTableModel &model)
    {
        const int count = int(m_other.size());
        m_other = model.spliceRows(m_first, m_count, std::move(m_other));
        m_count = count;
    }

    // Memory the change keeps: its rows' records and the UTF-16 bytes of
    // the texts only it holds (a text shared with the table is not counted).
    qint64 bytes() const;

    // Whether the table reads the same with the change and without it.
    bool changesNothing(const AddressTableModel &model) const;

    int first() const { return m_first; }
    // Who keeps the table's changes may tag the change with its own number
    // for the operation that made it (0: none).
    quint64 tag() const { return m_tag; }
    void setTag(quint64 tag) { m_tag = tag; }
    // The rows from first() in the table now, and the rows swap() puts in
    // their place.
    int count() const { return m_count; }
    qsizetype otherCount() const { return m_other.size(); }
    // Whether the rows swap() puts back are all blank.
    bool othersBlank() const
    {
        return std::all_of(m_other.begin(), m_other.end(), [](const AddressTableModel::Row &row) { return row.isEmpty(); });
    }

private:
    int m_first;
    AddressTableModel::Rows m_other; // the rows not in the table now
    int m_count;                     // the rows from m_first in the table now
    quint64 m_tag = 0;
};
