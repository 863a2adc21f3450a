#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/grid/KeptColumns.h"

#include <QStringList>

#include <vector>

// The table as 書き出し writes it: a header, then every row up to the last
// one holding anything (kept cells included). A list taken in with other
// columns goes back in its own layout while rows still keep them; otherwise
// the table's five columns.
std::vector<QStringList> exportRows(const AddressTableModel::Rows &content, const KeptColumns &kept);
