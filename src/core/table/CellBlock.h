#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// A block of cells as spreadsheets put it on the clipboard and take it back.
namespace CellBlock {

// Rows of cells; rows may differ in length.
using Block = QList<QStringList>;

// The clipboard format that marks cells copied from the program's own grid
// (the map link capture leaves them alone).
inline constexpr char MimeType[] = "application/x-kotoven-cells";

// Tab-separated text as spreadsheets write it: cells separated by tabs, every
// row ended by CR LF; a cell holding a tab, a line break or a double quote is
// put in double quotes with its quotes doubled.
QString toText(const Block &block);

// The same block as an HTML table, which spreadsheets paste cell by cell.
QString toHtml(const Block &block);

// A block from a spreadsheet's clipboard text. A cell that starts with a
// double quote and ends with one before the next tab or line end is quoted:
// it may hold tabs and line breaks, and its doubled quotes stand for one. Any
// other cell is taken as it is. Rows end in CR LF, LF or CR; the line end
// after the last row does not start another.
Block fromText(QStringView text);

} // namespace CellBlock
