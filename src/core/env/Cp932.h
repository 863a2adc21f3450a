#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows code page 932 through glibc iconv ("CP932", not "SHIFT_JIS": the
// two map e.g. 0x81 0x60 differently). Whole buffers in one pass.
namespace Cp932 {

struct Decoded
{
    QString text;
    qsizetype firstInvalidByte = -1; // offset of the first undecodable byte, -1 if none
    qsizetype invalidCount = 0;      // each undecodable byte became U+FFFD
};

struct Encoded
{
    QByteArray bytes;
    qsizetype firstUnmappable = -1; // UTF-16 index of the first character CP932 cannot hold
    qsizetype unmappableCount = 0;  // each such character was written as '?'
};

Decoded decode(QByteArrayView bytes);
Encoded encode(QStringView text);

} // namespace Cp932
