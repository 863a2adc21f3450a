#pragma once

#include "core/table/CsvReader.h"

// What a read of an address file means for the file afterwards.
namespace ReadVerdict {

// Whether a plain 上書き保存 may write the table back over the file it was read
// from: only when the table holds the file's records as written. A file that
// stopped at a malformed record, held bytes that could not be decoded, or was
// read as UTF-8 and holds characters code page 932 cannot store would lose
// part of itself, so only a name chosen in 名を付けて保存 is written then.
bool writableBack(const CsvReader::Result &result);

// The records a file holds or gets: rows with text in at least one cell.
qsizetype records(const AddressTableModel::Rows &rows);

} // namespace ReadVerdict
