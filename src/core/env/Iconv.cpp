#include "Iconv.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <iconv.h>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the UTF-16 side of iconv is little-endian here");

namespace Iconv {

Decoded toUtf16(QByteArrayView bytes, const char *charset)
{
    Decoded result;
    if (bytes.isEmpty())
        return result;
    const iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr): iconv's failure value
        return result;

    // Each byte gives at most one UTF-16 code unit (a three-byte sequence at
    // most a surrogate pair, a two-byte one at most a base and a combining
    // mark), so one buffer of the input's size, and a little, holds it all.
    result.text.resize(bytes.size() + 8);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char *outStart = reinterpret_cast<char *>(result.text.data());
    char *out = outStart;
    size_t outLeft = size_t(result.text.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if ((errno != EILSEQ && errno != EINVAL) || outLeft < 2)
            break;
        // An undecodable byte (or a lead byte cut off at the end) becomes U+FFFD.
        if (result.firstInvalidByte < 0)
            result.firstInvalidByte = in - bytes.data();
        ++result.invalidCount;
        const char16_t replacement = u'\uFFFD';
        std::memcpy(out, &replacement, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    // A converter that holds back a character for a possible combining mark
    // gives it up here.
    iconv(cd, nullptr, nullptr, &out, &outLeft);
    iconv_close(cd);
    result.text.truncate((out - outStart) / 2);
    return result;
}

} // namespace Iconv
