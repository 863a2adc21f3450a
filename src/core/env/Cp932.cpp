#include "Cp932.h"

#include "core/env/Iconv.h"

#include <QtEndian>

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// What iconv makes of every one-byte input and of every pair that starts
// with a lead byte, asked once per process. Code page 932 has no state, and
// iconv either turns a lead byte and the next into one UTF-16 unit or stops
// at the lead byte, so these give iconv's answer for any text.
struct DecodeTable
{
    static constexpr qint32 Invalid = -1; // iconv stops at the byte
    static constexpr qint32 Lead = -2;    // iconv wants a second byte
    static constexpr char16_t NoPair = 0; // iconv stops at the lead byte
    std::array<qint32, 256> single{};     // the unit, Invalid or Lead
    std::array<quint8, 256> slot{};       // a lead byte's row in `pairs`
    std::vector<char16_t> pairs;          // 256 per lead byte, by the second byte
    bool asciiAsIs = true;                // bytes below 0x80 are their own units
};

const DecodeTable *decodeTable()
{
    static const std::unique_ptr<DecodeTable> table = []() -> std::unique_ptr<DecodeTable> {
        Converter cv("UTF-16LE", "CP932");
        if (!cv.valid())
            return nullptr;
        // iconv's answer for one or two bytes: the units and how far it got.
        const auto ask = [&cv](const char *bytes, size_t n, char16_t *unit) -> size_t {
            char *in = const_cast<char *>(bytes);
            size_t inLeft = n;
            char16_t units[4];
            char *out = reinterpret_cast<char *>(units);
            size_t outLeft = sizeof units;
            iconv(cv.handle(), nullptr, nullptr, nullptr, nullptr);
            const size_t done = iconv(cv.handle(), &in, &inLeft, &out, &outLeft);
            const auto made = size_t(out - reinterpret_cast<char *>(units)) / 2;
            if (done == size_t(-1) && errno == EINVAL && inLeft == n)
                return 0; // wants more
            if (done == size_t(-1) || made != 1 || inLeft != 0)
                return size_t(-1);
            *unit = units[0];
            return n;
        };
        auto t = std::make_unique<DecodeTable>();
        int leads = 0;
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            char16_t unit = 0;
            const size_t got = ask(&byte, 1, &unit);
            t->single[b] = got == 1 ? qint32(unit) : got == 0 ? DecodeTable::Lead : DecodeTable::Invalid;
            if (b < 0x80 && t->single[b] != b)
                t->asciiAsIs = false;
            if (got == 0)
                t->slot[b] = quint8(leads++);
        }
        t->pairs.assign(size_t(leads) * 256, DecodeTable::NoPair);
        for (int b = 0; b < 256; ++b) {
            if (t->single[b] != DecodeTable::Lead)
                continue;
            for (int trail = 0; trail < 256; ++trail) {
                const char pair[2] = {char(b), char(trail)};
                char16_t unit = 0;
                if (ask(pair, 2, &unit) != 2)
                    continue;
                if (unit == DecodeTable::NoPair)
                    return nullptr; // not what the table can tell apart: iconv decodes
                t->pairs[size_t(t->slot[b]) * 256 + size_t(trail)] = unit;
            }
        }
        return t;
    }();
    return table.get();
}

} // namespace

namespace Cp932 {

Decoded decode(QByteArrayView bytes, QString &&reuse)
{
    const DecodeTable *table = decodeTable();
    if (!table) {
        Iconv::Decoded decoded = Iconv::toUtf16(bytes, "CP932");
        return {std::move(decoded.text), decoded.firstInvalidByte, decoded.invalidCount};
    }
    Decoded result;
    result.text = std::move(reuse);
    // Every byte gives at most one UTF-16 unit.
    result.text.resize(bytes.size());
    const auto *const start = reinterpret_cast<const quint8 *>(bytes.data());
    const quint8 *in = start;
    const quint8 *const end = in + bytes.size();
    char16_t *const outStart = reinterpret_cast<char16_t *>(result.text.data());
    char16_t *out = outStart;
    while (in < end) {
#if defined(__SSE2__)
        // Runs of ASCII sixteen bytes at a time.
        if (*in < 0x80 && table->asciiAsIs) {
            while (end - in >= 16) {
                const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
                if (_mm_movemask_epi8(chunk) != 0)
                    break;
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(chunk, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(chunk, zero));
                in += 16;
                out += 16;
            }
            if (in == end)
                break;
        }
#endif
        const qint32 single = table->single[*in];
        if (single >= 0) {
            *out++ = char16_t(single);
            ++in;
            continue;
        }
        if (single == DecodeTable::Lead && end - in >= 2) {
            const char16_t unit = table->pairs[size_t(table->slot[*in]) * 256 + in[1]];
            if (unit != DecodeTable::NoPair) {
                *out++ = unit;
                in += 2;
                continue;
            }
        }
        // Where iconv stops, the byte becomes U+FFFD and decoding goes on
        // with the next one.
        if (result.firstInvalidByte < 0)
            result.firstInvalidByte = in - start;
        ++result.invalidCount;
        *out++ = u'\uFFFD';
        ++in;
    }
    result.text.truncate(out - outStart);
    return result;
}

Encoded encode(QStringView text)
{
    return encode(text, QByteArray());
}

Encoded encode(QStringView text, QByteArray &&into)
{
    Encoded result;
    result.bytes = std::move(into);
    if (text.isEmpty())
        return result;
    const EncodeTable *table = encodeTable();
    if (!table)
        return result;

    // Every UTF-16 code unit gives at most two CP932 bytes.
    const qsizetype had = result.bytes.size();
    result.bytes.resize(had + text.size() * 2);
    const char16_t *in = text.utf16();
    const char16_t *const end = in + text.size();
    char *const outStart = result.bytes.data() + had;
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
    result.bytes.truncate(had + (out - outStart));
    return result;
}

} // namespace Cp932
