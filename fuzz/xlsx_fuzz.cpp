// The workbook reader on arbitrary bytes: it never crashes, every sheet it
// lists can be read or refused with a reason, no cell is longer than a
// spreadsheet allows, and the delimited-text reader takes the same bytes.
#include "core/exchange/DelimitedText.h"
#include "core/exchange/XlsxReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const XlsxReader::Book book = XlsxReader::sheets(bytes);
    if (book.error.isEmpty() && book.sheets.empty())
        std::abort();
    for (int i = 0; i < int(book.sheets.size()) && i < 4; ++i) {
        const XlsxReader::Sheet sheet = XlsxReader::read(bytes, i);
        if (!sheet.error.isEmpty())
            continue;
        if (qsizetype(sheet.table.rows.size()) > XlsxReader::MaxRows)
            std::abort();
        for (const QStringList &row : sheet.table.rows)
            for (const QString &cell : row)
                if (cell.size() > XlsxReader::MaxCellChars)
                    std::abort();
    }
    DelimitedText::read(bytes);
    return 0;
}
