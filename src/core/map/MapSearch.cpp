#include "MapSearch.h"

#include "core/grid/CellText.h"

#include <QUrl>

using namespace Qt::StringLiterals;

QString MapAddresses::searchAddress(const QString &encodedKeyword) const
{
    return redirect + u'*' + base + u"search?ei=UTF-8&p="_s + encodedKeyword;
}

QString MapAddresses::searchPage() const
{
    return base + u"search"_s;
}

bool MapAddresses::isMapLink(const QString &text) const
{
    if (base.isEmpty())
        return false;
    if (text.startsWith(base, Qt::CaseSensitive))
        return true;
    // The service now serves its pages over https; links copied today carry it.
    static const QString http = u"http://"_s;
    return base.startsWith(http, Qt::CaseSensitive)
           && text.startsWith(u"https://"_s + QStringView(base).mid(http.size()), Qt::CaseSensitive);
}

namespace MapSearch {

QString leadingPart(const QString &address)
{
    qsizetype end = 0; // code units up to and including the last space found
    for (int k = 1; k <= 3; ++k) {
        const qsizetype found = address.indexOf(CellText::FullWidthSpace, end);
        if (found < 0)
            break;
        end = found + 1;
    }
    return address.left(end);
}

QString removeFullWidthSpaces(const QString &text)
{
    QString result = text;
    result.remove(CellText::FullWidthSpace);
    return result;
}

QString keyword(int index, const QString &address, const QString &workplace, const QString &link)
{
    QString raw;
    switch (index) {
    case 0: raw = address; break;
    case 2: {
        // With neither a workplace nor the start of an address there is no
        // keyword (not a lone space, which would search for "+").
        const QString start = leadingPart(address);
        if (removeFullWidthSpaces(workplace).isEmpty() && removeFullWidthSpaces(start).isEmpty())
            return {};
        raw = workplace + u' ' + start;
        break;
    }
    case 3: raw = link; break;
    default: break;
    }
    return removeFullWidthSpaces(raw);
}

bool isWebAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme(); // QUrl keeps schemes in lower case
    return scheme == u"http" || scheme == u"https";
}

} // namespace MapSearch

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

inline void putByte(QChar *&out, unsigned byte)
{
    *out++ = u'%';
    *out++ = QLatin1Char(HexDigits[byte >> 4]);
    *out++ = QLatin1Char(HexDigits[byte & 15]);
}

inline bool keptAsIs(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'@' || c == u'*'
           || c == u'-' || c == u'.' || c == u'_';
}

} // namespace

void EncodeKeyword(const QString &keyword, QString &encoded)
{
    const qsizetype n = keyword.size();
    if (n == 0)
        return;
    // Nine characters per code unit is the most any unit can produce (a
    // surrogate pair gives twelve for its two units).
    QString buffer(9 * n, Qt::Uninitialized);
    QChar *const begin = buffer.data();
    QChar *out = begin;
    const char16_t *units = reinterpret_cast<const char16_t *>(keyword.utf16());
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = units[i];
        if (c == u' ') {
            *out++ = u'+';
        } else if (c <= 127) {
            if (keptAsIs(char16_t(c)))
                *out++ = QChar(char16_t(c));
            else
                putByte(out, c);
        } else if (c <= 2047) {
            putByte(out, (c >> 6) | 0xC0);
            putByte(out, (c & 63) | 0x80);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            c = QChar::surrogateToUcs4(char16_t(c), units[++i]);
            putByte(out, (c >> 18) | 0xF0);
            putByte(out, ((c >> 12) & 63) | 0x80);
            putByte(out, ((c >> 6) & 63) | 0x80);
            putByte(out, (c & 63) | 0x80);
        } else {
            if (QChar::isSurrogate(c)) // a lone half stands for U+FFFD
                c = 0xFFFD;
            putByte(out, (c >> 12) | 0xE0);
            putByte(out, ((c >> 6) & 63) | 0x80);
            putByte(out, (c & 63) | 0x80);
        }
    }
    buffer.truncate(out - begin);
    encoded = buffer;
}

QString EncodeKeyword(const QString &keyword)
{
    QString encoded;
    EncodeKeyword(keyword, encoded);
    return encoded;
}
