#pragma once

#include <QByteArrayView>

class QIODevice;

// Whether bytes without a byte-order mark are UTF-8 text: strict UTF-8 (no
// overlong forms, no surrogates, nothing past U+10FFFF, no sequence cut off at
// the end) holding at least one multi-byte sequence. Code page 932 text fails
// at its first kanji, so only real UTF-8 is scanned to its end; pure ASCII is
// not UTF-8 here, as it reads the same either way.
class Utf8Check final
{
public:
    // Takes the next piece; false once the bytes cannot be UTF-8.
    bool feed(QByteArrayView piece);
    // After the last piece: UTF-8 with a multi-byte sequence.
    bool isUtf8() const { return m_valid && m_need == 0 && m_multiByte; }

    static bool isUtf8(QByteArrayView bytes);
    // Reads `device` from where it stands until the answer is known, and goes
    // back there; false for a device that cannot go back.
    static bool isUtf8(QIODevice &device);

private:
    bool m_valid = true;
    bool m_multiByte = false;
    int m_need = 0;       // continuation bytes still expected
    unsigned m_low = 0x80; // bounds of the next continuation byte
    unsigned m_high = 0xBF;
};
