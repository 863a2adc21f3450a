#include "AddressKey.h"

#include "core/grid/CellText.h"

#include <algorithm>
#include <array>
#include <utility>


namespace {

constexpr QStringView Prefectures[AddressKey::PrefectureCount] = {
    u"北海道", u"青森県", u"岩手県", u"宮城県", u"秋田県", u"山形県", u"福島県", u"茨城県",
    u"栃木県", u"群馬県", u"埼玉県", u"千葉県", u"東京都", u"神奈川県", u"新潟県", u"富山県",
    u"石川県", u"福井県", u"山梨県", u"長野県", u"岐阜県", u"静岡県", u"愛知県", u"三重県",
    u"滋賀県", u"京都府", u"大阪府", u"兵庫県", u"奈良県", u"和歌山県", u"鳥取県", u"島根県",
    u"岡山県", u"広島県", u"山口県", u"徳島県", u"香川県", u"愛媛県", u"高知県", u"福岡県",
    u"佐賀県", u"長崎県", u"熊本県", u"大分県", u"宮崎県", u"鹿児島県", u"沖縄県"};

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == CellText::FullWidthSpace || c == u'\u00A0';
}

// Old and variant kanji forms that place names are written with, each
// folded to the form Japan Post's data uses.
constexpr std::pair<char16_t, char16_t> Variants[] = {
    {u'亞', u'亜'}, {u'圓', u'円'}, {u'榮', u'栄'}, {u'驛', u'駅'}, {u'櫻', u'桜'}, {u'假', u'仮'},
    {u'會', u'会'}, {u'學', u'学'}, {u'嶽', u'岳'}, {u'舘', u'館'}, {u'關', u'関'}, {u'舊', u'旧'},
    {u'惠', u'恵'}, {u'鷄', u'鶏'}, {u'劍', u'剣'}, {u'縣', u'県'}, {u'廣', u'広'}, {u'鑛', u'鉱'},
    {u'國', u'国'}, {u'黑', u'黒'}, {u'齋', u'斎'}, {u'齊', u'斉'}, {u'﨑', u'崎'}, {u'嵜', u'崎'},
    {u'碕', u'崎'}, {u'澤', u'沢'}, {u'兒', u'児'}, {u'實', u'実'}, {u'壽', u'寿'}, {u'條', u'条'},
    {u'淨', u'浄'}, {u'疊', u'畳'}, {u'眞', u'真'}, {u'愼', u'慎'}, {u'盡', u'尽'}, {u'靜', u'静'},
    {u'淺', u'浅'}, {u'莊', u'荘'}, {u'藏', u'蔵'}, {u'曾', u'曽'}, {u'髙', u'高'}, {u'瀧', u'滝'},
    {u'澁', u'渋'}, {u'嶋', u'島'}, {u'嶌', u'島'}, {u'當', u'当'}, {u'德', u'徳'}, {u'冨', u'富'},
    {u'濱', u'浜'}, {u'檜', u'桧'}, {u'邊', u'辺'}, {u'邉', u'辺'}, {u'峯', u'峰'}, {u'萬', u'万'},
    {u'餠', u'餅'}, {u'彌', u'弥'}, {u'與', u'与'}, {u'龍', u'竜'}, {u'禮', u'礼'}, {u'戶', u'戸'},
    {u'靑', u'青'}, {u'淸', u'清'}, {u'鄕', u'郷'}, {u'鄉', u'郷'}, {u'槇', u'槙'}, {u'桒', u'桑'},
    {u'渕', u'淵'}, {u'穗', u'穂'}, {u'驒', u'騨'}, {u'籠', u'篭'}, {u'增', u'増'}, {u'據', u'拠'},
    {u'晉', u'晋'}, {u'鹽', u'塩'}, {u'瀨', u'瀬'}, {u'凉', u'涼'}, {u'姬', u'姫'}, {u'藪', u'薮'},
    {u'螢', u'蛍'}, {u'竈', u'竃'}, {u'鐵', u'鉄'}, {u'禰', u'祢'}, {u'鰺', u'鯵'}, {u'狹', u'狭'},
    {u'\uFA10', u'塚'}, {u'\uFA11', u'崎'}, {u'\uFA12', u'晴'}, {u'\uFA26', u'都'},
};

char16_t variant(char16_t c)
{
    if (c < 0x4E00)
        return c;
    static const auto sorted = [] {
        std::array<std::pair<char16_t, char16_t>, std::size(Variants)> v{};
        std::copy(std::begin(Variants), std::end(Variants), v.begin());
        std::sort(v.begin(), v.end());
        return v;
    }();
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), std::pair<char16_t, char16_t>(c, 0));
    return it != sorted.end() && it->first == c ? it->second : c;
}

// Half-width katakana U+FF66..U+FF9D as full-width.
constexpr char16_t HalfKana[] = u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";

// A voiced or semi-voiced mark after `base`; 0 when they do not combine.
char16_t voiced(char16_t base, bool semi)
{
    if (semi)
        return base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0 ? char16_t(base + 2) : 0;
    if (base == u'ウ')
        return u'ヴ';
    if ((base >= u'カ' && base <= u'ヂ' && (base - u'カ') % 2 == 0) || (base >= u'ツ' && base <= u'ド' && (base - u'ツ') % 2 == 0)
        || (base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0))
        return char16_t(base + 1);
    return 0;
}

// One character's comparison form; 0 drops it.
char16_t fold(char16_t c)
{
    if (c < 0x80) {
        if (c >= u'a' && c <= u'z')
            return char16_t(c - 0x20);
        return isSpace(c) ? 0 : c;
    }
    if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII
        return fold(char16_t(c - 0xFEE0));
    switch (c) {
    case CellText::FullWidthSpace:
    case u'\u00A0':
        return 0;
    case u'\u2010': case u'\u2011': case u'\u2012': case u'\u2013': case u'\u2014': case u'\u2015':
    case u'\u2212': case u'\u30FC': case u'\uFF70': case u'\u2500': case u'\uFE63':
        return u'-';
    case u'\u301C': // 〜
        return u'~';
    case u'\u30F6': case u'\u30F5': case u'\u304C': // ヶ ヵ が
        return u'\u30B1';                           // ケ
    case u'\u30CE': // ノ
    case u'\u4E4B': // 之
        return u'\u306E'; // の
    case u'\u30C3': // ッ
        return u'\u30C4'; // ツ
    case u'\u30CB': // ニ, written for 二 in place names
        return u'\u4E8C';
    default:
        return variant(c);
    }
}

bool isKanji(char16_t c)
{
    return c >= 0x4E00 && c <= 0x9FFF;
}

// Whether the ガ at `i` stands between kanji.
bool gaBetweenKanji(const QString &out, QStringView text, qsizetype i)
{
    return !out.isEmpty() && isKanji(out.back().unicode()) && i + 1 < text.size() && isKanji(text[i + 1].unicode());
}

bool isKanjiNumeral(char16_t c)
{
    switch (c) {
    case u'〇': case u'一': case u'二': case u'三': case u'四': case u'五': case u'六': case u'七':
    case u'八': case u'九': case u'十': case u'百': case u'千':
        return true;
    default:
        return false;
    }
}

// Whether `after` starts with a counter that a number stands before.
bool countsSomething(QStringView after)
{
    if (after.isEmpty())
        return false;
    switch (after.front().unicode()) {
    case u'条': case u'線': case u'番': case u'号': case u'區': case u'区': case u'條':
        return true;
    case u'丁': case u'町':
        return after.size() > 1 && after[1] == u'目';
    case u'地':
        return after.size() > 1 && after[1] == u'割';
    default:
        return false;
    }
}

void push(QString &out, std::vector<qsizetype> *origin, char16_t c, qsizetype from)
{
    out.append(QChar(c));
    if (origin)
        origin->push_back(from);
}

} // namespace

namespace AddressKey {

int kanjiNumber(QStringView run)
{
    if (run.isEmpty())
        return -1;
    int total = 0;
    int current = 0;
    for (const QChar ch : run) {
        int digit = -1;
        switch (ch.unicode()) {
        case u'〇': digit = 0; break;
        case u'一': digit = 1; break;
        case u'二': digit = 2; break;
        case u'三': digit = 3; break;
        case u'四': digit = 4; break;
        case u'五': digit = 5; break;
        case u'六': digit = 6; break;
        case u'七': digit = 7; break;
        case u'八': digit = 8; break;
        case u'九': digit = 9; break;
        case u'十': total += (current ? current : 1) * 10; current = 0; continue;
        case u'百': total += (current ? current : 1) * 100; current = 0; continue;
        case u'千': total += (current ? current : 1) * 1000; current = 0; continue;
        default: return -1;
        }
        if (current > 100000)
            return -1;
        current = current * 10 + digit;
    }
    return total + current;
}

void appendAddress(QStringView text, QString &out, std::vector<qsizetype> *origin)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        // 大字 and 字 mark a town part wherever they stand: "弘前市大字文京町" is
        // "弘前市文京町", "…町掃部字沖名" is "…町掃部沖名".
        if (c == u'大' && i + 1 < n && text[i + 1] == u'字') {
            ++i;
            continue;
        }
        if (c == u'字' && !(i + 1 < n && text[i + 1] == u'丁'))
            continue;
        // Half-width katakana, with a following voiced mark joined to it.
        if (c >= 0xFF66 && c <= 0xFF9D) {
            char16_t full = HalfKana[c - 0xFF66];
            if (i + 1 < n && (text[i + 1] == u'\uFF9E' || text[i + 1] == u'\uFF9F')) {
                if (const char16_t v = voiced(full, text[i + 1] == u'\uFF9F')) {
                    full = v;
                    ++i;
                }
            }
            if (full == u'ガ' && gaBetweenKanji(out, text, i))
                full = u'ケ';
            if (const char16_t f = fold(full))
                push(out, origin, f, i);
            continue;
        }
        if (c == u'\uFF9E' || c == u'\uFF9F') // a voiced mark left alone
            continue;
        // ガ between kanji is the particle ケ/が (自由ガ丘).
        if (c == u'ガ' && gaBetweenKanji(out, text, i)) {
            push(out, origin, u'ケ', i);
            continue;
        }
        // Kyoto's directions after a street (…通…): 上ル/下ル as 上る/下る,
        // 東入ル/西入る as 東入/西入.
        if ((c == u'ル' || c == u'る') && !out.isEmpty() && out.contains(u'通')) {
            const QChar last = out.back();
            if (last == u'入')
                continue;
            if (c != u'る' && (last == u'上' || last == u'下')) {
                push(out, origin, u'る', i);
                continue;
            }
        }
        // Kanji numbers before a counter (条, 線, 丁目, 番, 号, 地割, 町目, 区)
        // are compared as Arabic digits: 北一条西 is 北1条西, 一番町 is 1番町.
        if (isKanjiNumeral(c) || c == u'ニ') {
            qsizetype end = i;
            while (end < n && (isKanjiNumeral(text[end].unicode()) || text[end] == u'ニ'))
                ++end;
            if (countsSomething(text.sliced(end))) {
                QString run = text.sliced(i, end - i).toString();
                run.replace(u'ニ', u'二');
                const int value = kanjiNumber(run);
                if (value >= 0) {
                    for (const QChar d : QString::number(value))
                        push(out, origin, d.unicode(), i);
                    i = end - 1;
                    continue;
                }
            }
            for (qsizetype k = i; k < end; ++k)
                push(out, origin, fold(text[k].unicode()), k);
            i = end - 1;
            continue;
        }
        if (const char16_t f = fold(c))
            push(out, origin, f, i);
    }
}

QString address(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendAddress(text, out);
    return out;
}

QString blockForm(QStringView key)
{
    QString out;
    out.reserve(key.size());
    const qsizetype n = key.size();
    auto digit = [&](qsizetype i) { return i < n && key[i] >= u'0' && key[i] <= u'9'; };
    for (qsizetype i = 0; i < n;) {
        if (!digit(i)) {
            out.append(key[i++]);
            continue;
        }
        while (digit(i))
            out.append(key[i++]);
        // The unit after the number, read as a separator.
        qsizetype unit = 0;
        const QStringView after = key.sliced(i);
        if (after.startsWith(u"丁目") || after.startsWith(u"番地"))
            unit = 2;
        else if (after.startsWith(u'番') || after.startsWith(u'-') || after.startsWith(u'の') || after.startsWith(u'号'))
            unit = 1;
        if (unit == 0)
            continue;
        i += unit;
        if (digit(i))
            out.append(u'-');
    }
    return out;
}

qsizetype afterPostalCode(QStringView text, QString *code)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipSpaces = [&] {
        while (i < n && (isSpace(text[i].unicode())))
            ++i;
    };
    skipSpaces();
    if (i < n && text[i] == u'〒') {
        ++i;
        skipSpaces();
    }
    QString digits;
    const qsizetype start = i;
    while (i < n && digits.size() <= 7) {
        char16_t c = text[i].unicode();
        if (c >= 0xFF10 && c <= 0xFF19)
            c = char16_t(c - 0xFEE0);
        if (c >= u'0' && c <= u'9')
            digits.append(QChar(c));
        else if (!(fold(c) == u'-' && digits.size() == 3))
            break;
        ++i;
    }
    if (digits.size() != 7 || i == start || (i < n && fold(text[i].unicode()) >= u'0' && fold(text[i].unicode()) <= u'9'))
        return 0;
    skipSpaces();
    if (code)
        *code = digits;
    return i;
}

void appendOfficeName(QStringView text, QString &out)
{
    const qsizetype start = out.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= 0xFF66 && c <= 0xFF9D) { // half-width katakana
            c = HalfKana[c - 0xFF66];
            if (i + 1 < text.size() && (text[i + 1] == u'\uFF9E' || text[i + 1] == u'\uFF9F')) {
                if (const char16_t v = voiced(c, text[i + 1] == u'\uFF9F')) {
                    c = v;
                    ++i;
                }
            }
        }
        if (const char16_t f = fold(c))
            out.append(QChar(f));
    }
    // A university's hospital, however written: "…大学医学部附属病院",
    // "…大学付属病院" and "…大学病院" are one.
    if (QStringView(out).sliced(start).contains(QStringLiteral("属病院"))) {
        QString tail = QStringView(out).sliced(start).toString();
        for (const char16_t *form : {u"医学部附属病院", u"医学部付属病院", u"附属病院", u"付属病院"})
            tail.replace(QStringView(form).toString(), QStringLiteral("病院"));
        out.truncate(start);
        out.append(tail);
    }
    // Legal forms, in every spelling, say nothing about which office it is.
    // Longer forms first: 一般財団法人 goes before 財団法人 can take part of it.
    static const char16_t *const forms[] = {
        u"地方独立行政法人", u"国立研究開発法人", u"特定非営利活動法人", u"独立行政法人", u"国立大学法人",
        u"公立大学法人", u"一般社団法人", u"公益社団法人", u"一般財団法人", u"公益財団法人", u"社会福祉法人",
        u"社会医療法人", u"医療法人社団", u"医療法人財団", u"医療法人", u"学校法人", u"財団法人", u"社団法人",
        u"宗教法人", u"株式会社", u"有限会社", u"合同会社", u"合資会社", u"合名会社", u"(株)", u"(有)", u"(同)",
        u"(資)", u"(名)", u"(学)", u"(医)", u"(福)", u"(財)", u"(社)", u"(独)", u"(公財)", u"(一財)", u"(公社)",
        u"(一社)", u"(特非)", u"(宗)", u"㈱", u"㈲", u"㈶", u"㈳", u"㈻"};
    QStringView tail = QStringView(out).sliced(start);
    bool any = false;
    for (const char16_t *form : forms) {
        if (tail.contains(QStringView(form))) {
            any = true;
            break;
        }
    }
    if (!any)
        return;
    QString name = tail.toString();
    for (const char16_t *form : forms)
        name.remove(QStringView(form).toString());
    out.truncate(start);
    out.append(name);
}

QString officeName(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendOfficeName(text, out);
    return out;
}

QString postalDigits(QStringView text)
{
    QString digits;
    for (const QChar ch : text) {
        char16_t c = ch.unicode();
        if (c >= 0xFF10 && c <= 0xFF19)
            c = char16_t(c - 0xFEE0);
        if (c >= u'0' && c <= u'9') {
            if (digits.size() == 7)
                return {};
            digits.append(QChar(c));
            continue;
        }
        if (isSpace(c) || c == u'〒' || fold(c) == u'-')
            continue;
        return {};
    }
    return digits;
}

QString spreadsheetCode(QStringView text)
{
    QString digits;
    qsizetype group = -1; // digits since the last thousands separator; -1: none seen
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isSpace(text[i].unicode()))
        ++i;
    for (; i < n; ++i) {
        char16_t c = text[i].unicode();
        if (c >= 0xFF01 && c <= 0xFF5E)
            c = char16_t(c - 0xFEE0);
        if (c >= u'0' && c <= u'9') {
            digits.append(QChar(c));
            if (group >= 0)
                ++group;
            continue;
        }
        if (c == u',' && !digits.isEmpty() && (group < 0 ? digits.size() <= 3 : group == 3)) {
            group = 0;
            continue;
        }
        break;
    }
    if (group >= 0 && group != 3)
        return {};
    if (i < n && (text[i] == u'.' || text[i] == u'\uFF0E')) {
        for (++i; i < n && (text[i] == u'0' || text[i] == u'\uFF10'); ++i) {
        }
    }
    while (i < n && isSpace(text[i].unicode()))
        ++i;
    if (i != n || digits.size() < 5 || digits.size() > 7)
        return {};
    return QString(7 - digits.size(), u'0') + digits;
}

QString formatCode(quint32 code)
{
    const QString digits = QStringLiteral("%1").arg(code, 7, 10, QLatin1Char('0'));
    return digits.left(3) + u'-' + digits.mid(3);
}

int prefectureAt(QStringView text)
{
    if (text.size() < 3)
        return -1;
    const QChar first = text.front();
    for (int i = 0; i < PrefectureCount; ++i) {
        const QStringView name = Prefectures[i];
        if (name.front() == first && text.startsWith(name))
            return i;
    }
    return -1;
}

QStringView prefecture(int index)
{
    return Prefectures[index];
}

} // namespace AddressKey
