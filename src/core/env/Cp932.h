#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows code page 932 as glibc iconv has it ("CP932", not "SHIFT_JIS": the
// two map e.g. 0x81 0x60 differently). Whole buffers in one pass, through
// tables that iconv itself fills once per process (iconv does the work
// itself where they cannot be made).
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

// `reuse` lends its memory to the text, so a caller decoding piece after
// piece keeps one buffer instead of a fresh one each time.
Decoded decode(QByteArrayView bytes, QString &&reuse = QString());
Encoded encode(QStringView text);
// The bytes go to the end of `into`; firstUnmappable counts from the text's start.
Encoded encode(QStringView text, QByteArray &&into);

} // namespace Cp932
