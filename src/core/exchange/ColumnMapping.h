#pragma once

#include "SourceTable.h"
#include "core/grid/AddressTableModel.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// Which columns of a list from elsewhere fill the table's five columns.
struct ColumnMapping
{
    bool header = false; // the first row names the columns and is not taken in
    // Per table column (郵便番号, 住所, 勤務先等, 電話番号, Map URL): the source
    // columns joined into it, in this order; empty: left blank.
    std::array<std::vector<int>, AddressTableModel::ColumnCount> sources;

    bool operator==(const ColumnMapping &) const = default;

    // The guess from the header's names and the first rows' content.
    static ColumnMapping guess(const SourceTable &source);
    // The table column a header name stands for; -1 none.
    static int columnOfName(QStringView name);

    // "h;0+1;2;;3;" and back; an invalid text gives nothing.
    QString toText() const;
    static std::optional<ColumnMapping> fromText(const QString &text, qsizetype sourceColumns);
    // The settings key remembering the mapping of a list with this header.
    static QString rememberKey(const QStringList &headerRow);
};

// A list from elsewhere laid into the table's columns.
struct MappedRows
{
    AddressTableModel::Rows rows;
    qsizetype repairedCodes = 0;  // postal codes a spreadsheet stored as numbers
    qsizetype repairedPhones = 0; // phone numbers that lost their leading 0
};

namespace ColumnJoin {
// Joined source cells are separated by a full-width space.
inline const QString Separator = QStringLiteral("\u3000");
} // namespace ColumnJoin

// The rows as they land: source cells joined, codes and phones repaired;
// rows with nothing in any mapped column left out. `limit` rows at most.
MappedRows applyMapping(const SourceTable &source, const ColumnMapping &mapping, qsizetype limit = -1);

// A postal code cell as it lands: a code a spreadsheet stored as a number
// gets its zeros back ("600042" → "060-0042"); `repaired` says so.
QString repairedCode(const QString &cell, bool &repaired);
// A phone number stored as a number gets its leading 0 back.
QString repairedPhone(const QString &cell, bool &repaired);
