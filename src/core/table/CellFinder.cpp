#include "CellFinder.h"

#include "core/grid/CellText.h"

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
    for (const QChar start : m_starts) {
        for (qsizetype at = cell.indexOf(start); at >= 0; at = cell.indexOf(start, at + 1)) {
            if (matchesAt(cell, at))
                return true;
        }
    }
    return false;
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
