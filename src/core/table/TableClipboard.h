#pragma once

#include "core/grid/AddressTableModel.h"

#include <QString>

#include <vector>

// The table as clipboard text for spreadsheets: one line per row with text in
// at least one cell, five fields in double quotes (nothing inside escaped, the
// cell's outer half-width and full-width spaces removed) separated by tabs,
// every line ending in CR LF, no header. Empty when every row is blank.
namespace TableClipboard {

QString text(const AddressTableModel::Rows &rows);

} // namespace TableClipboard
