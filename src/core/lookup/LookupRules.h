#pragma once

#include <QString>

// The rules of the address lookup command, without the grid or the search
// window.
namespace LookupRules {

// The 住所検索 menu's items.
enum class Search { Free = 0, FromAddress = 1, FromPostalCode = 2 };

// Why a search does nothing in the grid's column `column` (from 1): the
// searches read and write 郵便番号, 住所 and 勤務先等, so the other columns get
// "郵便番号・住所・勤務先等の列で使います"; empty where a search runs.
QString columnNotice(int column);

// The active row's postal code, address and workplace as handed to the
// address component and back.
struct Fields
{
    QString zip;
    QString add;
    QString cmp;
    friend bool operator==(const Fields &, const Fields &) = default;
};

// What the component is asked: a search from the address drops the postal
// code when there is an address, a search from the postal code drops the
// address when there is a code; a free search sends the row as it is.
Fields request(Search search, Fields row);

// The address cell after a lookup and where the caret goes in it: the
// returned address and a full-width space to type the block number after
// (unless it ends in one already); the caret stands right after the address.
struct Written
{
    QString text;
    int caret = 0;
    friend bool operator==(const Written &, const Written &) = default;
};
Written writtenAddress(const QString &returned);

} // namespace LookupRules
