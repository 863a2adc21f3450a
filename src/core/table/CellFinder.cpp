#include "CellFinder.h"

#include "core/grid/CellText.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <future>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The comparison values of one search, set up once for all its rows.
class CellFinder::Starts
{
public:
    explicit Starts(QStringView units) : m_units(units)
    {
#if defined(__SSE2__)
        const qsizetype k = units.size();
        for (qsizetype j = 0; j < 4 && k > 0; ++j)
            m_wanted[j] = _mm_set1_epi16(short(units[std::min(j, k - 1)].unicode()));
#endif
    }

    // Few enough forms to look for all of them in one pass.
    bool few() const { return !m_units.isEmpty() && m_units.size() <= 4; }
    QStringView units() const { return m_units; }

    // The first place from `at` holding one of the (at most four) units, or
    // -1: eight units compared at once where the processor can, the last
    // ones of a text of eight or more as one load that overlaps the one
    // before it.
    qsizetype find(QStringView text, qsizetype at) const
    {
        const char16_t *const data = text.utf16();
        const qsizetype n = text.size();
#if defined(__SSE2__)
        if (n >= 8) {
            for (; at + 8 <= n; at += 8)
                if (const unsigned mask = hits(data + at))
                    return at + __builtin_ctz(mask) / 2;
            if (at >= n)
                return -1;
            // The last 1..7 units: the load ends at the text's end, and the
            // lanes before `at` (already looked at) are masked off.
            const qsizetype base = n - 8;
            const unsigned mask = hits(data + base) & (~0U << (2 * (at - base)));
            return mask ? base + __builtin_ctz(mask) / 2 : -1;
        }
#endif
        for (; at < n; ++at)
            if (m_units.contains(QChar(data[at])))
                return at;
        return -1;
    }

private:
#if defined(__SSE2__)
    unsigned hits(const char16_t *at) const
    {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi16(chunk, m_wanted[0]), _mm_cmpeq_epi16(chunk, m_wanted[1]));
        if (m_units.size() > 2) // most first characters have one or two forms
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi16(chunk, m_wanted[2]), _mm_cmpeq_epi16(chunk, m_wanted[3])));
        return unsigned(_mm_movemask_epi8(hit));
    }

    __m128i m_wanted[4]{};
#endif
    QStringView m_units;
};

namespace {

// Whether a core stands idle for a second thread now: fewer tasks ready to
// run (this one included) than the machine has cores.
bool freeCore()
{
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores < 2)
        return false;
    // The fourth field of /proc/loadavg: tasks running or ready / all tasks.
    std::ifstream loadavg("/proc/loadavg");
    double average = 0;
    unsigned running = 0;
    if (!(loadavg >> average >> average >> average >> running))
        return false;
    return running < cores;
}

// Whether a cell after the first starts with a half-width voiced mark, which
// the row's joined text would fold together with the cell before it.
bool markStartsACell(const AddressTableModel::Row &row)
{
    const QStringView text = row.shown();
    return std::any_of(row.ends.begin(), row.ends.end() - 1, [text](quint32 end) {
        return end < quint32(text.size()) && (text[end] == u'\uFF9E' || text[end] == u'\uFF9F');
    });
}

} // namespace

CellFinder::CellFinder(QStringView text) : m_needle(CellText::folded(text))
{
    if (m_needle.isEmpty())
        return;
    qsizetype used = 0;
    const char32_t first = CellText::charAt(m_needle, 0, &used);
    if (used == 2) {
        // Outside the BMP folding is letter case only: the first character's
        // other cases, by their first halves (the match is checked whole).
        for (const char32_t c : {first, QChar::toUpper(first), QChar::toLower(first), QChar::toTitleCase(first)}) {
            const QChar high(QChar::highSurrogate(c));
            if (QChar::toCaseFolded(c) == first && !m_starts.contains(high))
                m_starts += high;
        }
        return;
    }
    if (QChar::isSurrogate(first)) { // a lone half stands for itself only
        m_starts += QChar(char16_t(first));
        return;
    }
    // Every character (and half-width katakana with a voiced mark) whose
    // folded form starts the needle.
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const QChar raw{char16_t(c)};
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
    return matches(Starts(m_starts), cell);
}

bool CellFinder::matches(const Starts &starts, QStringView cell) const
{
    if (m_needle.isEmpty())
        return true;
    if (starts.few()) {
        // One pass for every form the first character may take.
        for (qsizetype at = starts.find(cell, 0); at >= 0; at = starts.find(cell, at + 1))
            if (matchesAt(cell, at))
                return true;
        return false;
    }
    // A fast search for each form the first character may take.
    for (const QChar start : starts.units()) {
        for (qsizetype at = cell.indexOf(start); at >= 0; at = cell.indexOf(start, at + 1))
            if (matchesAt(cell, at))
                return true;
    }
    return false;
}

std::optional<CellFinder::Cell> CellFinder::next(const AddressTableModel::Rows &rows, Cell from, bool backwards,
                                                 bool includeFrom, Threads threads) const
{
    const int count = int(rows.size());
    constexpr int Columns = AddressTableModel::ColumnCount;
    if (count == 0 || m_needle.isEmpty())
        return std::nullopt;
    from.row = std::clamp(from.row, 0, count - 1);
    from.column = std::clamp(from.column, 0, Columns - 1);
    const int step = backwards ? -1 : 1;
    const Starts starts(m_starts);
    const AddressTableModel::Row *const data = rows.constData();

    // The cell in row `r`, which step i reached, that matches: step 0 looks
    // at the start row's cells after the start, step `count` (round again)
    // at those before it, the start cell itself last unless it counts from
    // the first.
    auto inRow = [&](int r, int i) -> std::optional<Cell> {
        const AddressTableModel::Row &row = data[r];
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
            if (matches(starts, row.cell(c)))
                return Cell{r, c};
        }
        return std::nullopt;
    };
    // Steps begin..end-1 in order, stepping from row to row; gives up once
    // `stop` says an earlier part has found one.
    auto scan = [&](int begin, int end, const std::atomic<bool> *stop) -> std::optional<Cell> {
        int r = int((qint64(from.row) + qint64(step) * begin) % count);
        if (r < 0)
            r += count;
        for (int i = begin; i < end; ++i) {
            if (stop && (i & 4095) == 0 && stop->load(std::memory_order_relaxed))
                return std::nullopt;
            // Most rows hold no match at all: one look at the whole row.
            const AddressTableModel::Row &row = data[r];
            if (!row.isBlank() && (matches(starts, row.shown()) || markStartsACell(row)))
                if (const auto cell = inRow(r, i))
                    return cell;
            r += step;
            if (r == count)
                r = 0;
            else if (r < 0)
                r = count - 1;
        }
        return std::nullopt;
    };
    // A large table is searched in two halves at once when a core is free;
    // the first half's match, being nearer, wins.
    constexpr int InParallel = 200000;
    const bool two = threads == Threads::Two || (threads == Threads::WhenItPays && count >= InParallel && freeCore());
    if (!two || count < 2)
        return scan(0, count + 1, nullptr);
    const int middle = (count + 1) / 2;
    std::atomic<bool> firstFound = false;
    std::future<std::optional<Cell>> later;
    try {
        later = std::async(std::launch::async, [&] { return scan(middle, count + 1, &firstFound); });
    } catch (const std::system_error &) {
        // No thread to be had (a process at its limit): one does it all.
        return scan(0, count + 1, nullptr);
    }
    const std::optional<Cell> first = scan(0, middle, nullptr);
    if (first)
        firstFound = true;
    const std::optional<Cell> second = later.get();
    return first ? first : second;
}

bool CellFinder::matchesAt(QStringView cell, qsizetype at) const
{
    // A match starts on a whole character, never on a pair's second half.
    if (at > 0 && cell[at].isLowSurrogate() && cell[at - 1].isHighSurrogate())
        return false;
    qsizetype i = at;
    const qsizetype n = m_needle.size();
    for (qsizetype j = 0, wantedUsed = 0; j < n; j += wantedUsed) {
        if (i >= cell.size())
            return false;
        qsizetype used = 0;
        const char16_t unit = cell[i].unicode();
        const char16_t wanted = m_needle[j].unicode();
        // A character as the folded needle has it is in folded form already
        // (half-width katakana never is).
        if (unit == wanted && !QChar::isSurrogate(unit)) {
            ++i;
            wantedUsed = 1;
            continue;
        }
        // The common case, a BMP character on both sides, without the pairs' checks.
        if (!QChar::isSurrogate(unit) && !QChar::isSurrogate(wanted)) {
            if (CellText::foldedAt(cell, i, &used) != wanted)
                return false;
            wantedUsed = 1;
        } else if (CellText::foldedCharAt(cell, i, &used) != CellText::charAt(m_needle, j, &wantedUsed)) {
            return false;
        }
        i += used;
    }
    return true;
}
