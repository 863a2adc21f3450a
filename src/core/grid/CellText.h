#pragma once

#include <QStringView>

// Rules for the text of one cell, shared by every subsystem.
namespace CellText {

// The full-width space that separates the parts of an address.
inline constexpr char16_t FullWidthSpace = u'\u3000';

// Leading and trailing half-width spaces go; tabs, line breaks and full-width
// spaces stay. The row accessors read and write cells through it.
inline QStringView trimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace CellText
