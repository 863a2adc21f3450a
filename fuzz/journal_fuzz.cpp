// libFuzzer target for the recovery journal's reader: any bytes (a journal
// cut short, damaged or not one at all) are read without a crash, and what
// is read back is a table whose rows hold their cells, kept cells too,
// inside their text.
#include "core/recovery/RecoveryJournal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const RecoveryJournal::Recovered back = RecoveryJournal::read(bytes);
    if (!back.valid && !back.rows.isEmpty())
        std::abort();
    for (const AddressTableModel::Row &row : back.rows) {
        for (int column = 0; column < AddressTableModel::ColumnCount; ++column)
            if (row.cell(column).size() > row.text.size())
                std::abort();
        // Kept cells after the five, however their lengths are damaged.
        qsizetype kept = 0;
        for (const QString &cell : row.keptCells())
            kept += cell.size();
        if (kept > row.text.size())
            std::abort();
    }
    return 0;
}
