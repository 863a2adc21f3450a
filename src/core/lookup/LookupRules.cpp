#include "LookupRules.h"

#include "core/grid/AddressTableModel.h"
#include "core/grid/CellText.h"

namespace LookupRules {

Fields request(Search search, Fields row)
{
    if (search == Search::FromAddress && !row.add.isEmpty())
        row.zip.clear();
    if (search == Search::FromPostalCode && !row.zip.isEmpty())
        row.add.clear();
    return row;
}

Written writtenAddress(const QString &returned)
{
    // The cell is written through the row accessors, which drop leading
    // half-width spaces: the caret moves left by as many. An address that
    // ends in a full-width space already gets no second one.
    const QString spaced = returned.endsWith(CellText::FullWidthSpace) ? returned : returned + CellText::FullWidthSpace;
    const QString text = CellText::trimSpaces(spaced).toString();
    qsizetype lead = 0;
    while (lead < returned.size() && returned[lead] == u' ')
        ++lead;
    return {text, int(returned.size() - lead)};
}

QString columnNotice(int column)
{
    // 郵便番号, 住所 and 勤務先等, from 1.
    if (column >= 1 && column <= AddressTableModel::Cmp + 1)
        return {};
    return QStringLiteral("郵便番号・住所・勤務先等の列で使います");
}

} // namespace LookupRules
