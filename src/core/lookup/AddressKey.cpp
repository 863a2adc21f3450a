#include "AddressKey.h"

#include "core/grid/CellText.h"


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
    case u'\u30CE':                                 // ノ
        return u'\u306E';                           // の
    case u'\u9AD9': // 髙
        return u'\u9AD8';
    case u'\uFA11': // 﨑
        return u'\u5D0E';
    case u'\uFA10': // 塚 (compatibility form)
        return u'\u585A';
    default:
        return c;
    }
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

bool endsMunicipality(const QString &out)
{
    if (out.isEmpty())
        return false;
    const char16_t last = out.back().unicode();
    return last == u'市' || last == u'区' || last == u'町' || last == u'村' || last == u'郡';
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
        // 大字/字 before a town name: "弘前市大字文京町" is "弘前市文京町".
        if (c == u'大' && i + 1 < n && text[i + 1] == u'字' && endsMunicipality(out)) {
            ++i;
            continue;
        }
        if (c == u'字' && endsMunicipality(out) && !(i + 1 < n && text[i + 1] == u'丁')) {
            continue;
        }
        // Kyoto's directions: 上ル/下ル as 上る/下る, 東入ル/西入る as 東入/西入.
        if ((c == u'ル' || c == u'る') && !out.isEmpty()) {
            const QChar last = out.back();
            if (last == u'入')
                continue;
            if (c == u'ル' && (last == u'上' || last == u'下')) {
                push(out, origin, u'る', i);
                continue;
            }
        }
        // Kanji numerals before 丁目 are compared as Arabic digits.
        if (isKanjiNumeral(c)) {
            qsizetype end = i;
            while (end < n && isKanjiNumeral(text[end].unicode()))
                ++end;
            if (end + 1 < n && text[end] == u'丁' && text[end + 1] == u'目') {
                const int value = kanjiNumber(text.sliced(i, end - i));
                if (value >= 0) {
                    for (const QChar d : QString::number(value))
                        push(out, origin, d.unicode(), i);
                    i = end - 1;
                    continue;
                }
            }
            for (qsizetype k = i; k < end; ++k)
                push(out, origin, text[k].unicode(), k);
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

void appendOfficeName(QStringView text, QString &out)
{
    const qsizetype start = out.size();
    for (const QChar ch : text) {
        if (const char16_t f = fold(ch.unicode()))
            out.append(QChar(f));
    }
    // Legal forms, in every spelling, say nothing about which office it is.
    static const char16_t *const forms[] = {u"株式会社", u"有限会社", u"合同会社", u"合資会社", u"合名会社",
                                            u"(株)", u"(有)", u"(同)", u"(資)", u"(名)", u"㈱", u"㈲"};
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
