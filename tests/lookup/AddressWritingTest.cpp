// Addresses as people write them, against a small dictionary written the way
// Japan Post's KEN_ALL.CSV and JIGYOSYO.CSV are.
#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalSearch.h"

#include "harness/ParamName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

QString q(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// pref, city, town (with its note in parentheses), code
constexpr const char *Towns[][4] = {
    {"北海道", "札幌市中央区", "北一条西（１～１９丁目）", "0600001"},
    {"北海道", "札幌市中央区", "北一条西（２０～２８丁目）", "0640821"},
    {"北海道", "札幌市中央区", "南二十二条西", "0640922"},
    {"北海道", "札幌市北区", "北十条西（１～４丁目）", "0010010"},
    {"北海道", "札幌市北区", "北十条西（５～１１丁目）", "0600810"},
    {"北海道", "旭川市", "四条通", "0700034"},
    {"北海道", "旭川市", "一条通", "0700031"},
    {"北海道", "上川郡東神楽町", "東二線", "0711502"},
    {"北海道", "上川郡東神楽町", "東三線", "0711503"},
    {"北海道", "上川郡当麻町", "中央（１～３条）", "0780301"},
    {"北海道", "上川郡当麻町", "中央（１～３線）", "0780302"},
    {"北海道", "虻田郡倶知安町", "以下に掲載がない場合", "0440000"},
    {"北海道", "虻田郡倶知安町", "旭", "0440011"},
    {"宮城県", "仙台市青葉区", "一番町", "9800811"},
    {"岩手県", "和賀郡西和賀町", "越中畑６４地割", "0295503"},
    {"岩手県", "岩手郡雫石町", "第一地割", "0200501"},
    {"岩手県", "岩手郡雫石町", "第二地割", "0200502"},
    {"奈良県", "大和郡山市", "北郡山町", "6391160"},
    {"東京都", "千代田区", "以下に掲載がない場合", "1000000"},
    {"東京都", "千代田区", "丸の内（次のビルを除く）", "1000005"},
    {"東京都", "千代田区", "丸の内パシフィックセンチュリープレイス丸の内（地階・階層不明）", "1006290"},
    {"東京都", "千代田区", "丸の内パシフィックセンチュリープレイス丸の内（１階）", "1006201"},
    {"東京都", "千代田区", "丸の内パシフィックセンチュリープレイス丸の内（１０階）", "1006210"},
    {"京都府", "京都市中京区", "下丸屋町（御池通河原町東入、河原町通御池下る）", "6048006"},
    {"京都府", "京都市中京区", "亀屋町（新町通三条上る）", "6048081"},
    {"京都府", "京都市中京区", "亀屋町（堀川通三条下る）", "6048082"},
    {"京都府", "京都市中京区", "上大阪町", "6048001"},
    {"岡山県", "岡山市北区", "学南町", "7000082"},
    {"熊本県", "熊本市中央区", "以下に掲載がない場合", "8600000"},
    {"熊本県", "熊本市中央区", "河原町", "8600081"},
    {"神奈川県", "横浜市中区", "本町", "2310005"},
    {"神奈川県", "横浜市鶴見区", "本町", "2300099"},
    {"大阪府", "大阪市北区", "梅田（１丁目１番、５丁目１番）", "5300001"},
    {"大阪府", "大阪市北区", "梅田（その他）", "5300002"},
    {"茨城県", "つくば市", "吾妻（１～５番地）", "3050031"},
    {"茨城県", "つくば市", "吾妻（その他）", "3050032"},
    {"千葉県", "柏市", "若柴（１～３丁目）", "2770871"},
    {"千葉県", "柏市", "若柴（その他）", "2770872"},
    {"沖縄県", "島尻郡座間味村", "以下に掲載がない場合", "9013400"},
    {"沖縄県", "島尻郡座間味村", "座間味村一円", "9013402"},
    {"岩手県", "滝沢市", "鵜飼", "0200611"},
    {"群馬県", "高崎市", "髙﨑東町", "3700099"},
    {"新潟県", "長岡市", "渡辺町", "9402001"},
    {"三重県", "多気郡明和町", "斎宮", "5150321"},
    {"富山県", "高岡市", "餅田", "9330901"},
    {"群馬県", "吾妻郡長野原町", "八ツ場", "3770001"},
    {"兵庫県", "たつの市", "龍野町", "6791100"},
    {"大分県", "佐伯市", "宇目重岡", "8793401"},
    {"滋賀県", "近江八幡市", "安土町下豊浦", "5211311"},
    {"長野県", "長野市", "以下に掲載がない場合", "3800000"},
    {"長野県", "長野市", "元善町", "3800851"},
};

// name, pref, city, town, block, code
constexpr const char *Offices[][6] = {
    {"株式会社　日本テスト商事", "東京都", "千代田区", "丸の内", "１丁目１－１", "1008799"},
    {"テスト物産　株式会社", "東京都", "千代田区", "丸の内", "２丁目７－３", "1008310"},
    {"テスト物産ビルサービス　株式会社", "東京都", "千代田区", "丸の内", "２丁目７－３", "1008335"},
    {"テスト物産　株式会社　北海道支社", "北海道", "札幌市中央区", "北一条西", "６丁目１－２", "0608621"},
    {"テスト大学　本部", "東京都", "千代田区", "丸の内", "３丁目１－１", "1008501"},
    {"テスト信販　株式会社", "東京都", "千代田区", "丸の内", "４丁目２－２テストビル８Ｆ", "1008408"},
    {"テスト信販　株式会社", "東京都", "千代田区", "丸の内", "４丁目２－２テストビル９Ｆ", "1008409"},
    {"テスト大学　附属病院", "東京都", "千代田区", "丸の内", "３丁目１－１", "1008502"},
    {"テスト工業　株式会社　研究所", "東京都", "千代田区", "丸の内", "５丁目１－１", "1008601"},
    {"テスト工業　株式会社　本社事務部門", "東京都", "千代田区", "丸の内", "５丁目１－１", "1008602"},
};

const PostalDictionary &dictionary()
{
    static const PostalDictionary dict = [] {
        PostalDictionary d;
        QString ken;
        for (const auto &t : Towns)
            ken += QStringLiteral("00000,\"000  \",\"%1\",\"ｶﾅ\",\"ｶﾅ\",\"ｶﾅ\",\"%2\",\"%3\",\"%4\",0,0,0,0,0,0\r\n")
                       .arg(q(t[3]), q(t[0]), q(t[1]), q(t[2]));
        PostalReaders::readKenAll(ken.toUtf8(), d);
        QString jig;
        for (const auto &o : Offices)
            jig += QStringLiteral("00000,\"ｶﾅ\",\"%1\",\"%2\",\"%3\",\"%4\",\"%5\",\"%6\",\"000  \",\"局\",0,0,0\r\n")
                       .arg(q(o[0]), q(o[1]), q(o[2]), q(o[3]), q(o[4]), q(o[5]));
        PostalReaders::readJigyosyo(jig.toUtf8(), d);
        d.finish();
        return d;
    }();
    return dict;
}

std::vector<QString> codes(const PostalSearch::Result &r)
{
    std::vector<QString> out;
    for (const auto &c : r.candidates)
        out.push_back(AddressKey::formatCode(dictionary().code(c.entry)));
    return out;
}

struct Written
{
    const char *name;
    const char *typed;
    const char *workplace;
    const char *zip; // the first candidate's
};

class WrittenAddress : public testing::TestWithParam<Written>
{
};

TEST_P(WrittenAddress, RightCodeFirst)
{
    const auto &p = GetParam();
    const auto result = PostalSearch::run(dictionary(), QString(), q(p.typed), q(p.workplace));
    ASSERT_FALSE(result.candidates.empty());
    EXPECT_EQ(AddressKey::formatCode(dictionary().code(result.candidates.front().entry)).toStdString(), p.zip);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, WrittenAddress,
    testing::Values(Written{"jo_digits", "札幌市中央区北1条西2丁目", "", "060-0001"},
                    Written{"jo_digits_range", "北海道札幌市中央区北１条西２５丁目３", "", "064-0821"},
                    Written{"jo_two_digits", "札幌市中央区南22条西5丁目", "", "064-0922"},
                    Written{"jo_dori", "旭川市4条通8丁目", "", "070-0034"},
                    Written{"bancho", "仙台市青葉区1番町2-3", "", "980-0811"},
                    Written{"sen", "北海道上川郡東神楽町東2線5号", "", "071-1502"},
                    Written{"sen_katakana_ni", "北海道上川郡東神楽町東ニ線", "", "071-1502"},
                    Written{"chiwari_digits", "岩手県岩手郡雫石町第2地割10", "", "020-0502"},
                    Written{"chiwari_kanji_for_digits", "岩手県和賀郡西和賀町越中畑六十四地割", "", "029-5503"}),
    ParamName());

INSTANTIATE_TEST_SUITE_P(
    LeftOut, WrittenAddress,
    testing::Values(Written{"ward", "岡山市学南町1-2", "", "700-0082"},
                    Written{"ward_with_prefecture", "熊本県熊本市河原町", "", "860-0081"},
                    Written{"ward_no_longer_there", "熊本県熊本市北区河原町", "", "860-0081"},
                    Written{"county", "北海道倶知安町旭5", "", "044-0011"},
                    Written{"county_whole_town", "北海道倶知安町", "", "044-0000"},
                    Written{"county_in_a_city_name", "奈良県大和郡山市北郡山町", "", "639-1160"},
                    Written{"postal_code_in_front", "〒100-0005 東京都千代田区丸の内1-1", "", "100-0005"},
                    Written{"postal_code_hint_picks_the_ward", "231-0005　横浜市本町1", "", "231-0005"},
                    Written{"postal_code_hint_other_ward", "〒230-0099　横浜市本町1", "", "230-0099"},
                    Written{"postal_code_that_disagrees", "〒999-9999 岡山市北区学南町", "", "700-0082"},
                    Written{"postal_code_before_an_unknown_address", "〒700-0082　どこか", "", "700-0082"},
                    Written{"postal_code_alone", "〒044-0011", "", "044-0011"}),
    ParamName());

INSTANTIATE_TEST_SUITE_P(
    Spellings, WrittenAddress,
    testing::Values(Written{"kyoto_listed_street_ru", "京都市中京区河原町通御池下ル下丸屋町405", "", "604-8006"},
                    Written{"kyoto_unlisted_street", "京都市中京区寺町通三条上る上大阪町", "", "604-8001"},
                    Written{"kyoto_street_tells_twins_apart", "京都市中京区堀川通姉小路下ル亀屋町", "", "604-8082"},
                    Written{"kyoto_nishi_iru", "京都府京都市中京区新町通六角西入ル亀屋町", "", "604-8081"},
                    Written{"kyoto_street_without_ward", "京都市河原町通御池下る下丸屋町", "", "604-8006"},
                    Written{"half_width_building", "千代田区丸の内ﾊﾟｼﾌｨｯｸｾﾝﾁｭﾘｰﾌﾟﾚｲｽ丸の内10階", "", "100-6210"},
                    Written{"old_taki_sawa", "岩手県瀧澤市鵜飼", "", "020-0611"},
                    Written{"old_taka_saki", "群馬県高崎市高崎東町", "", "370-0099"},
                    Written{"old_be", "新潟県長岡市渡邊町", "", "940-2001"},
                    Written{"old_be_other_form", "新潟県長岡市渡邉町", "", "940-2001"},
                    Written{"old_sai", "三重県多気郡明和町齋宮", "", "515-0321"},
                    Written{"old_mochi", "富山県高岡市餠田", "", "933-0901"},
                    Written{"small_tsu", "群馬県吾妻郡長野原町八ッ場", "", "377-0001"},
                    Written{"no_as_kanji", "兵庫県たつ之市龍野町", "", "679-1100"},
                    Written{"oaza_inside_town", "大分県佐伯市宇目大字重岡", "", "879-3401"},
                    Written{"aza_inside_town", "滋賀県近江八幡市安土町字下豊浦", "", "521-1311"},
                    Written{"oaza_name_left_out_by_the_dictionary", "長野県長野市大字長野元善町491", "", "380-0851"}),
    ParamName());

INSTANTIATE_TEST_SUITE_P(
    Notes, WrittenAddress,
    testing::Values(Written{"ichien_before_city_level", "沖縄県島尻郡座間味村座間味1", "", "901-3402"},
                    Written{"chome_and_ban_both_named", "大阪市北区梅田5-1-3", "", "530-0001"},
                    Written{"chome_and_ban_written_out", "大阪市北区梅田１丁目１番２号", "", "530-0001"},
                    Written{"chome_named_ban_not", "大阪市北区梅田5-2-1", "", "530-0002"},
                    Written{"banchi_range", "つくば市吾妻3番地", "", "305-0031"},
                    Written{"banchi_outside_range", "つくば市吾妻7", "", "305-0032"},
                    Written{"chome_range", "柏市若柴2丁目5", "", "277-0871"},
                    Written{"banchi_is_not_chome", "柏市若柴2番地", "", "277-0872"},
                    Written{"jo_is_not_sen", "北海道上川郡当麻町中央2線5", "", "078-0302"},
                    Written{"sen_is_not_jo", "北海道上川郡当麻町中央2条5", "", "078-0301"},
                    Written{"basement_kanji", "東京都千代田区丸の内パシフィックセンチュリープレイス丸の内地下1階", "", "100-6290"},
                    Written{"basement_b1f", "東京都千代田区丸の内1-11-1パシフィックセンチュリープレイス丸の内B1F", "", "100-6290"},
                    Written{"first_floor", "東京都千代田区丸の内1-11-1パシフィックセンチュリープレイス丸の内1F", "", "100-6201"}),
    ParamName());

INSTANTIATE_TEST_SUITE_P(
    Offices, WrittenAddress,
    testing::Values(Written{"address_alone_gives_the_town", "東京都千代田区丸の内1-1-1", "", "100-0005"},
                    Written{"named_at_its_address", "東京都千代田区丸の内1-1-1", "日本テスト商事", "100-8799"},
                    Written{"named_at_its_town", "東京都千代田区丸の内", "（株）日本テスト商事", "100-8799"},
                    Written{"named_with_longer_name", "千代田区丸の内２丁目７番３号", "テスト物産ビルサービス（株）", "100-8335"},
                    Written{"named_with_shorter_name", "千代田区丸の内2-7-3", "テスト物産株式会社", "100-8310"},
                    Written{"named_with_department", "千代田区丸の内2-7-3", "テスト物産 総務部", "100-8310"},
                    Written{"named_branch_digits_for_kanji", "札幌市中央区北1条西6-1-2", "テスト物産北海道支社", "060-8621"},
                    Written{"named_with_legal_form_and_department", "東京都千代田区丸の内3-1-1", "国立大学法人テスト大学附属病院 内科", "100-8502"},
                    Written{"named_generally_nearest_name", "東京都千代田区丸の内3-1-1", "テスト大学", "100-8501"},
                    Written{"named_twice_the_floor_decides", "東京都千代田区丸の内4-2-2 テストビル9F", "テスト信販", "100-8409"},
                    Written{"named_elsewhere_the_address_decides", "北海道札幌市中央区北一条西2", "日本テスト商事", "060-0001"},
                    Written{"named_at_another_block_the_town_decides", "東京都千代田区丸の内1-9-1", "日本テスト商事", "100-0005"},
                    Written{"named_generally_the_head_office", "東京都千代田区丸の内5-1-1", "テスト工業", "100-8602"}),
    ParamName());

TEST(WrittenAddress, OfficeAtTheTypedBlockNumberIsListedAfterTheTown)
{
    const auto zips = codes(PostalSearch::run(dictionary(), QString(), q("東京都千代田区丸の内２－７－３"), QString()));
    ASSERT_GE(zips.size(), 3u);
    EXPECT_EQ(zips[0], q("100-0005"));
    EXPECT_NE(std::find(zips.begin(), zips.end(), q("100-8310")), zips.end());
    EXPECT_NE(std::find(zips.begin(), zips.end(), q("100-8335")), zips.end());
    EXPECT_EQ(std::find(zips.begin(), zips.end(), q("100-8799")), zips.end());
}

TEST(WrittenAddress, WardLeftOutInTwoWardsListsBothAndReturnsTheFullAddress)
{
    const auto result = PostalSearch::run(dictionary(), QString(), q("横浜市本町1-2"), QString());
    const auto zips = codes(result);
    ASSERT_GE(zips.size(), 2u);
    EXPECT_EQ(std::set<QString>(zips.begin(), zips.begin() + 2), (std::set<QString>{q("231-0005"), q("230-0099")}));
    const auto choice = PostalSearch::choose(dictionary(), result, result.candidates.front(), QString());
    EXPECT_TRUE(choice.add == q("神奈川県横浜市中区本町1-2") || choice.add == q("神奈川県横浜市鶴見区本町1-2"))
        << choice.add.toStdString();
}

TEST(WrittenAddress, PostalCodeInFrontIsLeftOutOfTheReturnedAddress)
{
    const auto result = PostalSearch::run(dictionary(), QString(), q("〒700-0082　岡山市学南町１－２"), QString());
    ASSERT_FALSE(result.candidates.empty());
    const auto choice = PostalSearch::choose(dictionary(), result, result.candidates.front(), QString());
    EXPECT_EQ(choice.zip, q("700-0082"));
    EXPECT_EQ(choice.add, q("岡山県岡山市北区学南町１－２"));
}

// ---- comparison forms ----------------------------------------------------------

struct Form
{
    const char *name;
    const char *text;
    const char *form;
};

class BlockForm : public testing::TestWithParam<Form>
{
};

TEST_P(BlockForm, OneSpellingOfBlockNumbers)
{
    EXPECT_EQ(AddressKey::blockForm(AddressKey::address(q(GetParam().text))).toStdString(), GetParam().form);
}

INSTANTIATE_TEST_SUITE_P(Spellings, BlockForm,
                         testing::Values(Form{"dashes", "1-2-3", "1-2-3"}, Form{"chome_ban_go", "１丁目２番３号", "1-2-3"},
                                         Form{"chome_dash", "６丁目１－２ビル", "6-1-2ビル"},
                                         Form{"banchi", "１２番地", "12"}, Form{"no", "３の５", "3-5"},
                                         Form{"jo_stays", "北1条西2丁目", "北1条西2"}),
                         ParamName());

} // namespace
