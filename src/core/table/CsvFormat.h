#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/grid/CellText.h"

#include <QString>
#include <QStringView>

#include <array>
#include <functional>

// What the address CSV files look like, shared by the reader and the writer.
//
// Written: the header line, then one line per non-blank row with five fields,
// each in double quotes with the cell's leading and trailing half-width and
// full-width spaces removed and every double quote inside doubled; fields
// separated by ",", every line ending in CR LF; code page 932 without a
// byte-order mark.
namespace Csv {

inline constexpr QStringView Header = u"郵便番号,住所,勤務先等,電話番号,MAP URL";
inline constexpr int FieldCount = 5;

// Called now and then during a long read or write with the work done so far
// and the whole; returning false cancels the operation.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Rows between two progress calls: cheap enough to ignore, often enough that
// a cancel is felt at once.
inline constexpr int ProgressRows = 16384;

// The progress of one stage as a share [from, to] of a whole reported in
// thousandths; an empty progress stays empty.
inline Progress stage(const Progress &whole, double from, double to)
{
    if (!whole)
        return {};
    return [whole, from, to](qint64 done, qint64 total) {
        const double share = total > 0 ? double(done) / double(total) : 1.0;
        return whole(qint64((from + (to - from) * share) * 1000.0), 1000);
    };
}

// A row's cells as the CSV file and the clipboard text take them: without
// their outer half-width and full-width spaces (the table keeps its text).
// False when every one is empty: the row is blank and left out.
inline bool exportCells(const AddressTableModel::Row &row, std::array<QStringView, FieldCount> &cells)
{
    bool hasText = false;
    for (int c = 0; c < FieldCount; ++c) {
        cells[size_t(c)] = CellText::trimAllSpaces(row.cell(c));
        hasText = hasText || !cells[size_t(c)].isEmpty();
    }
    return hasText;
}

} // namespace Csv
