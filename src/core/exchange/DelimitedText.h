#pragma once

#include "SourceTable.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Comma- or tab-separated lists of any column layout: read in code page 932,
// UTF-8 (with or without a byte-order mark) or UTF-16, found the way 開く
// finds them; written in the encoding chosen.
namespace DelimitedText {

enum class Encoding { Cp932, Utf8, Utf8Bom, Utf16 };

struct Read
{
    SourceTable table;
    Encoding encoding = Encoding::Cp932;
    QChar delimiter = u',';
    qsizetype undecodable = 0; // bytes that became U+FFFD
};

Read read(const QByteArray &bytes);

struct Written
{
    QByteArray bytes;
    qsizetype unmappableCount = 0; // code page 932: characters written as '?'
    qsizetype firstUnmappableRow = -1;
    qsizetype firstUnmappableColumn = -1;
};

// `delimiter` ',' or '\t'; rows end in CR LF; fields holding the delimiter,
// a quote or a line break are quoted.
Written write(const std::vector<QStringList> &rows, QChar delimiter, Encoding encoding);

} // namespace DelimitedText
