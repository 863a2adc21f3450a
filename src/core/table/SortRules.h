#pragma once

#include "core/grid/AddressTableModel.h"

#include <QString>
#include <QStringList>

#include <vector>

// The order 並べ替え puts rows in.
namespace SortRules {

enum class Direction { Ascending, Descending };

// A postal code's value for sorting, written "1000005", "100-0005",
// "〒100-0005" or in full-width digits; -1 when the text is not one.
int codeValue(QStringView text);

// The positions of `cells` (one column's cells of the rows to sort) in their
// sorted order. Stable: equal cells keep their order. Empty cells come last
// in either direction. When `postalCodes`, cells that are codes sort by their
// value and before other text; text sorts by its folded form (width and case
// alike), then by code point.
std::vector<qsizetype> order(const QStringList &cells, Direction direction, bool postalCodes);

// The table's rows sorted by `column` (from 0) as 並べ替え leaves them: the
// non-blank rows in order() of their cells (postal codes in the 郵便番号
// column), then the rows whose five cells are blank but that keep cells of
// a list taken in, then the blank rows.
AddressTableModel::Rows sortedRows(const AddressTableModel::Rows &rows, int column, Direction direction);

} // namespace SortRules
