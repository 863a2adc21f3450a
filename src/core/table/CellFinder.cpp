#include "CellFinder.h"

#include "core/grid/CellText.h"

#include <algorithm>

CellFinder::CellFinder(QStringView text) : m_needle(CellText::folded(text))
{
    if (m_needle.isEmpty())
        return;
    const char16_t first = m_needle.front().unicode();
    // Every character (and half-width katakana with a voiced mark) whose
    // folded form starts the needle.
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const QChar raw{char16_t(c)};
        qsizetype used = 0;
        bool starts = CellText::foldedAt(QStringView(&raw, 1), 0, &used) == first;
        if (!starts && c >= 0xFF61 && c <= 0xFF9D) {
            for (const char16_t mark : {u'\uFF9E', u'\uFF9F'}) {
                const QChar pair[2] = {raw, QChar(mark)};
                starts = starts || CellText::foldedAt(QStringView(pair, 2), 0, &used) == first;
            }
        }
        if (starts)
            m_starts += raw;
    }
}

bool CellFinder::matches(QStringView cell) const
{
    if (m_needle.isEmpty())
        return true;
    if (m_starts.size() == 1) {
        const QChar start = m_starts.front();
        for (qsizetype at = cell.indexOf(start); at >= 0; at = cell.indexOf(start, at + 1))
            if (matchesAt(cell, at))
                return true;
        return false;
    }
    // One pass for every form the first character may take.
    const char16_t *text = reinterpret_cast<const char16_t *>(cell.utf16());
    const char16_t *starts = reinterpret_cast<const char16_t *>(m_starts.utf16());
    const qsizetype n = cell.size();
    const qsizetype k = m_starts.size();
    for (qsizetype at = 0; at < n; ++at) {
        const char16_t c = text[at];
        for (qsizetype s = 0; s < k; ++s) {
            if (c == starts[s]) {
                if (matchesAt(cell, at))
                    return true;
                break;
            }
        }
    }
    return false;
}

std::optional<CellFinder::Cell> CellFinder::next(const AddressTableModel::Rows &rows, Cell from, bool backwards,
                                                 bool includeFrom) const
{
    const int count = int(rows.size());
    constexpr int Columns = AddressTableModel::ColumnCount;
    if (count == 0 || m_needle.isEmpty())
        return std::nullopt;
    from.row = std::clamp(from.row, 0, count - 1);
    from.column = std::clamp(from.column, 0, Columns - 1);
    const int step = backwards ? -1 : 1;
    // Row by row, the whole round and the start row once more for its cells
    // on the other side of the start.
    for (int i = 0; i <= count; ++i) {
        const int r = ((from.row + step * i) % count + count) % count;
        const AddressTableModel::Row &row = rows[r];
        // Most rows hold no match at all: one look at the whole row.
        if (row.isEmpty() || !matches(row.text))
            continue;
        for (int k = 0; k < Columns; ++k) {
            const int c = backwards ? Columns - 1 - k : k;
            if (i == 0) {
                const bool after = backwards ? c < from.column : c > from.column;
                if (!after && !(includeFrom && c == from.column))
                    continue;
            } else if (i == count) {
                // Round again to the start: the start cell itself last.
                const bool before = backwards ? c > from.column : c < from.column;
                if (!before && !(!includeFrom && c == from.column))
                    continue;
            }
            if (matches(row.cell(c)))
                return Cell{r, c};
        }
    }
    return std::nullopt;
}

bool CellFinder::matchesAt(QStringView cell, qsizetype at) const
{
    qsizetype i = at;
    for (const QChar wanted : m_needle) {
        if (i >= cell.size())
            return false;
        qsizetype used = 0;
        if (CellText::foldedAt(cell, i, &used) != wanted.unicode())
            return false;
        i += used;
    }
    return true;
}
