// The CSV reader on arbitrary bytes: it never crashes, no row holds more than
// five cells, and whatever it read is written and read back unchanged (less
// the cells' outer half-width and full-width spaces and the blank rows).
#include "core/table/CsvReader.h"
#include "core/table/CsvWriter.h"

#include <array>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Each row's split points lie in order inside its text: five cells, no more.
void checkRows(const AddressTableModel::Rows &rows)
{
    for (const AddressTableModel::Row &row : rows) {
        quint32 previous = 0;
        for (quint32 end : row.ends) {
            check(end >= previous);
            previous = end;
        }
        check(previous == quint32(row.text.size())); // no kept cells in a CSV file
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const CsvReader::Result result =
        CsvReader::read(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    checkRows(result.rows);
    check(result.status != CsvReader::Result::Status::Cancelled);
    if (result.status != CsvReader::Result::Status::Loaded)
        return 0;

    const CsvReader::Result again = CsvReader::parse(*CsvWriter::text(result.rows));
    check(again.status == CsvReader::Result::Status::Loaded);
    qsizetype next = 0;
    std::array<QStringView, Csv::FieldCount> cells;
    for (const AddressTableModel::Row &row : result.rows) {
        if (!Csv::exportCells(row, cells))
            continue;
        check(next < again.rows.size());
        for (int c = 0; c < 5; ++c)
            check(again.rows[next].cell(c) == cells[size_t(c)]);
        ++next;
    }
    check(next + 1 == again.rows.size() && again.rows[next].isEmpty());
    return 0;
}
