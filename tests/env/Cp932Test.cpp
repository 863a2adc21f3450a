#include "core/env/Cp932.h"

#include <gtest/gtest.h>

#include <iconv.h>

namespace {

// What glibc's iconv makes of one character, after the program's own mapping
// of the JIS variants; "?" when it has no code page 932 form.
QByteArray reference(iconv_t cd, char16_t c)
{
    switch (c) {
    case u'\u301C': c = u'\uFF5E'; break;
    case u'\u2016': c = u'\u2225'; break;
    case u'\u2212': c = u'\uFF0D'; break;
    case u'\u00A2': c = u'\uFFE0'; break;
    case u'\u00A3': c = u'\uFFE1'; break;
    case u'\u00AC': c = u'\uFFE2'; break;
    case u'\u2014': c = u'\u2015'; break;
    default: break;
    }
    char *in = reinterpret_cast<char *>(&c);
    size_t inLeft = 2;
    char bytes[4];
    char *out = bytes;
    size_t outLeft = sizeof bytes;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1))
        return QByteArrayLiteral("?");
    return QByteArray(bytes, out - bytes);
}

TEST(Cp932Encode, EveryCharacterAsIconvWritesIt)
{
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    QString all;
    QByteArray expected;
    qsizetype unmappable = 0;
    qsizetype first = -1;
    for (quint32 c = 0; c < 0x10000; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QByteArray bytes = reference(cd, char16_t(c));
        if (bytes == "?" && c != u'?') {
            ++unmappable;
            if (first < 0)
                first = all.size();
        }
        all.append(QChar(char16_t(c)));
        expected.append(bytes);
    }
    iconv_close(cd);
    const Cp932::Encoded encoded = Cp932::encode(all);
    EXPECT_EQ(encoded.bytes, expected);
    EXPECT_EQ(encoded.unmappableCount, unmappable);
    EXPECT_EQ(encoded.firstUnmappable, first);
    EXPECT_GT(unmappable, 40000); // most of the BMP has no code page 932 form
}

TEST(Cp932Encode, KnownForms)
{
    EXPECT_EQ(Cp932::encode(u"～〜").bytes, QByteArray("\x81\x60\x81\x60"));
    EXPECT_EQ(Cp932::encode(u"A\\~ｱ").bytes, QByteArray("A\\~\xB1"));
    EXPECT_EQ(Cp932::encode(u"髙①").bytes, QByteArray("\xFB\xFC\x87\x40"));
}

struct UnmappableCase
{
    const char16_t *text;
    const char *bytes;
    qsizetype first;
    qsizetype count;
};

class Cp932Unmappable : public ::testing::TestWithParam<UnmappableCase>
{
};

TEST_P(Cp932Unmappable, BecomeOneQuestionMarkEach)
{
    const UnmappableCase &c = GetParam();
    const Cp932::Encoded encoded = Cp932::encode(QStringView(c.text));
    EXPECT_EQ(encoded.bytes, QByteArray(c.bytes));
    EXPECT_EQ(encoded.firstUnmappable, c.first);
    EXPECT_EQ(encoded.unmappableCount, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cp932Unmappable,
    ::testing::Values(UnmappableCase{u"ab", "ab", -1, 0},
                      UnmappableCase{u"a😀b", "a?b", 1, 1},         // a surrogate pair is one character
                      UnmappableCase{u"\xD800" "b\xDC00", "?b?", 0, 2}, // lone halves
                      UnmappableCase{u"x\xD83D", "x?", 1, 1},         // a high half at the end
                      UnmappableCase{u"é☃", "??", 0, 2}));

} // namespace
