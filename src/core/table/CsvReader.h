#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/table/CsvFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

class QIODevice;

// Reads an address CSV file into table rows, a piece at a time: each piece is
// decoded and parsed at once, so the file's bytes and its whole text never
// stand in memory beside the rows; no notification per cell.
//
// Line 0 is the header and is never looked at. Every later record needs at
// least five fields; fields after the fifth are ignored and fields are kept as
// they stand. A line ends at CR LF or at a lone LF; a lone CR stays in its
// field. A double quote at the start of a field opens a quoted section in which
// commas and line ends are text and "" is one quote, so the writer's quoting
// comes back exactly, and a file without quotes, commas or line breaks inside
// its cells reads as it always did. A record read that way must give five
// fields, or at least five on one line; any other record comes from the older
// writer, which wrote quotes inside a cell unescaped, and its first line is
// read again as the older program read it: every double quote dropped, a field
// ending at every comma. Line ends at the end of the file are dropped.
class CsvReader final
{
public:
    struct Result
    {
        enum class Status {
            Loaded,     // every line read
            BadFormat,  // stopped at badLine; the rows before it hold their data
            Unreadable, // the file could not be read; error says why
            Cancelled,  // the progress callback said stop; rows is empty
        };
        Status status = Status::Loaded;
        // The n data records in rows 0..n-1 and one blank row after them; no
        // rows at all for an empty file. On BadFormat the failing line keeps
        // the fields it had and the rows after it are blank.
        AddressTableModel::Rows rows;
        int badLine = -1;          // BadFormat: the failing line of the file, the header being line 0
        QString error;             // Unreadable: names the path and the reason
        int undecodableLine = 0;   // first line (from 1) holding bytes that could not be decoded
        qsizetype undecodableCount = 0; // each such byte became U+FFFD
        enum class Encoding { Cp932, Utf8 };
        Encoding encoding = Encoding::Cp932; // what the bytes were read as
        QByteArray hash; // FileIdentity::hash of every byte read (not of text parsed)
    };

    // Parses decoded text.
    static Result parse(QStringView text, const Csv::Progress &progress = {});
    // Decodes (UTF-8 after a UTF-8 byte-order mark or when the bytes are
    // UTF-8 by Utf8Check, code page 932 otherwise) and parses.
    static Result read(QByteArray bytes, const Csv::Progress &progress = {});
    static Result read(QIODevice &device, const Csv::Progress &progress = {});
    static Result read(const QString &path, const Csv::Progress &progress = {});
};
