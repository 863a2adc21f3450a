#include "Utf8Check.h"

#include <QIODevice>

bool Utf8Check::feed(QByteArrayView piece)
{
    for (qsizetype i = 0; m_valid && i < piece.size(); ++i) {
        const auto b = unsigned(static_cast<unsigned char>(piece[i]));
        if (m_need > 0) {
            if (b < m_low || b > m_high)
                return m_valid = false;
            m_low = 0x80;
            m_high = 0xBF;
            --m_need;
            continue;
        }
        if (b < 0x80)
            continue;
        m_multiByte = true;
        // The first byte decides the length and the range of the next byte.
        if (b >= 0xC2 && b <= 0xDF) {
            m_need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            m_need = 2;
            if (b == 0xE0)
                m_low = 0xA0; // overlong
            else if (b == 0xED)
                m_high = 0x9F; // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            m_need = 3;
            if (b == 0xF0)
                m_low = 0x90; // overlong
            else if (b == 0xF4)
                m_high = 0x8F; // past U+10FFFF
        } else {
            return m_valid = false;
        }
    }
    return m_valid;
}

bool Utf8Check::isUtf8(QByteArrayView bytes)
{
    Utf8Check check;
    check.feed(bytes);
    return check.isUtf8();
}

bool Utf8Check::isUtf8(QIODevice &device)
{
    if (device.isSequential())
        return false;
    const qint64 start = device.pos();
    Utf8Check check;
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = device.read(piece.data(), piece.size());
        if (n <= 0 || !check.feed(QByteArrayView(piece.constData(), n)))
            break;
    }
    return device.seek(start) && check.isUtf8();
}
