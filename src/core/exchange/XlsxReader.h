#pragma once

#include "SourceTable.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Excel workbooks (.xlsx): the sheets' cells as the person saw them. Numbers
// go through the cell's number format (General, zero-padded formats such as
// 000-0000, text, the built-in dates and yyyy/m/d; era dates come out as ISO
// dates); shared, inline and rich strings alike (phonetic runs left out);
// formulas give their cached result; a merged range keeps its top-left value.
// The sheet is streamed out of the zip entry, never unpacked whole.
namespace XlsxReader {

constexpr qsizetype MaxRows = 1048576;
constexpr qsizetype MaxCellChars = 32767;

struct Book
{
    QString error; // empty: read; else says what the bytes are instead
    std::vector<SheetInfo> sheets;
};

struct Sheet
{
    QString error;
    SourceTable table;
};

// `bytes` must outlive nothing: each call opens the archive afresh.
Book sheets(const QByteArray &bytes);
Sheet read(const QByteArray &bytes, int sheetIndex);

// The number `value` as number format `formatCode` shows it (General when
// empty); `date1904` for workbooks counting days from 1904.
QString shownNumber(double value, int formatId, const QString &formatCode, bool date1904 = false);

// What the bytes are when they are not an .xlsx workbook: an encrypted
// workbook, an .xls, an OpenDocument or Numbers file; empty otherwise.
QString notXlsx(const QByteArray &bytes);

} // namespace XlsxReader
