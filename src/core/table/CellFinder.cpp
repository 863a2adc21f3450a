#include "CellFinder.h"

#include "core/grid/CellText.h"

#include <algorithm>
#include <atomic>
#include <future>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first place from `at` holding one of the (at most four) characters in
// `starts`, or -1: eight characters compared at once where the processor can.
qsizetype findAny(QStringView text, qsizetype at, QStringView starts)
{
    const char16_t *const data = text.utf16();
    const qsizetype n = text.size();
    const qsizetype k = starts.size();
#if defined(__SSE2__)
    __m128i wanted[4];
    for (qsizetype j = 0; j < 4; ++j)
        wanted[j] = _mm_set1_epi16(short(starts[std::min(j, k - 1)].unicode()));
    for (; at + 8 <= n; at += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(chunk, wanted[0]), _mm_cmpeq_epi16(chunk, wanted[1])),
                                         _mm_or_si128(_mm_cmpeq_epi16(chunk, wanted[2]), _mm_cmpeq_epi16(chunk, wanted[3])));
        if (const int mask = _mm_movemask_epi8(hit))
            return at + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    for (; at < n; ++at)
        for (qsizetype j = 0; j < k; ++j)
            if (data[at] == starts[j].unicode())
                return at;
    return -1;
}

} // namespace

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
    if (m_starts.size() <= 4) {
        // One pass for every form the first character may take.
        for (qsizetype at = findAny(cell, 0, m_starts); at >= 0; at = findAny(cell, at + 1, m_starts))
            if (matchesAt(cell, at))
                return true;
        return false;
    }
    // A fast search for each form the first character may take.
    for (const QChar start : m_starts) {
        for (qsizetype at = cell.indexOf(start); at >= 0; at = cell.indexOf(start, at + 1))
            if (matchesAt(cell, at))
                return true;
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

    // Step i looks at the row i rows on from the start: step 0 at the start
    // row's cells after the start, step `count` (round again) at those
    // before it, the start cell itself last unless it counts from the first.
    auto atStep = [&](int i) -> std::optional<Cell> {
        const int r = ((from.row + step * i) % count + count) % count;
        const AddressTableModel::Row &row = rows[r];
        // Most rows hold no match at all: one look at the whole row.
        if (row.isEmpty() || !matches(row.text))
            return std::nullopt;
        for (int k = 0; k < Columns; ++k) {
            const int c = backwards ? Columns - 1 - k : k;
            if (i == 0) {
                const bool after = backwards ? c < from.column : c > from.column;
                if (!after && !(includeFrom && c == from.column))
                    continue;
            } else if (i == count) {
                const bool before = backwards ? c > from.column : c < from.column;
                if (!before && !(!includeFrom && c == from.column))
                    continue;
            }
            if (matches(row.cell(c)))
                return Cell{r, c};
        }
        return std::nullopt;
    };
    // Steps from..to-1 in order; gives up once `stop` says an earlier part
    // has found one.
    auto scan = [&](int begin, int end, const std::atomic<bool> *stop) -> std::optional<Cell> {
        for (int i = begin; i < end; ++i) {
            if (stop && (i & 4095) == 0 && stop->load(std::memory_order_relaxed))
                return std::nullopt;
            if (const auto cell = atStep(i))
                return cell;
        }
        return std::nullopt;
    };
    // A large table is searched in two halves at once; the first half's
    // match, being nearer, wins.
    constexpr int InParallel = 200000;
    if (count < InParallel)
        return scan(0, count + 1, nullptr);
    const int middle = (count + 1) / 2;
    std::atomic<bool> firstFound = false;
    auto later = std::async(std::launch::async, [&] { return scan(middle, count + 1, &firstFound); });
    const std::optional<Cell> first = scan(0, middle, nullptr);
    if (first)
        firstFound = true;
    const std::optional<Cell> second = later.get();
    return first ? first : second;
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
