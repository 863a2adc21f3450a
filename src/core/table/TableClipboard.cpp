#include "TableClipboard.h"

#include "core/table/CsvFormat.h"

#include <array>

namespace TableClipboard {

QString text(const AddressTableModel::Rows &rows)
{
    QString all;
    std::array<QStringView, Csv::FieldCount> cells;
    for (const AddressTableModel::Row &row : rows) {
        if (!Csv::exportCells(row, cells))
            continue;
        for (int c = 0; c < Csv::FieldCount; ++c) {
            all.append(u'"');
            all.append(cells[size_t(c)]);
            all.append(u'"');
            all.append(c < Csv::FieldCount - 1 ? QStringView(u"\t") : QStringView(u"\r\n"));
        }
    }
    return all;
}

} // namespace TableClipboard
