#include "Cp932.h"

#include "core/env/Iconv.h"

#include <QtEndian>

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the UTF-16 side of iconv is little-endian here");

namespace {

class Converter
{
public:
    Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Q_DISABLE_COPY_MOVE(Converter)

    // iconv_open reports failure as (iconv_t)-1.
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); } // NOLINT(performance-no-int-to-ptr)
    iconv_t handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Characters that Japanese input methods on Linux produce from the JIS
// mapping but that code page 932 holds under its own code point.
char16_t cp932Variant(char16_t c)
{
    switch (c) {
    case u'\u301C': return u'\uFF5E'; // WAVE DASH -> FULLWIDTH TILDE
    case u'\u2016': return u'\u2225'; // DOUBLE VERTICAL LINE -> PARALLEL TO
    case u'\u2212': return u'\uFF0D'; // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    case u'\u00A2': return u'\uFFE0';
    case u'\u00A3': return u'\uFFE1';
    case u'\u00AC': return u'\uFFE2';
    case u'\u2014': return u'\u2015'; // EM DASH -> HORIZONTAL BAR
    default: return 0;
    }
}

// What iconv makes of every UTF-16 code unit, asked once per process: the
// byte (below 0x100) or the lead and trail bytes, or Unmappable. Looking the
// characters up is several times faster than converting them through iconv
// one buffer at a time, and gives the same bytes.
using EncodeTable = std::array<quint16, 0x10000>;
constexpr quint16 Unmappable = 0xFFFF; // no code page 932 lead byte is 0xFF

const EncodeTable *encodeTable()
{
    static const std::unique_ptr<EncodeTable> table = []() -> std::unique_ptr<EncodeTable> {
        Converter cv("CP932", "UTF-16LE");
        if (!cv.valid())
            return nullptr;
        auto t = std::make_unique<EncodeTable>();
        for (quint32 c = 0; c < 0x10000; ++c) {
            (*t)[c] = Unmappable;
            if (QChar::isSurrogate(c))
                continue;
            const char16_t v = cp932Variant(char16_t(c));
            char16_t unit = v ? v : char16_t(c);
            char bytes[4];
            char *in = reinterpret_cast<char *>(&unit);
            size_t inLeft = 2;
            char *out = bytes;
            size_t outLeft = sizeof bytes;
            iconv(cv.handle(), nullptr, nullptr, nullptr, nullptr);
            if (iconv(cv.handle(), &in, &inLeft, &out, &outLeft) == size_t(-1))
                continue;
            const auto b0 = quint8(bytes[0]);
            const auto b1 = quint8(bytes[1]);
            if (out - bytes == 1)
                (*t)[c] = b0;
            else if (out - bytes == 2)
                (*t)[c] = quint16((b0 << 8) | b1);
        }
        return t;
    }();
    return table.get();
}

} // namespace

namespace Cp932 {

Decoded decode(QByteArrayView bytes)
{
    Iconv::Decoded decoded = Iconv::toUtf16(bytes, "CP932");
    return {std::move(decoded.text), decoded.firstInvalidByte, decoded.invalidCount};
}

Encoded encode(QStringView text)
{
    Encoded result;
    if (text.isEmpty())
        return result;
    const EncodeTable *table = encodeTable();
    if (!table)
        return result;

    // Every UTF-16 code unit gives at most two CP932 bytes.
    result.bytes.resize(text.size() * 2);
    const char16_t *in = text.utf16();
    const char16_t *const end = in + text.size();
    char *const outStart = result.bytes.data();
    char *out = outStart;
    while (in < end) {
        const char16_t c = *in;
        if (c < 0x80) { // code page 932 keeps ASCII as it is
            *out++ = char(c);
            ++in;
            continue;
        }
        const quint16 bytes = (*table)[c];
        if (bytes == Unmappable) {
            if (result.firstUnmappable < 0)
                result.firstUnmappable = in - text.utf16();
            ++result.unmappableCount;
            *out++ = '?';
            // A valid surrogate pair is one character: skip both halves.
            in += QChar::isHighSurrogate(c) && in + 1 < end && QChar::isLowSurrogate(in[1]) ? 2 : 1;
            continue;
        }
        if (bytes > 0xFF)
            *out++ = char(bytes >> 8);
        *out++ = char(bytes & 0xFF);
        ++in;
    }
    result.bytes.truncate(out - outStart);
    return result;
}

} // namespace Cp932
