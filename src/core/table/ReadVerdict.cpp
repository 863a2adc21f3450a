#include "ReadVerdict.h"

#include "core/env/Cp932.h"

#include <algorithm>

namespace ReadVerdict {

bool writableBack(const CsvReader::Result &result)
{
    if (result.status != CsvReader::Result::Status::Loaded || result.undecodableCount > 0)
        return false;
    if (result.encoding != CsvReader::Result::Encoding::Utf8)
        return true;
    return std::none_of(result.rows.begin(), result.rows.end(),
                        [](const AddressTableModel::Row &row) { return Cp932::encode(row.text).unmappableCount > 0; });
}

qsizetype records(const AddressTableModel::Rows &rows)
{
    std::array<QStringView, Csv::FieldCount> cells;
    return std::count_if(rows.begin(), rows.end(),
                         [&cells](const AddressTableModel::Row &row) { return !row.isEmpty() && Csv::exportCells(row, cells); });
}

} // namespace ReadVerdict
