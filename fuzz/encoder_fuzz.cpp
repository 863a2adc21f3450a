// Feeds arbitrary UTF-16 (pairs of input bytes, lone surrogates included) to
// the keyword encoder and checks what it writes: only the allowed characters,
// at most nine per code unit, and bytes that decode back to the UTF-8 of the
// keyword, with U+FFFD for each lone surrogate.
#include "core/map/MapSearch.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

bool allowed(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'@' || c == u'*'
           || c == u'-' || c == u'.' || c == u'_' || c == u'+' || c == u'%';
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1; // lower-case digits are a fault too
}

// UTF-8 of the keyword, each lone surrogate taken as U+FFFD.
QByteArray expectedBytes(const QString &keyword)
{
    QString mended;
    mended.reserve(keyword.size());
    for (qsizetype i = 0; i < keyword.size(); ++i) {
        const QChar c = keyword[i];
        if (c.isHighSurrogate() && i + 1 < keyword.size() && keyword[i + 1].isLowSurrogate()) {
            mended += c;
            mended += keyword[++i];
        } else if (c.isSurrogate()) {
            mended += QChar(0xFFFD);
        } else {
            mended += c;
        }
    }
    return mended.toUtf8();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString keyword;
    keyword.reserve(qsizetype(size / 2));
    for (size_t i = 0; i + 1 < size; i += 2)
        keyword += QChar(char16_t(data[i] | (data[i + 1] << 8)));

    QString encoded = QStringLiteral("untouched");
    EncodeKeyword(keyword, encoded);
    if (keyword.isEmpty()) {
        if (encoded != QStringLiteral("untouched"))
            abort();
        return 0;
    }
    if (encoded.size() > 9 * keyword.size())
        abort();

    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char16_t c = encoded[i].unicode();
        if (!allowed(c))
            abort();
        if (c == u'+') {
            bytes += ' ';
        } else if (c == u'%') {
            if (i + 2 >= encoded.size())
                abort();
            const int high = hexValue(encoded[i + 1].unicode());
            const int low = hexValue(encoded[i + 2].unicode());
            if (high < 0 || low < 0)
                abort();
            const int byte = high * 16 + low;
            // A byte that could have been written as itself must not be escaped.
            if (byte < 128 && (byte == ' ' || allowed(char16_t(byte))) && byte != '+' && byte != '%')
                abort();
            bytes += char(byte);
            i += 2;
        } else {
            bytes += char(c);
        }
    }
    if (bytes != expectedBytes(keyword))
        abort();
    return 0;
}
