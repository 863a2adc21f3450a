#pragma once

#include "SourceTable.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Excel 97-2003 workbooks (.xls) through FreeXL, which reads only from a
// path: text, numbers and dates (as ISO dates), but no formula results,
// number formats, merged ranges or hidden flags. A sheet with formula cells
// is refused with their count, found by walking the workbook's records.
namespace XlsReader {

struct Book
{
    QString error;
    std::vector<SheetInfo> sheets;
};

struct Sheet
{
    QString error;
    SourceTable table;
};

Book sheets(const QString &path);
Sheet read(const QString &path, int sheetIndex);

// The formula cells of each sheet in the bytes of an .xls file, in the order
// of its sheets; empty when the bytes are no such workbook.
std::vector<qsizetype> formulaCells(const QByteArray &bytes);

} // namespace XlsReader
