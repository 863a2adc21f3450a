// The Excel 97-2003 reader on arbitrary bytes. FreeXL reads only from a path,
// so each input is written to a temporary file first; the formula count walks
// the same bytes. Neither may crash, and a sheet read holds no more rows than
// a workbook of that kind can.
#include "core/exchange/XlsReader.h"

#include <QTemporaryFile>

#include <cstdint>
#include <cstdlib>

// FreeXL 1.0.6 loses a few small blocks when it refuses a damaged file; that
// is the library's, and the leak check looks past it.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfreexl.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    XlsReader::formulaCells(bytes);
    QTemporaryFile file;
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return 0;
    const XlsReader::Book book = XlsReader::sheets(file.fileName());
    for (int i = 0; book.error.isEmpty() && i < int(book.sheets.size()) && i < 4; ++i) {
        const XlsReader::Sheet sheet = XlsReader::read(file.fileName(), i);
        if (sheet.table.rows.size() > 65536)
            std::abort();
    }
    return 0;
}
