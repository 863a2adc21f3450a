#pragma once

#include "KeptColumns.h"

#include <QString>

#include <optional>

// What the window keeps beside the grid about the table; the file, row and
// cell commands share one instance.
struct TableState
{
    bool Dirty = false;  // the table differs from the file it came from
    int SelRowFrom = 0;  // the remembered block of rows; SelRowTo 0: none
    int SelRowTo = 0;
    QString CurrentFile; // the file of the last Open or Save; empty: none
    bool ReadAsUtf8 = false; // CurrentFile was read as UTF-8 (a save writes code page 932)
    bool Quiet = false;  // the program itself is changing the grid
    bool ImeOn = false;  // the input method was last switched on
    // An address pre-filled from the row above and not typed into yet: a
    // suggestion, taken back when the active cell leaves its row.
    int PrefillRow = 0;  // 0: none
    QString PrefillText;
    // The layout of the list last taken in, whose other columns the rows
    // keep; empty after 開く. 書き出し writes them back.
    KeptColumns Kept;
    // The history's position when 書き出し last wrote the table; none yet.
    std::optional<quint64> ExportedAt;
};
