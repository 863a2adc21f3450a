#pragma once

#include <QString>
#include <QStringView>

// Rules for the text of one cell, shared by every subsystem.
namespace CellText {

// The full-width space that separates the parts of an address.
inline constexpr char16_t FullWidthSpace = u'\u3000';

namespace Detail {
template<typename IsSpace>
QStringView trimmed(QStringView text, IsSpace isSpace)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}
} // namespace Detail

// Leading and trailing half-width spaces go; tabs, line breaks and full-width
// spaces stay. The row accessors read and write cells through it, so the
// full-width space the lookup leaves after an address stays for typing.
inline QStringView trimSpaces(QStringView text)
{
    return Detail::trimmed(text, [](QChar c) { return c == u' '; });
}

// Half-width and full-width spaces go at both ends: what the CSV file and the
// clipboard text take of a cell.
inline QStringView trimAllSpaces(QStringView text)
{
    return Detail::trimmed(text, [](QChar c) { return c == u' ' || c == FullWidthSpace; });
}

// The half-width katakana at `at` as one full-width character, a following
// voiced or semi-voiced mark joined to it when they combine (ｶﾞ as ガ, ﾊﾟ as
// パ). `used` gets how many characters it took; 0 and 0 when text[at] is no
// half-width katakana.
char16_t fullWidthKana(QStringView text, qsizetype at, qsizetype *used);

// The folded form (below) of the character at `at`; `used` gets how many
// characters it took.
char16_t foldedAt(QStringView text, qsizetype at, qsizetype *used);

// The whole character at `at` in folded form: a surrogate pair as one code
// point, letters outside the BMP (Deseret, Osage, …) in lower case too;
// `used` gets how many UTF-16 units it took.
char32_t foldedCharAt(QStringView text, qsizetype at, qsizetype *used);

// The whole character at `at`, a surrogate pair as one code point (a lone
// surrogate as itself); `used` gets 1 or 2.
inline char32_t charAt(QStringView text, qsizetype at, qsizetype *used)
{
    const QChar c = text[at];
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
        *used = 2;
        return QChar::surrogateToUcs4(c, text[at + 1]);
    }
    *used = 1;
    return c.unicode();
}

// The form in which finding compares text: full- and half-width letters,
// digits, signs and katakana alike, the ideographic space as a space, letters
// in lower case.
void appendFolded(QStringView text, QString &out);
QString folded(QStringView text);

} // namespace CellText
