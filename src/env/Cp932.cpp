#include "Cp932.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <iconv.h>

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

} // namespace

namespace Cp932 {

Decoded decode(QByteArrayView bytes)
{
    Decoded result;
    if (bytes.isEmpty())
        return result;
    Converter cv("UTF-16LE", "CP932");
    if (!cv.valid())
        return result;

    // Every CP932 byte gives at most one UTF-16 code unit.
    result.text.resize(bytes.size());
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char *outStart = reinterpret_cast<char *>(result.text.data());
    char *out = outStart;
    size_t outLeft = size_t(bytes.size()) * 2;

    while (inLeft > 0) {
        if (iconv(cv.handle(), &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // An undecodable byte (or a lead byte cut off at the end) becomes U+FFFD.
        if (result.firstInvalidByte < 0)
            result.firstInvalidByte = in - bytes.data();
        ++result.invalidCount;
        const char16_t replacement = u'\uFFFD';
        memcpy(out, &replacement, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    result.text.truncate((out - outStart) / 2);
    return result;
}

Encoded encode(QStringView text)
{
    Encoded result;
    if (text.isEmpty())
        return result;
    Converter cv("CP932", "UTF-16LE");
    if (!cv.valid())
        return result;

    // Map the JIS-variant characters first; copy only when one occurs.
    QString mapped;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const char16_t v = cp932Variant(text[i].unicode())) {
            if (mapped.isNull())
                mapped = text.toString();
            mapped[i] = QChar(v);
        }
    }
    const QStringView source = mapped.isNull() ? text : QStringView(mapped);

    // Every UTF-16 code unit gives at most two CP932 bytes.
    result.bytes.resize(source.size() * 2);
    const char *base = reinterpret_cast<const char *>(source.utf16());
    char *in = const_cast<char *>(base);
    size_t inLeft = size_t(source.size()) * 2;
    char *outStart = result.bytes.data();
    char *out = outStart;
    size_t outLeft = size_t(result.bytes.size());

    while (inLeft > 0) {
        if (iconv(cv.handle(), &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        const qsizetype index = (in - base) / 2;
        if (result.firstUnmappable < 0)
            result.firstUnmappable = index;
        ++result.unmappableCount;
        *out++ = '?';
        --outLeft;
        // A valid surrogate pair is one character: skip both halves.
        qsizetype skip = 1;
        if (QChar::isHighSurrogate(source[index].unicode()) && index + 1 < source.size()
            && QChar::isLowSurrogate(source[index + 1].unicode()))
            skip = 2;
        in += 2 * skip;
        inLeft -= size_t(2 * skip);
    }
    result.bytes.truncate(out - outStart);
    return result;
}

} // namespace Cp932
