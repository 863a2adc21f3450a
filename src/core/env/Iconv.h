#pragma once

#include <QByteArrayView>
#include <QString>

// Bytes in a legacy Japanese charset to text with glibc iconv, in one pass
// over the whole buffer. Each byte iconv cannot decode becomes U+FFFD.
namespace Iconv {

struct Decoded
{
    QString text;
    qsizetype firstInvalidByte = -1; // offset of the first undecodable byte, -1 if none
    qsizetype invalidCount = 0;
};

// charset is an iconv name such as "CP932" or "EUC-JISX0213".
Decoded toUtf16(QByteArrayView bytes, const char *charset);

} // namespace Iconv
