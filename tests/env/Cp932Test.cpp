#include "core/env/Cp932.h"
#include "core/env/Iconv.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include "harness/QtPrinters.h"

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

// ---- the decoder's table against iconv itself ------------------------------

void expectAsIconv(QByteArrayView bytes)
{
    const Iconv::Decoded expected = Iconv::toUtf16(bytes, "CP932");
    const Cp932::Decoded decoded = Cp932::decode(bytes);
    ASSERT_EQ(decoded.text, expected.text) << bytes.toByteArray().toHex().toStdString();
    ASSERT_EQ(decoded.firstInvalidByte, expected.firstInvalidByte) << bytes.toByteArray().toHex().toStdString();
    ASSERT_EQ(decoded.invalidCount, expected.invalidCount) << bytes.toByteArray().toHex().toStdString();
}

TEST(Cp932Decode, EveryOneAndTwoByteInputAsIconvReadsIt)
{
    for (int a = 0; a < 256; ++a) {
        const char one = char(a);
        expectAsIconv(QByteArrayView(&one, 1));
        for (int b = 0; b < 256; ++b) {
            const char two[2] = {char(a), char(b)};
            expectAsIconv(QByteArrayView(two, 2));
        }
    }
}

// Random bytes, random pairs after lead bytes and runs of ASCII (read
// sixteen at a time), in short strings and one long one.
TEST(Cp932Decode, RandomBytesAsIconvReadsThem)
{
    QRandomGenerator random(932);
    const auto piece = [&random](QByteArray &out) {
        switch (random.bounded(4)) {
        case 0: out += char(random.bounded(256)); break;
        case 1: out += char(0x81 + random.bounded(0x1F)), out += char(0x40 + random.bounded(0xBD)); break;
        case 2: out += char(0xE0 + random.bounded(0x1D)), out += char(random.bounded(256)); break;
        default:
            for (int n = int(random.bounded(40)); n > 0; --n)
                out += char(0x20 + random.bounded(0x5F));
        }
    };
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        for (int n = int(random.bounded(12)); n > 0; --n)
            piece(bytes);
        expectAsIconv(bytes);
    }
    QByteArray large;
    while (large.size() < (1 << 20))
        piece(large);
    expectAsIconv(large);
}

// A decode into a borrowed buffer gives the same text.
TEST(Cp932Decode, IntoABorrowedBuffer)
{
    QString buffer(5000, u'x');
    const Cp932::Decoded decoded = Cp932::decode(QByteArrayView("\x93\x8C\x8B\x9E,\x81"), std::move(buffer));
    EXPECT_EQ(decoded.text, u"東京,\uFFFD"_qs);
    EXPECT_EQ(decoded.firstInvalidByte, 5);
}

// Random strings of characters code page 932 has, has not, pairs and lone
// halves, encoded onto bytes already there: iconv's bytes for each character.
TEST(Cp932Encode, RandomStringsAsIconvWritesThem)
{
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    QRandomGenerator random(29);
    const QString kinds[] = {u"abc~\\ 09"_qs, u"ｱｶﾞﾊﾟ"_qs, u"東京都千代田区髙﨑①～〜−"_qs, u"é☃한"_qs, u"😀𠮷"_qs};
    for (int i = 0; i < 5000; ++i) {
        QString text;
        for (int n = int(random.bounded(20)); n > 0; --n) {
            if (random.bounded(20) == 0) {
                text += QChar(char16_t(0xD800 + random.bounded(0x800))); // a lone half
                continue;
            }
            const QString &kind = kinds[random.bounded(5)];
            const qsizetype at = random.bounded(int(kind.size()));
            text += kind.at(at);
            if (kind.at(at).isHighSurrogate())
                text += kind.at(at + 1);
        }
        QByteArray expected = "before";
        qsizetype first = -1;
        qsizetype count = 0;
        for (qsizetype k = 0; k < text.size(); ++k) {
            const bool pair = text[k].isHighSurrogate() && k + 1 < text.size() && text[k + 1].isLowSurrogate();
            const QByteArray bytes = pair ? QByteArrayLiteral("?") : reference(cd, text[k].unicode());
            if (bytes == "?" && text[k] != u'?') {
                first = first < 0 ? k : first;
                ++count;
            }
            expected += bytes;
            k += pair ? 1 : 0;
        }
        const Cp932::Encoded encoded = Cp932::encode(text, QByteArray("before"));
        ASSERT_EQ(encoded.bytes, expected) << text.toStdString();
        ASSERT_EQ(encoded.firstUnmappable, first) << text.toStdString();
        ASSERT_EQ(encoded.unmappableCount, count) << text.toStdString();
    }
    iconv_close(cd);
}

} // namespace
