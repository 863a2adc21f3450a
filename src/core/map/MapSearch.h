#pragma once

#include <QString>

// The map service's two fixed addresses. Their host names are settings; the
// defaults are the service's own.
struct MapAddresses
{
    static constexpr char16_t DefaultRedirect[] = u"http://rd.yahoo.co.jp/maps/recommend/map_search/";
    static constexpr char16_t DefaultBase[] = u"http://map.yahoo.co.jp/";

    QString redirect = QString::fromUtf16(DefaultRedirect); // MapRedirectAddress
    QString base = QString::fromUtf16(DefaultBase);         // MapBaseAddress

    // MapRedirectAddress + "*" + MapBaseAddress + "search?ei=UTF-8&p=" + the
    // already encoded keyword, joined as they are.
    QString searchAddress(const QString &encodedKeyword) const;
    // The service's search page, the browser pane's "search" button.
    QString searchPage() const;
    // True when text starts with MapBaseAddress, or with its https form,
    // letter case counting and no leading spaces allowed.
    bool isMapLink(const QString &text) const;
};

namespace MapSearch {

// The address up to and including its third full-width space (or its last,
// when it has fewer); empty when it has none.
QString leadingPart(const QString &address);

// Every full-width space removed; other spaces stay.
QString removeFullWidthSpaces(const QString &text);

// The keyword of map command `index` (0 address, 2 workplace and the leading
// part of the address, 3 stored link) from the active row's trimmed cells,
// full-width spaces already removed. Other indexes give an empty keyword, and
// so does 2 when neither the workplace nor the start of the address holds
// anything.
QString keyword(int index, const QString &address, const QString &workplace, const QString &link);

// True for an absolute http or https address with a host: the only addresses
// that the program opens on its own from a table cell.
bool isWebAddress(const QString &address);

} // namespace MapSearch

// Percent-encodes a keyword as UTF-8 for the query of the search address:
// space as "+", the letters, digits and "@*-._" as they are, every other byte
// as "%XX" with upper-case digits. A surrogate pair gives the four bytes of
// its character, a lone surrogate those of U+FFFD. An empty keyword leaves
// `encoded` as it was.
void EncodeKeyword(const QString &keyword, QString &encoded);
QString EncodeKeyword(const QString &keyword);
