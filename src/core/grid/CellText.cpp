#include "CellText.h"

#include <iterator>

namespace CellText {

namespace {

// Half-width katakana U+FF61..U+FF9F in full width.
constexpr char16_t HalfWidth[] = u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘ"
                                 u"ホマミムメモヤユヨラリルレロワン゛゜";
static_assert(std::size(HalfWidth) - 1 == 0xFF9F - 0xFF61 + 1);

// `base` with a voiced (or semi-voiced) mark; 0 when they do not combine.
char16_t voiced(char16_t base, bool semi)
{
    const bool haRow = base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0;
    if (semi)
        return haRow ? char16_t(base + 2) : 0;
    if (base == u'ウ')
        return u'ヴ';
    if ((base >= u'カ' && base <= u'チ' && (base - u'カ') % 2 == 0) || (base >= u'ツ' && base <= u'ト' && (base - u'ツ') % 2 == 0)
        || haRow)
        return char16_t(base + 1);
    return 0;
}

} // namespace

char16_t fullWidthKana(QStringView text, qsizetype at, qsizetype *used)
{
    const char16_t c = text[at].unicode();
    if (c < 0xFF61 || c > 0xFF9F) {
        *used = 0;
        return 0;
    }
    const char16_t full = HalfWidth[c - 0xFF61];
    *used = 1;
    if (at + 1 < text.size() && (text[at + 1] == u'\uFF9E' || text[at + 1] == u'\uFF9F')) {
        if (const char16_t joined = voiced(full, text[at + 1] == u'\uFF9F')) {
            *used = 2;
            return joined;
        }
    }
    return full;
}

char16_t foldedAt(QStringView text, qsizetype at, qsizetype *used)
{
    char16_t c = text[at].unicode();
    *used = 1;
    if (c >= 0xFF01 && c <= 0xFF5E)
        c = char16_t(c - 0xFEE0);
    else if (c == FullWidthSpace)
        c = u' ';
    else if (c >= 0xFF61 && c <= 0xFF9F)
        c = fullWidthKana(text, at, used);
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 0x20);
    if (c >= 0x80 && c < 0x3000)
        return QChar(c).toCaseFolded().unicode(); // Latin and Greek letters with accents
    return c;
}

char32_t foldedCharAt(QStringView text, qsizetype at, qsizetype *used)
{
    const char32_t c = charAt(text, at, used);
    if (*used == 2)
        return QChar::toCaseFolded(c);
    return foldedAt(text, at, used);
}

void appendFolded(QStringView text, QString &out)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0, used = 0; i < n; i += used) {
        const char32_t c = foldedCharAt(text, i, &used);
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    }
}

QString folded(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendFolded(text, out);
    return out;
}

} // namespace CellText
