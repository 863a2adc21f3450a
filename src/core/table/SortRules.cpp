#include "SortRules.h"

#include "core/grid/CellText.h"

#include <algorithm>
#include <numeric>

namespace SortRules {

int codeValue(QStringView text)
{
    text = CellText::trimAllSpaces(text);
    if (text.startsWith(u'〒'))
        text = CellText::trimAllSpaces(text.sliced(1));
    int value = 0;
    int digits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'０' && c <= u'９')
            digit = c - u'０';
        if (digit >= 0) {
            if (++digits > 7)
                return -1;
            value = value * 10 + digit;
            continue;
        }
        // One hyphen after the third digit.
        const bool hyphen = c == u'-' || c == u'－' || c == u'ー' || c == u'‐' || c == u'−';
        if (!(hyphen && digits == 3 && i + 1 < text.size()))
            return -1;
    }
    return digits == 7 ? value : -1;
}

std::vector<qsizetype> order(const QStringList &cells, Direction direction, bool postalCodes)
{
    const qsizetype n = cells.size();
    std::vector<qsizetype> positions(static_cast<size_t>(n), 0);
    std::iota(positions.begin(), positions.end(), 0);

    // Sort keys, made once: a class (0 code, 1 text, 2 empty), a code value,
    // the folded text.
    struct Key
    {
        int kind;
        int code;
        QString text;
    };
    std::vector<Key> keys(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        const QStringView cell = CellText::trimAllSpaces(cells[i]);
        Key &key = keys[size_t(i)];
        if (cell.isEmpty()) {
            key.kind = 2;
            continue;
        }
        key.code = postalCodes ? codeValue(cell) : -1;
        key.kind = key.code >= 0 ? 0 : 1;
        if (key.kind == 1)
            key.text = CellText::folded(cell);
    }
    const bool descending = direction == Direction::Descending;
    std::stable_sort(positions.begin(), positions.end(), [&](qsizetype a, qsizetype b) {
        const Key &x = keys[size_t(a)];
        const Key &y = keys[size_t(b)];
        if (x.kind != y.kind) {
            if (x.kind == 2 || y.kind == 2)
                return y.kind == 2; // empty last either way
            return descending ? x.kind > y.kind : x.kind < y.kind;
        }
        int c = 0;
        if (x.kind == 0)
            c = x.code < y.code ? -1 : (x.code > y.code ? 1 : 0);
        else if (x.kind == 1) {
            c = QStringView(x.text).compare(y.text);
            if (c == 0)
                c = QStringView(cells[a]).compare(cells[b]);
        }
        return descending ? c > 0 : c < 0;
    });
    return positions;
}

AddressTableModel::Rows sortedRows(const AddressTableModel::Rows &rows, int column, Direction direction)
{
    QStringList keys;
    std::vector<qsizetype> filled;
    std::vector<qsizetype> keptOnly; // rows whose kept cells alone hold something go with them
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (rows[r].isBlank()) {
            if (!rows[r].isEmpty())
                keptOnly.push_back(r);
            continue;
        }
        filled.push_back(r);
        keys.append(rows[r].cell(column).toString());
    }
    AddressTableModel::Rows sorted;
    sorted.reserve(rows.size());
    for (const qsizetype i : order(keys, direction, column == AddressTableModel::Zip))
        sorted.append(rows[filled[size_t(i)]]);
    for (const qsizetype r : keptOnly)
        sorted.append(rows[r]);
    sorted.resize(rows.size());
    return sorted;
}

} // namespace SortRules
