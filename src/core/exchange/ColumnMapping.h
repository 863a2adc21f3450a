#pragma once

#include "SourceTable.h"
#include "core/grid/AddressTableModel.h"
#include "core/grid/KeptColumns.h"

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
    AddressTableModel::Rows rows; // the columns not mapped kept in each row
    KeptColumns layout;           // the list's layout, for 書き出し
    qsizetype repairedCodes = 0;  // postal codes a spreadsheet stored as numbers
    qsizetype repairedPhones = 0; // phone numbers that lost their leading 0
};

namespace ColumnJoin {
// Joined source cells are separated by a full-width space.
inline const QString Separator = QStringLiteral("\u3000");
} // namespace ColumnJoin

// Lays rows into the table's columns one at a time as they are read: source
// cells joined, codes and phones repaired, the columns not mapped kept in the
// row (`columns`: the list's width as far as known), the header and
// rows with nothing in any column left out.
class RowMapper final
{
public:
    explicit RowMapper(const ColumnMapping &mapping, qsizetype columns = 0);
    void add(const QStringList &row);
    MappedRows &result();

private:
    ColumnMapping m_mapping;
    int m_skip;
    qsizetype m_columns;
    std::vector<bool> m_mapped; // per source column
    MappedRows m_out;
};

// The rows of a whole source as they land; `limit` rows at most.
MappedRows applyMapping(const SourceTable &source, const ColumnMapping &mapping, qsizetype limit = -1);

// A postal code cell as it lands: a code a spreadsheet stored as a number
// gets its zeros back ("600042" → "060-0042"); `repaired` says so.
QString repairedCode(const QString &cell, bool &repaired);
// A phone number stored as a number gets its leading 0 back.
QString repairedPhone(const QString &cell, bool &repaired);
