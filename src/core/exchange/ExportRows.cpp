#include "ExportRows.h"

#include <algorithm>

std::vector<QStringList> exportRows(const AddressTableModel::Rows &content, const KeptColumns &kept)
{
    qsizetype last = content.size();
    while (last > 0 && content[last - 1].isEmpty())
        --last;
    std::vector<KeptColumns::Output> columns;
    if (kept.any() && std::any_of(content.begin(), content.begin() + last,
                                  [](const AddressTableModel::Row &row) { return row.hasKept(); })) {
        std::array<bool, KeptColumns::TableColumns> filled{};
        for (qsizetype r = 0; r < last; ++r)
            for (int c = 0; c < AddressTableModel::ColumnCount; ++c)
                filled[std::size_t(c)] = filled[std::size_t(c)] || !content[r].cell(c).isEmpty();
        columns = kept.layout(filled);
    } else {
        for (int c = 0; c < AddressTableModel::ColumnCount; ++c)
            columns.push_back({c, -1, AddressTableModel::caption(c)});
    }
    std::vector<QStringList> rows;
    rows.reserve(std::size_t(last + 1));
    QStringList header;
    for (const KeptColumns::Output &column : columns)
        header.append(column.header);
    rows.push_back(header);
    for (qsizetype r = 0; r < last; ++r) {
        const AddressTableModel::Row &from = content[r];
        const QStringList keptCells = from.hasKept() ? from.keptCells() : QStringList();
        QStringList row;
        row.reserve(qsizetype(columns.size()));
        for (const KeptColumns::Output &column : columns)
            row.append(column.table >= 0 ? from.cell(column.table).toString() : keptCells.value(column.kept));
        rows.push_back(std::move(row));
    }
    return rows;
}
