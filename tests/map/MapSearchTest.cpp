#include "core/map/MapSearch.h"

#include "harness/ParamName.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

namespace {

QString u16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

// Undoes the encoder: "+" is a space, "%XX" a byte; anything else is itself.
QByteArray decode(const QString &encoded)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const QChar c = encoded[i];
        if (c == u'+') {
            bytes += ' ';
        } else if (c == u'%') {
            bytes += char(encoded.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            bytes += char(c.unicode());
        }
    }
    return bytes;
}

struct EncodeCase
{
    const char *name;
    const char16_t *keyword;
    const char *encoded;
};

class EncodeKeywordTest : public testing::TestWithParam<EncodeCase>
{
};

TEST_P(EncodeKeywordTest, EncodesExactly)
{
    const EncodeCase &c = GetParam();
    EXPECT_EQ(EncodeKeyword(u16(c.keyword)), QString::fromLatin1(c.encoded));
}

// The worked examples first, then every class of code unit.
INSTANTIATE_TEST_SUITE_P(
    Keywords, EncodeKeywordTest,
    testing::Values(EncodeCase{"letters", u"abc", "abc"}, EncodeCase{"space_as_plus", u"Ginza 4-chome", "Ginza+4-chome"},
                    EncodeCase{"kanji_and_ascii", u"東京 Tower-1", "%E6%9D%B1%E4%BA%AC+Tower-1"},
                    EncodeCase{"reserved_signs", u"a+b/c@d", "a%2Bb%2Fc@d"}, EncodeCase{"tab", u"\t", "%09"},
                    EncodeCase{"two_byte", u"\u00E9", "%C3%A9"}, EncodeCase{"half_width_katakana", u"\uFF71", "%EF%BD%B1"},
                    EncodeCase{"kept_marks", u"*-._@", "*-._@"},
                    EncodeCase{"percent_and_friends", u"%&=~", "%25%26%3D%7E"},
                    EncodeCase{"del", u"\u007F", "%7F"},
                    EncodeCase{"control_below_16", u"\u000A\u000F", "%0A%0F"},
                    EncodeCase{"all_digits_and_edges", u"09AZaz", "09AZaz"},
                    EncodeCase{"just_outside_letters", u"@[`{/:", "@%5B%60%7B%2F%3A"},
                    EncodeCase{"first_two_byte", u"\u0080", "%C2%80"}, EncodeCase{"last_two_byte", u"\u07FF", "%DF%BF"},
                    EncodeCase{"first_three_byte", u"\u0800", "%E0%A0%80"},
                    EncodeCase{"full_width_space", u"\u3000", "%E3%80%80"},
                    EncodeCase{"last_bmp", u"\uFFFF", "%EF%BF%BF"},
                    EncodeCase{"before_surrogates", u"\uD7FF", "%ED%9F%BF"},
                    EncodeCase{"after_surrogates", u"\uE000", "%EE%80%80"},
                    EncodeCase{"surrogate_pair", u"\U00020BB7", "%F0%A0%AE%B7"},
                    EncodeCase{"first_supplementary", u"\U00010000", "%F0%90%80%80"},
                    EncodeCase{"last_code_point", u"\U0010FFFF", "%F4%8F%BF%BF"},
                    EncodeCase{"emoji_between_letters", u"a\U0001F600b", "a%F0%9F%98%80b"},
                    EncodeCase{"lone_high", u"a\xD842" "b", "a%EF%BF%BDb"},
                    EncodeCase{"lone_low", u"\xDFB7", "%EF%BF%BD"},
                    EncodeCase{"high_at_end", u"x\xD842", "x%EF%BF%BD"},
                    EncodeCase{"two_highs_then_low", u"\xD842\xD842\xDFB7", "%EF%BF%BD%F0%A0%AE%B7"},
                    EncodeCase{"low_before_high", u"\xDFB7\xD842", "%EF%BF%BD%EF%BF%BD"}),
    ParamName());

TEST(EncodeKeyword, NulIsAByteLikeAnyOther)
{
    const QString keyword(QChar(u'\0'));
    EXPECT_EQ(EncodeKeyword(keyword), QStringLiteral("%00"));
}

TEST(EncodeKeyword, EmptyKeywordLeavesOutputAlone)
{
    QString encoded = QStringLiteral("before");
    EncodeKeyword(QString(), encoded);
    EXPECT_EQ(encoded, QStringLiteral("before"));
}

TEST(EncodeKeyword, OutputVariableIsReplacedNotAppended)
{
    QString encoded = QStringLiteral("before");
    EncodeKeyword(QStringLiteral("x"), encoded);
    EXPECT_EQ(encoded, QStringLiteral("x"));
}

TEST(EncodeKeyword, LongKeywordsHaveNoLimit)
{
    // Beyond the 32,766 units a 16-bit position could count.
    const QString keyword(70000, QChar(0x6771));
    const QString encoded = EncodeKeyword(keyword);
    ASSERT_EQ(encoded.size(), 9 * keyword.size());
    EXPECT_EQ(QString::fromUtf8(decode(encoded)), keyword);
}

TEST(EncodeKeyword, DecodesToTheUtf8OfEveryPlaneSample)
{
    // A walk through the whole code space: the bytes come back as Qt's own UTF-8.
    for (char32_t cp = 1; cp <= 0x10FFFF; cp += 0x1F3) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const QString keyword = QString::fromUcs4(&cp, 1);
        ASSERT_EQ(decode(EncodeKeyword(keyword)), keyword.toUtf8()) << "code point " << unsigned(cp);
    }
}

// ---- keyword assembly -----------------------------------------------------

struct KeywordCase
{
    const char *name;
    int index;
    const char16_t *address;
    const char16_t *workplace;
    const char16_t *link;
    const char16_t *keyword;
};

class KeywordTest : public testing::TestWithParam<KeywordCase>
{
};

TEST_P(KeywordTest, AssemblesFromTheRow)
{
    const KeywordCase &c = GetParam();
    EXPECT_EQ(MapSearch::keyword(c.index, u16(c.address), u16(c.workplace), u16(c.link)), u16(c.keyword));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, KeywordTest,
    testing::Values(
        KeywordCase{"address_spaces_removed", 0, u"東京都　千代田区　丸の内", u"本社", u"", u"東京都千代田区丸の内"},
        KeywordCase{"address_ascii_spaces_stay", 0, u"Ginza 4", u"", u"", u"Ginza 4"},
        KeywordCase{"address_only_full_width_spaces", 0, u"　　", u"x", u"y", u""},
        KeywordCase{"workplace_three_parts_of_five", 2, u"A　B　C　D　E", u"本社", u"", u"本社 ABC"},
        KeywordCase{"workplace_exactly_three_spaces", 2, u"A　B　C　", u"W", u"", u"W ABC"},
        KeywordCase{"workplace_two_parts", 2, u"A　B", u"本社", u"", u"本社 A"},
        KeywordCase{"workplace_no_space_in_address", 2, u"東京都千代田区", u"本社", u"", u"本社 "},
        KeywordCase{"workplace_both_empty", 2, u"", u"", u"", u""},
        KeywordCase{"workplace_empty_address_without_space", 2, u"東京都千代田区", u"", u"", u""},
        KeywordCase{"workplace_only_spaces_address_only_spaces", 2, u"　　", u"　", u"", u""},
        KeywordCase{"workplace_empty_address_parts", 2, u"A　B", u"", u"", u" A"},
        KeywordCase{"workplace_leading_space", 2, u"　A", u"W", u"", u"W "},
        KeywordCase{"workplace_spaces_inside_removed", 2, u"A　B", u"本　社", u"", u"本社 A"},
        KeywordCase{"link_spaces_removed", 3, u"", u"", u"http://map.yahoo.co.jp/　pl?a=1", u"http://map.yahoo.co.jp/pl?a=1"},
        KeywordCase{"link_empty", 3, u"A", u"B", u"", u""},
        KeywordCase{"index_one_has_no_command", 1, u"A", u"B", u"C", u""},
        KeywordCase{"unknown_index", 7, u"A", u"B", u"C", u""}),
    ParamName());

TEST(LeadingPart, StopsAfterTheThirdFullWidthSpace)
{
    EXPECT_EQ(MapSearch::leadingPart(u16(u"A　B　C　D")), u16(u"A　B　C　"));
    EXPECT_EQ(MapSearch::leadingPart(u16(u"A　B")), u16(u"A　"));
    EXPECT_EQ(MapSearch::leadingPart(u16(u"AB")), QString());
    EXPECT_EQ(MapSearch::leadingPart(u16(u"　　　　")), u16(u"　　　"));
}

// ---- addresses ------------------------------------------------------------

TEST(MapAddresses, SearchAddressJoinsThePartsAsTheyAre)
{
    const MapAddresses map;
    EXPECT_EQ(map.searchAddress(EncodeKeyword(u16(u"東京都千代田区"))),
              QStringLiteral("http://rd.yahoo.co.jp/maps/recommend/map_search/*http://map.yahoo.co.jp/"
                             "search?ei=UTF-8&p=%E6%9D%B1%E4%BA%AC%E9%83%BD%E5%8D%83%E4%BB%A3%E7%94%B0%E5%8C%BA"));
    EXPECT_EQ(map.searchAddress(EncodeKeyword(QStringLiteral(" "))),
              QStringLiteral("http://rd.yahoo.co.jp/maps/recommend/map_search/*http://map.yahoo.co.jp/search?ei=UTF-8&p=+"));
}

struct LinkCase
{
    const char *name;
    const char16_t *text;
    bool stored;
};

class MapLinkTest : public testing::TestWithParam<LinkCase>
{
};

TEST_P(MapLinkTest, ComparesWithTheBaseAddress)
{
    EXPECT_EQ(MapAddresses().isMapLink(u16(GetParam().text)), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Clipboard, MapLinkTest,
    testing::Values(LinkCase{"map_page", u"http://map.yahoo.co.jp/pl?lat=35&lon=139", true},
                    LinkCase{"base_alone", u"http://map.yahoo.co.jp/", true},
                    LinkCase{"https_form", u"https://map.yahoo.co.jp/place?lat=35", true},
                    LinkCase{"https_base_alone", u"https://map.yahoo.co.jp/", true},
                    LinkCase{"several_lines", u"http://map.yahoo.co.jp/a\r\nsecond line", true},
                    LinkCase{"other_case", u"http://MAP.yahoo.co.jp/pl", false},
                    LinkCase{"https_other_case", u"HTTPS://map.yahoo.co.jp/pl", false},
                    LinkCase{"without_closing_slash", u"http://map.yahoo.co.jp", false},
                    LinkCase{"leading_space", u" http://map.yahoo.co.jp/pl", false},
                    LinkCase{"copied_table", u"\"100-0001\"\t\"東京都\"\t\"\"\t\"\"\t\"http://map.yahoo.co.jp/\"\r\n", false},
                    LinkCase{"other_host_same_prefix", u"http://map.yahoo.co.jp.evil.example/", false},
                    LinkCase{"empty", u"", false}),
    ParamName());

TEST(MapAddresses, HttpsFormOnlyForAnHttpBase)
{
    MapAddresses map;
    map.base = QStringLiteral("ftp://maps.example/");
    EXPECT_TRUE(map.isMapLink(QStringLiteral("ftp://maps.example/x")));
    EXPECT_FALSE(map.isMapLink(QStringLiteral("https://maps.example/x")));
    map.base.clear();
    EXPECT_FALSE(map.isMapLink(QStringLiteral("anything")));
}

class WebAddressTest : public testing::TestWithParam<LinkCase>
{
};

TEST_P(WebAddressTest, OnlyHttpAndHttpsAreOpened)
{
    EXPECT_EQ(MapSearch::isWebAddress(u16(GetParam().text)), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, WebAddressTest,
    testing::Values(LinkCase{"http", u"http://map.yahoo.co.jp/pl?a=1", true},
                    LinkCase{"https", u"https://map.yahoo.co.jp/", true},
                    LinkCase{"upper_case_scheme", u"HTTP://map.yahoo.co.jp/", true},
                    LinkCase{"with_port", u"http://127.0.0.1:8080/x", true},
                    LinkCase{"javascript", u"javascript:alert(1)", false},
                    LinkCase{"javascript_disguised", u"JavaScript:alert('http://x/')", false},
                    LinkCase{"file", u"file:///etc/passwd", false},
                    LinkCase{"data", u"data:text/html,<script>alert(1)</script>", false},
                    LinkCase{"no_scheme", u"map.yahoo.co.jp/pl", false},
                    LinkCase{"http_without_host", u"http:alert(1)", false},
                    LinkCase{"ftp", u"ftp://example.com/", false},
                    LinkCase{"about_blank", u"about:blank", false},
                    LinkCase{"text", u"東京都千代田区", false}),
    ParamName());

} // namespace
