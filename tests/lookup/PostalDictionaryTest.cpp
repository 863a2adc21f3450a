#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalSearch.h"
#include "support/TestData.h"

#include <QFile>
#include "core/env/Cp932.h"
#include <QTemporaryDir>

#include "harness/ParamName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iconv.h>

namespace {

QString q(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The fixture dictionary: Japan Post's format, code page 932.
const PostalDictionary &kenAll()
{
    static const PostalDictionary dict = [] {
        PostalDictionary d;
        PostalReaders::readFile(testDataPath(QStringLiteral("lookup/KEN_ALL.CSV")), PostalReaders::Format::KenAll, d);
        PostalReaders::readFile(testDataPath(QStringLiteral("lookup/JIGYOSYO.CSV")), PostalReaders::Format::Jigyosyo, d);
        d.finish();
        return d;
    }();
    return dict;
}

struct Town
{
    QString zip;
    QString address;
    QString note;
    bool operator==(const Town &) const = default;
};

void PrintTo(const Town &t, std::ostream *os)
{
    *os << '{' << t.zip.toStdString() << ' ' << t.address.toStdString() << " | " << t.note.toStdString() << '}';
}

std::vector<Town> towns(const PostalDictionary &dict, const std::vector<PostalDictionary::Hit> &hits)
{
    std::vector<Town> out;
    for (const auto &h : hits)
        out.push_back({AddressKey::formatCode(dict.code(h.entry)), dict.address(h.entry).toString(),
                       dict.note(h.entry).toString()});
    return out;
}

} // namespace

// ---- comparison forms -------------------------------------------------------

struct KeyCase
{
    const char *name;
    const char *a;
    const char *b;
};

class AddressKeyEqual : public testing::TestWithParam<KeyCase>
{
};

TEST_P(AddressKeyEqual, SameComparisonForm)
{
    EXPECT_EQ(AddressKey::address(q(GetParam().a)).toStdString(), AddressKey::address(q(GetParam().b)).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Folding, AddressKeyEqual,
    testing::Values(KeyCase{"spaces", "東京都 千代田区　丸の内", "東京都千代田区丸の内"},
                    KeyCase{"widths", "丸の内１－１ＡＢ", "丸の内1-1ab"},
                    KeyCase{"dashes", "1‐2−3―4ー5－6", "1-2-3-4-5-6"},
                    KeyCase{"ke", "旭ヶ丘", "旭が丘"}, KeyCase{"ke_katakana", "旭ケ丘", "旭ヵ丘"},
                    KeyCase{"oaza", "弘前市大字文京町", "弘前市文京町"}, KeyCase{"aza", "恩納村字恩納", "恩納村恩納"},
                    KeyCase{"kanji_chome", "大通西二十二丁目", "大通西22丁目"},
                    KeyCase{"kanji_chome_ten", "本町十丁目", "本町10丁目"},
                    KeyCase{"kyoto_ru", "河原町通御池下ル", "河原町通御池下る"},
                    KeyCase{"kyoto_iru", "御池通河原町東入ル", "御池通河原町東入"},
                    KeyCase{"variants", "髙﨑", "高崎"},
                    KeyCase{"variant_table", "瀧澤邊邉餠齋嶋藪", "滝沢辺辺餅斎島薮"},
                    KeyCase{"kanji_numbers_before_counters", "北十条西二丁目一番町東二線第三地割五号",
                            "北10条西2丁目1番町東2線第3地割5号"},
                    KeyCase{"half_width_katakana", "ﾊﾟｼﾌｨｯｸｾﾝﾁｭﾘｰﾌﾟﾚｲｽ", "パシフィックセンチュリープレイス"},
                    KeyCase{"small_tsu", "八ッ場", "八ツ場"}, KeyCase{"ru_outside_kyoto", "大野見下ﾙ川", "大野見下ル川"},
                    KeyCase{"ga_katakana_between_kanji", "自由ガ丘七里ｶﾞ浜", "自由が丘七里ヶ浜"}, KeyCase{"no_kanji", "たつ之市", "たつの市"},
                    KeyCase{"ni_katakana", "東ニ線", "東2線"},
                    KeyCase{"aza_inside_town", "安土町字下豊浦", "安土町下豊浦"},
                    KeyCase{"oaza_inside_town", "宇目大字重岡", "宇目重岡"}),
    ParamName());

TEST(AddressKey, KanjiNumeralsAwayFromCountersStayAsTheyAre)
{
    EXPECT_EQ(AddressKey::address(q("北十条西")), q("北10条西"));
    for (const char *name : {"八丁堀", "九段北", "一宮市", "千代田区", "三重県", "十日町市"})
        EXPECT_EQ(AddressKey::address(q(name)), q(name)) << name;
}

TEST(AddressKey, PostalCodeInFront)
{
    QString code;
    EXPECT_EQ(AddressKey::afterPostalCode(q("〒100-0005 東京都"), &code), 10);
    EXPECT_EQ(code, q("1000005"));
    EXPECT_EQ(AddressKey::afterPostalCode(q("１００－０００５　東京都"), &code), 9);
    EXPECT_EQ(AddressKey::afterPostalCode(q("1000005東京都")), 7);
    EXPECT_EQ(AddressKey::afterPostalCode(q("東京都千代田区")), 0);
    EXPECT_EQ(AddressKey::afterPostalCode(q("100-00051")), 0);
    EXPECT_EQ(AddressKey::afterPostalCode(q("12-3 東京都")), 0);
}

TEST(AddressKey, PostalDigits)
{
    EXPECT_EQ(AddressKey::postalDigits(q("〒100-0005")), q("1000005"));
    EXPECT_EQ(AddressKey::postalDigits(q("１００－０００５")), q("1000005"));
    EXPECT_EQ(AddressKey::postalDigits(q(" 100 ")), q("100"));
    EXPECT_EQ(AddressKey::postalDigits(q("100-00056")), QString());
    EXPECT_EQ(AddressKey::postalDigits(q("東京")), QString());
    EXPECT_EQ(AddressKey::formatCode(5220317), q("522-0317"));
    EXPECT_EQ(AddressKey::formatCode(60042), q("006-0042"));
}

TEST(AddressKey, OfficeNamesWithoutLegalForm)
{
    const QString want = AddressKey::officeName(q("日本テスト商事"));
    for (const char *spelling : {"株式会社　日本テスト商事", "（株）日本テスト商事", "(株) 日本テスト商事",
                                 "㈱日本テスト商事", "日本 テスト 商事 株式会社"})
        EXPECT_EQ(AddressKey::officeName(q(spelling)).toStdString(), want.toStdString()) << spelling;
    const QString college = AddressKey::officeName(q("テスト学院"));
    for (const char *spelling : {"学校法人　テスト学院", "（学）テスト学院", "一般財団法人テスト学院", "国立大学法人 テスト学院"})
        EXPECT_EQ(AddressKey::officeName(q(spelling)).toStdString(), college.toStdString()) << spelling;
}

// ---- the KEN_ALL reader -------------------------------------------------------

TEST(KenAll, ReadsEveryRecordOfTheFixture)
{
    PostalDictionary d;
    const auto s = PostalReaders::readFile(testDataPath(QStringLiteral("lookup/KEN_ALL.CSV")),
                                           PostalReaders::Format::KenAll, d);
    EXPECT_EQ(s.records, 23); // 24 lines, one record split over two
    EXPECT_EQ(s.skipped, 0);
    EXPECT_TRUE(s.error.isEmpty());
    EXPECT_TRUE(s.date.isValid());
}

struct CodeCase
{
    const char *name;
    const char *typed;
    std::vector<Town> want;
};

class KenAllCode : public testing::TestWithParam<CodeCase>
{
};

TEST_P(KenAllCode, ListsEveryTownOfTheCode)
{
    const QString digits = AddressKey::postalDigits(q(GetParam().typed));
    auto hits = kenAll().findCode(digits, 100);
    hits.erase(std::remove_if(hits.begin(), hits.end(),
                              [](const auto &h) { return kenAll().kind(h.entry) != PostalDictionary::Kind::Town; }),
               hits.end());
    EXPECT_EQ(towns(kenAll(), hits), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, KenAllCode,
    testing::Values(
        CodeCase{"city_level", "0600000", {{q("060-0000"), q("北海道札幌市中央区"), q("以下に掲載がない場合")}}},
        CodeCase{"with_mark_and_hyphen", "〒100-0005", {{q("100-0005"), q("東京都千代田区丸の内"), q("次のビルを除く")}}},
        CodeCase{"full_width", "１００－０００５", {{q("100-0005"), q("東京都千代田区丸の内"), q("次のビルを除く")}}},
        CodeCase{"shared_across_prefectures",
                 "4980000",
                 {{q("498-0000"), q("愛知県弥富市"), q("以下に掲載がない場合")},
                  {q("498-0000"), q("三重県桑名郡木曽岬町"), q("以下に掲載がない場合")}}},
        CodeCase{"split_record_merged",
                 "0295503",
                 {{q("029-5503"), q("岩手県和賀郡西和賀町越中畑６４地割"), q("川向、大畑、大野、上野々、下野々、和賀、沢口")}}},
        CodeCase{"whole_municipality", "1001400", {{q("100-1400"), q("東京都御蔵島村"), q("御蔵島村一円")}}},
        CodeCase{"ichien_as_a_town_name", "5220317", {{q("522-0317"), q("滋賀県犬上郡多賀町一円"), QString()}}},
        CodeCase{"next_comes_block_number",
                 "7660002",
                 {{q("766-0002"), q("香川県仲多度郡琴平町"), q("琴平町の次に１～４２６番地がくる場合")}}},
        CodeCase{"cp932_characters", "370-0099", {{q("370-0099"), q("群馬県高崎市髙﨑東町"), q("１～３番地、５－１")}}},
        CodeCase{"partial_code",
                 "100",
                 {{q("100-0000"), q("東京都千代田区"), q("以下に掲載がない場合")},
                  {q("100-0005"), q("東京都千代田区丸の内"), q("次のビルを除く")},
                  {q("100-0013"), q("東京都千代田区霞が関"), q("次のビルを除く")},
                  {q("100-1400"), q("東京都御蔵島村"), q("御蔵島村一円")},
                  {q("100-6201"), q("東京都千代田区丸の内パシフィックセンチュリープレイス丸の内"), q("１階")},
                  {q("100-6210"), q("東京都千代田区丸の内パシフィックセンチュリープレイス丸の内"), q("１０階")},
                  {q("100-6290"), q("東京都千代田区丸の内パシフィックセンチュリープレイス丸の内"), q("地階・階層不明")}}},
        CodeCase{"two_digits_are_too_few", "10", {}}, CodeCase{"unknown_code", "9999999", {}},
        CodeCase{"eight_digits", "100-00050", {}}),
    ParamName());

struct AddressCase
{
    const char *name;
    const char *typed;
    const char *zip;      // first candidate
    const char *returned; // the address it hands back
};

class KenAllAddress : public testing::TestWithParam<AddressCase>
{
};

TEST_P(KenAllAddress, FirstCandidateAndReturnedAddress)
{
    const auto result = PostalSearch::run(kenAll(), QString(), q(GetParam().typed), QString());
    ASSERT_FALSE(result.candidates.empty());
    const auto choice = PostalSearch::choose(kenAll(), result, result.candidates.front(), q("勤務先"));
    EXPECT_EQ(choice.zip.toStdString(), GetParam().zip);
    EXPECT_EQ(choice.add.toStdString(), GetParam().returned);
    EXPECT_EQ(choice.cmp, q("勤務先"));
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, KenAllAddress,
    testing::Values(
        AddressCase{"block_numbers_kept", "東京都千代田区丸の内　１－１", "100-0005", "東京都千代田区丸の内　１－１"},
        AddressCase{"no_ka_dictionary_spelling", "東京都千代田区丸ノ内1-1", "100-0005", "東京都千代田区丸の内1-1"},
        AddressCase{"no_prefecture", "千代田区丸の内１丁目", "100-0005", "東京都千代田区丸の内１丁目"},
        AddressCase{"chome_range_second", "北海道札幌市中央区大通西２２丁目", "064-0820", "北海道札幌市中央区大通西２２丁目"},
        AddressCase{"chome_range_first_kanji", "北海道札幌市中央区大通西五丁目３", "060-0042",
                    "北海道札幌市中央区大通西五丁目３"},
        AddressCase{"chome_range_spaces_dash", "北海道 札幌市 中央区 大通西 ２０－１", "064-0820",
                    "北海道札幌市中央区大通西 ２０－１"},
        AddressCase{"ke_small", "北海道札幌市中央区旭ヶ丘５丁目", "064-0941", "北海道札幌市中央区旭ケ丘５丁目"},
        AddressCase{"ke_hiragana", "北海道札幌市中央区旭が丘", "064-0941", "北海道札幌市中央区旭ケ丘"},
        AddressCase{"unknown_town_city_level", "北海道札幌市中央区南一条西１", "060-0000", "北海道札幌市中央区南一条西１"},
        AddressCase{"building_floor", "東京都千代田区丸の内パシフィックセンチュリープレイス丸の内１０階", "100-6210",
                    "東京都千代田区丸の内パシフィックセンチュリープレイス丸の内１０階"},
        AddressCase{"building_after_block_numbers",
                    "東京都千代田区丸の内１－１１－１パシフィックセンチュリープレイス丸の内１Ｆ", "100-6201",
                    "東京都千代田区丸の内１－１１－１パシフィックセンチュリープレイス丸の内１Ｆ"},
        AddressCase{"building_floor_unknown", "東京都千代田区丸の内パシフィックセンチュリープレイス丸の内", "100-6290",
                    "東京都千代田区丸の内パシフィックセンチュリープレイス丸の内"},
        AddressCase{"kyoto_street", "京都市中京区河原町通御池下る下丸屋町４０５", "604-8006",
                    "京都府京都市中京区河原町通御池下る下丸屋町４０５"},
        AddressCase{"kyoto_street_katakana_ru", "京都府京都市中京区河原町通御池下ル下丸屋町", "604-8006",
                    "京都府京都市中京区河原町通御池下る下丸屋町"},
        AddressCase{"kyoto_town_alone", "京都府京都市中京区下丸屋町４０５", "604-8006", "京都府京都市中京区下丸屋町４０５"},
        AddressCase{"block_number_range_low", "香川県仲多度郡琴平町１２", "766-0002", "香川県仲多度郡琴平町１２"},
        AddressCase{"block_number_range_high", "香川県仲多度郡琴平町５００", "766-0001", "香川県仲多度郡琴平町５００"},
        AddressCase{"variant_kanji_typed_plain", "群馬県高崎市高崎東町２番地", "370-0099", "群馬県高崎市髙﨑東町２番地"},
        AddressCase{"note_other", "群馬県高崎市髙﨑東町９番地", "370-0098", "群馬県高崎市髙﨑東町９番地"},
        AddressCase{"ichien_town", "滋賀県犬上郡多賀町一円１２３", "522-0317", "滋賀県犬上郡多賀町一円１２３"},
        AddressCase{"whole_village", "東京都御蔵島村", "100-1400", "東京都御蔵島村"},
        AddressCase{"prefix_only_completes", "東京都千代田区霞", "100-0000", "東京都千代田区霞"}),
    ParamName());

TEST(KenAllAddress, SameCityNameInTwoPrefecturesListsBoth)
{
    const auto r = kenAll().findAddress(q("府中市"));
    std::vector<QString> zips;
    for (const auto &h : r.hits)
        zips.push_back(AddressKey::formatCode(kenAll().code(h.entry)));
    EXPECT_EQ(zips, (std::vector<QString>{q("183-0000"), q("726-0000")}));
}

TEST(KenAllAddress, CompletionsFollowThePrefixMatch)
{
    const auto result = PostalSearch::run(kenAll(), QString(), q("東京都千代田区霞"), QString());
    std::vector<QString> zips;
    for (const auto &c : result.candidates)
        zips.push_back(AddressKey::formatCode(kenAll().code(c.entry)));
    EXPECT_EQ(zips, (std::vector<QString>{q("100-0000"), q("100-0013")}));
}

TEST(KenAllAddress, CodeAndAddressThatAgreeComeFirst)
{
    const auto result = PostalSearch::run(kenAll(), q("100"), q("東京都千代田区丸の内"), QString());
    ASSERT_GE(result.candidates.size(), 2u);
    EXPECT_EQ(kenAll().code(result.candidates.front().entry), 1000005u);
}

struct OfficeCase
{
    const char *name;
    const char *typed;
    const char *zip;
};

class Offices : public testing::TestWithParam<OfficeCase>
{
};

TEST_P(Offices, FoundByNameInAnySpelling)
{
    const auto result = PostalSearch::run(kenAll(), QString(), QString(), q(GetParam().typed));
    ASSERT_EQ(result.candidates.size(), 1u);
    const auto choice = PostalSearch::choose(kenAll(), result, result.candidates.front(), q(GetParam().typed));
    EXPECT_EQ(choice.zip.toStdString(), GetParam().zip);
}

INSTANTIATE_TEST_SUITE_P(Fixture, Offices,
                         testing::Values(OfficeCase{"name_part", "テスト商事", "100-8799"},
                                         OfficeCase{"kabushiki_gaisha", "株式会社日本テスト商事", "100-8799"},
                                         OfficeCase{"kabu_parenthesised", "（株）日本テスト商事", "100-8799"},
                                         OfficeCase{"kabu_one_char", "㈱日本テスト", "100-8799"},
                                         OfficeCase{"spaces", "日本　テスト　商事", "100-8799"},
                                         OfficeCase{"variant_kanji", "株式会社高崎製作所", "370-8501"},
                                         OfficeCase{"suffix_form", "北海テスト株式会社", "060-8799"}),
                         ParamName());

TEST(Offices, ChoiceGivesNameAndFullAddress)
{
    const auto result = PostalSearch::run(kenAll(), QString(), QString(), q("テスト商事"));
    ASSERT_FALSE(result.candidates.empty());
    const auto choice = PostalSearch::choose(kenAll(), result, result.candidates.front(), q("テスト商事"));
    EXPECT_EQ(choice.zip, q("100-8799"));
    EXPECT_EQ(choice.add, q("東京都千代田区丸の内１丁目１－１"));
    EXPECT_EQ(choice.cmp, q("株式会社　日本テスト商事"));
}

// ---- queries that are not addresses ------------------------------------------

struct OddQuery
{
    const char *name;
    QString zip, add, cmp;
};

class OddQueries : public testing::TestWithParam<OddQuery>
{
};

TEST_P(OddQueries, AnswerQuicklyWithoutCandidates)
{
    const auto &p = GetParam();
    const auto result = PostalSearch::run(kenAll(), p.zip, p.add, p.cmp);
    EXPECT_TRUE(result.candidates.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Bad, OddQueries,
    testing::Values(OddQuery{"ten_thousand_characters", QString(10000, QChar(u'字')), QString(10000, QChar(u'字')),
                             QString(10000, QChar(u'字'))},
                    OddQuery{"ten_thousand_digits", QString(10000, QChar(u'1')), QString(), QString()},
                    OddQuery{"only_spaces", QStringLiteral("   "), QString::fromUtf8("　　 　"), QStringLiteral("  ")},
                    OddQuery{"symbols", QStringLiteral("!?#$%"), QString::fromUtf8("！？＃＄％＆＊"),
                             QString::fromUtf8("★☆〒")},
                    OddQuery{"unpaired_surrogates", QString(QChar(0xD800)), QString(QChar(0xDC00)) + QChar(0xD800),
                             QString(QChar(0xDFFF))}),
    ParamName());

TEST(OddQueries, LongAddressAfterARealOneStillMatches)
{
    const QString typed = q("東京都千代田区丸の内") + QString(10000, QChar(u'１'));
    const auto r = kenAll().findAddress(typed);
    ASSERT_FALSE(r.hits.empty());
    EXPECT_EQ(kenAll().code(r.hits.front().entry), 1000005u);
}

// ---- bad files -----------------------------------------------------------------

struct BadFile
{
    const char *name;
    PostalReaders::Format format;
    QByteArray bytes;
    qsizetype records;
    qsizetype skipped;
};

class BadFiles : public testing::TestWithParam<BadFile>
{
};

TEST_P(BadFiles, SkipAndCountWhatCannotBeUsed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(GetParam().bytes);
    f.close();
    PostalDictionary d;
    const auto s = PostalReaders::readFile(path, GetParam().format, d);
    EXPECT_EQ(s.records, GetParam().records);
    EXPECT_EQ(s.skipped, GetParam().skipped);
    EXPECT_EQ(d.size(), GetParam().records);
    if (s.records == 0) {
        EXPECT_TRUE(s.error.contains(path)) << s.error.toStdString();
    }
    d.finish();
    (void)d.findAddress(q("東京都千代田区丸の内"));
}

namespace {

QByteArray cp932(const char *utf8)
{
    return Cp932::encode(QString::fromUtf8(utf8)).bytes;
}

QByteArray kenAllLines(int first, int count)
{
    const QList<QByteArray> lines = fileBytes(testDataPath(QStringLiteral("lookup/KEN_ALL.CSV"))).split('\n');
    QByteArray out;
    for (int i = first; i < first + count; ++i)
        out += lines.value(i) + '\n';
    return out;
}

// Text in EUC-JIS-2004, as the SKK dictionaries hold it.
QByteArray euc(const char *utf8)
{
    const iconv_t cd = iconv_open("EUC-JISX0213", "UTF-8");
    QByteArray out(int(std::strlen(utf8)) * 2 + 16, '\0');
    char *in = const_cast<char *>(utf8);
    size_t inLeft = std::strlen(utf8);
    char *o = out.data();
    size_t outLeft = size_t(out.size());
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv(cd, nullptr, nullptr, &o, &outLeft);
    iconv_close(cd);
    out.truncate(int(o - out.data()));
    return out;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Bad, BadFiles,
    testing::Values(
        BadFile{"empty_ken_all", PostalReaders::Format::KenAll, QByteArray(), 0, 0},
        BadFile{"empty_skk", PostalReaders::Format::SkkTowns, QByteArray(), 0, 0},
        BadFile{"only_blank_lines", PostalReaders::Format::KenAll, QByteArray("\r\n\r\n\n"), 0, 0},
        // Cut inside a quoted field of the third line: two records stay.
        BadFile{"truncated_ken_all", PostalReaders::Format::KenAll, kenAllLines(0, 3).left(kenAllLines(0, 2).size() + 40),
                2, 1},
        // The first half of a split record at the end keeps what it has.
        BadFile{"split_record_at_end", PostalReaders::Format::KenAll, kenAllLines(4, 1), 1, 0},
        BadFile{"ken_all_in_euc", PostalReaders::Format::KenAll,
                euc("13101,\"100  \",\"1000005\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\",\"丸の内\",0,0,0,0,0,0\r\n"), 0, 1},
        BadFile{"skk_in_utf8", PostalReaders::Format::SkkTowns,
                QByteArray(";; comment\n1000005 /東京都千代田区丸の内/\n1000013 /東京都千代田区霞が関/\n"), 0, 2},
        BadFile{"skk_in_cp932", PostalReaders::Format::SkkTowns, cp932("1000005 /東京都千代田区丸の内/\n"), 0, 1},
        BadFile{"binary", PostalReaders::Format::KenAll, QByteArray("\x00\xff\xfe\x81\x00\n\x01\x02", 8), 0, 2},
        BadFile{"malformed_ken_all_lines", PostalReaders::Format::KenAll,
                cp932("13101,\"100  \",\"1000005\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\",\"丸の内\",0,0,0,0,0,0\r\n"
                      "13101,\"100  \",\"1000005\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\",\"丸の内\",0,0,0,0,0\r\n"
                      "13101,\"100  \",\"10000x5\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\",\"丸の内\",0,0,0,0,0,0\r\n"
                      "13101,\"100  \",\"1000005\",\"x\",\"x\",\"x\",\"東京\",\"千代田区\",\"丸の内\",0,0,0,0,0,0\r\n"
                      "13101,\"100  \",\"1000005\",\"x\",\"x\",\"x,\"東京都\",\"千代田区\",\"丸の内\",0,0,0,0,0,0\r\n"
                      "13101,\"100  \",\"1000005\",\"x\",\"x\",\"x\",\"東京都\",\"\",\"丸の内\",0,0,0,0,0,0\r\n"
                      "\r\n"
                      "13101,\"100  \",\"1000013\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\",\"霞が関\",0,0,0,0,0,0\r\n"),
                2, 5},
        BadFile{"malformed_skk_lines", PostalReaders::Format::SkkTowns,
                euc(";; okuri-nasi entries.\n"
                    "1000005 /東京都千代田区丸の内/\n"
                    "abcdefg /東京都千代田区/\n"
                    "100005 /東京都千代田区/\n"
                    "1000013 東京都千代田区霞が関/\n"
                    "1000014 /\n"
                    "1000015 /千代田区永田町/東京都千代田区永田町/(concat \"x\")/\n"
                    "1000016 /東京都千代田区\n"),
                2, 7},
        BadFile{"malformed_skk_offices", PostalReaders::Format::SkkOffices,
                euc("0018501 /学校法人　創成学園 @ 北海道札幌市北区北二十九条西２丁目/\n"
                    "0018502 /名前だけ/\n"
                    "0018503 / @ 北海道札幌市/\n"
                    "0018504 /会社 @ 住所なし/\n"),
                1, 3},
        BadFile{"malformed_jigyosyo", PostalReaders::Format::Jigyosyo,
                cp932("13101,\"x\",\"株式会社　日本テスト商事\",\"東京都\",\"千代田区\",\"丸の内\",\"１－１\",\"1008799\",\"100  \",\"銀座\",0,0,0\r\n"
                      "13101,\"x\",\"\",\"東京都\",\"千代田区\",\"丸の内\",\"１－１\",\"1008798\",\"100  \",\"銀座\",0,0,0\r\n"
                      "13101,\"x\",\"名前\",\"東京都\",\"千代田区\",\"丸の内\",\"１－１\",\"100879\",\"100  \",\"銀座\",0,0,0\r\n"
                      "13101,\"x\",\"名前\",\"東京都\",\"千代田区\"\r\n"),
                1, 3},
        BadFile{"utf8_ken_all_with_bom", PostalReaders::Format::KenAll,
                QByteArray("\xEF\xBB\xBF") + QByteArray("13101,\"100  \",\"1000005\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\",\"丸の内（次のビルを除く）\",0,0,0,0,0,0\n"),
                1, 0},
        BadFile{"huge_line", PostalReaders::Format::SkkTowns,
                QByteArray("1000005 /") + euc("東京都") + QByteArray(200000, 'x') + QByteArray("/\n"), 0, 1}),
    ParamName());

TEST(BadFiles, MissingFileNamesPathAndReason)
{
    PostalDictionary d;
    const QString path = QStringLiteral("/nonexistent/KEN_ALL.CSV");
    const auto s = PostalReaders::readFile(path, PostalReaders::Format::KenAll, d);
    EXPECT_EQ(s.records, 0);
    EXPECT_TRUE(s.error.startsWith(path)) << s.error.toStdString();
    EXPECT_GT(s.error.size(), path.size() + 2);
}

// ---- choosing the data -----------------------------------------------------------

namespace {

void copyTo(const QString &from, const QString &to)
{
    QFile::remove(to);
    ASSERT_TRUE(QFile::copy(from, to));
}

} // namespace

TEST(Load, NothingReadableGivesNoDictionary)
{
    QTemporaryDir empty;
    std::vector<PostalDictionary::Source> reports;
    EXPECT_EQ(PostalReaders::load({empty.path(), empty.path()}, &reports), nullptr);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0].error.contains(QStringLiteral("SKK-JISYO.zipcode")));
}

TEST(Load, JapanPostFilesInTheUserFolderArePreferred)
{
    QTemporaryDir user;
    copyTo(testDataPath(QStringLiteral("lookup/KEN_ALL.CSV")), user.filePath(QStringLiteral("ken_all.csv")));
    copyTo(testDataPath(QStringLiteral("lookup/JIGYOSYO.CSV")), user.filePath(QStringLiteral("JIGYOSYO.CSV")));
    const auto d = PostalReaders::load({user.path(), testDataPath(QStringLiteral("lookup"))});
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->sources.size(), 2u);
    EXPECT_TRUE(d->sources[0].path.endsWith(QStringLiteral("ken_all.csv")));
    EXPECT_TRUE(d->sources[1].path.endsWith(QStringLiteral("JIGYOSYO.CSV")));
    EXPECT_EQ(d->townCount(), 23);
    EXPECT_EQ(d->officeCount(), 3);
}

TEST(Load, UnusableUserFileFallsBackToTheSkkDictionary)
{
    QTemporaryDir user;
    QFile empty(user.filePath(QStringLiteral("KEN_ALL.CSV")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    std::vector<PostalDictionary::Source> reports;
    const auto d = PostalReaders::load({user.path(), testDataPath(QStringLiteral("lookup"))}, &reports);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->sources.size(), 2u);
    EXPECT_TRUE(d->sources[0].path.endsWith(QStringLiteral("SKK-JISYO.zipcode")));
    EXPECT_EQ(d->sources[0].date, QDate(2022, 5, 4));
    EXPECT_EQ(reports.front().records, 0);
}

// ---- the SKK dictionaries ----------------------------------------------------------

class Skk : public testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        const QString folder = GetParam();
        if (!QFile::exists(folder + QStringLiteral("/SKK-JISYO.zipcode")))
            GTEST_SKIP() << "no SKK zipcode dictionary in " << folder.toStdString() << " (skkdic-extra not installed)";
        dict = PostalReaders::load({QString(), folder});
        ASSERT_NE(dict, nullptr);
    }
    std::unique_ptr<PostalDictionary> dict;

    QString firstZip(const char *typed) const
    {
        const auto r = PostalSearch::run(*dict, QString(), q(typed), QString());
        return r.candidates.empty() ? QString() : AddressKey::formatCode(dict->code(r.candidates.front().entry));
    }
};

TEST_P(Skk, CodeToTown)
{
    const auto hits = dict->findCode(QStringLiteral("1000005"), 10);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(dict->address(hits[0].entry), q("東京都千代田区丸の内"));
    EXPECT_EQ(towns(*dict, dict->findCode(QStringLiteral("4980000"), 10)).size(), 2u);
}

TEST_P(Skk, AddressToCode)
{
    EXPECT_EQ(firstZip("東京都千代田区丸の内　１－１"), q("100-0005"));
    EXPECT_EQ(firstZip("北海道札幌市中央区大通西５丁目"), q("060-0042"));
    // Two towns of the ward share the name; the street tells them apart.
    const auto alone = dict->findAddress(q("京都府京都市中京区下丸屋町"));
    std::vector<quint32> codes;
    for (const auto &h : alone.hits)
        codes.push_back(dict->code(h.entry));
    EXPECT_NE(std::find(codes.begin(), codes.end(), 6048006u), codes.end());
    EXPECT_EQ(firstZip("京都市中京区河原町通御池下る下丸屋町"), q("604-8006"));
    EXPECT_EQ(firstZip("東京都千代田区丸の内パシフィックセンチュリープレイス丸の内１０階"), q("100-6210"));
    EXPECT_EQ(firstZip("香川県仲多度郡琴平町１２"), q("766-0002"));
}

TEST_P(Skk, OfficesByName)
{
    const auto result = PostalSearch::run(*dict, QString(), QString(), q("弘前大学　人文学部"));
    ASSERT_FALSE(result.candidates.empty());
    const auto choice = PostalSearch::choose(*dict, result, result.candidates.front(), QString());
    EXPECT_EQ(choice.zip, q("036-8560"));
    EXPECT_EQ(choice.add, q("青森県弘前市大字文京町１"));
}

TEST_P(Skk, FloorsAndSpecialTownsAreNotes)
{
    const auto floor = dict->findCode(QStringLiteral("1006210"), 10);
    ASSERT_EQ(floor.size(), 1u);
    EXPECT_EQ(dict->address(floor[0].entry), q("東京都千代田区丸の内パシフィックセンチュリープレイス丸の内"));
    EXPECT_EQ(dict->note(floor[0].entry), q("１０階"));
    const auto next = dict->findCode(QStringLiteral("7660002"), 10);
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(dict->address(next[0].entry), q("香川県仲多度郡琴平町"));
    EXPECT_EQ(dict->note(next[0].entry), q("琴平町の次に１〜４２６番地がくる場合"));
}

INSTANTIATE_TEST_SUITE_P(Dictionaries, Skk,
                         testing::Values(testDataPath(QStringLiteral("lookup")), QStringLiteral("/usr/share/skk")),
                         [](const auto &info) { return info.index == 0 ? std::string("fixture") : std::string("debian"); });

TEST(SkkDebian, WholeDictionaryReadsClean)
{
    if (!QFile::exists(QStringLiteral("/usr/share/skk/SKK-JISYO.zipcode")))
        GTEST_SKIP() << "skkdic-extra not installed";
    std::vector<PostalDictionary::Source> reports;
    const auto d = PostalReaders::load({}, &reports);
    ASSERT_NE(d, nullptr);
    EXPECT_GT(d->townCount(), 120000);
    EXPECT_GT(d->officeCount(), 20000);
    for (const auto &s : reports)
        EXPECT_EQ(s.skipped, 0) << s.path.toStdString();
}
