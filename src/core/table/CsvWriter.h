#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/table/CsvFormat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

class QIODevice;

// Writes table rows as an address CSV file: each character is put into the
// text once and encoded once; the bytes go to the file through QSaveFile, so a
// failed or cancelled write leaves the old file whole.
class CsvWriter final
{
public:
    // The file's whole text: the header, then every row with text in at least
    // one cell. Empty when the progress callback cancelled.
    static std::optional<QString> text(const AddressTableModel::Rows &rows,
                                       const Csv::Progress &progress = {});

    // The file's bytes in code page 932, the text made and encoded a piece at
    // a time; characters code page 932 cannot hold are written as '?'.
    // Empty when the progress callback cancelled.
    struct Cell
    {
        int row = -1;
        int column = -1;
    };
    struct Encoded
    {
        QByteArray bytes;
        Cell firstUnmappable;          // the first cell holding such a character
        qsizetype unmappableCount = 0; // how many there are
    };
    static std::optional<Encoded> encode(const AddressTableModel::Rows &rows,
                                         const Csv::Progress &progress = {});

    // The cell whose text stands at `index` of text(rows): its row and column
    // from 0; row -1 for the header and the quotes and separators.
    static Cell cellAt(const AddressTableModel::Rows &rows, qsizetype index);

    struct Result
    {
        enum class Status { Written, Failed, Cancelled };
        Status status = Status::Written;
        QString error; // Failed: names the file (or device) and the reason
    };
    static Result write(QIODevice &device, QByteArrayView bytes, const Csv::Progress &progress = {});
    static Result write(const QString &path, QByteArrayView bytes, const Csv::Progress &progress = {});
};
