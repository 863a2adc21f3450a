// How often the right postal code comes first for addresses written the ways
// people write them. The cases are rebuilt from Japan Post's own files: every
// town of KEN_ALL.CSV that its address and block number single out, written
// plainly and with the usual liberties (digits for kanji numbers, ward or
// county left out, old kanji forms, half-width katakana, 大字, a postal code in
// front, Kyoto's street forms, floors and basements of buildings), and every
// office of JIGYOSYO.CSV by its address with and without its name as the
// workplace. Prints the share of right first candidates per kind and overall,
// and the p99 time of the window's whole search per kind (each case timed
// three times, the median taken).
//
//   lookup_accuracy KEN_ALL.CSV JIGYOSYO.CSV [cases per kind]
//   lookup_accuracy KEN_ALL.CSV JIGYOSYO.CSV --query < lines of "address<TAB>workplace"
// The second form prints the first three candidates of each line instead.
#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalSearch.h"
#include "core/lookup/PostalZip.h"
#include "support/TestData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

// The fields of one line of Japan Post's CSV (quoted fields without commas).
QStringList fields(QStringView line)
{
    QStringList out;
    for (QStringView f : line.split(u',')) {
        if (f.size() >= 2 && f.front() == u'"' && f.back() == u'"')
            f = f.sliced(1, f.size() - 2);
        out.append(f.toString());
    }
    return out;
}

QString fullWidthDigits(const QString &s)
{
    QString out;
    for (const QChar c : s)
        out.append(c >= u'0' && c <= u'9' ? QChar(char16_t(c.unicode() + 0xFEE0)) : c);
    return out;
}

int kanjiDigit(QChar c)
{
    static const QString digits = QStringLiteral("〇一二三四五六七八九");
    return int(digits.indexOf(c));
}

bool isKanjiNumeral(QChar c)
{
    return kanjiDigit(c) >= 0 || c == u'十' || c == u'百';
}

// Kanji numbers before a counter (条, 線, 丁目, 番, 号, 地割) written in digits.
QString withDigits(const QString &s, bool fullWidth, bool *changed)
{
    static const QStringList counters = {QStringLiteral("条"), QStringLiteral("線"), QStringLiteral("丁目"),
                                         QStringLiteral("番"), QStringLiteral("号"), QStringLiteral("地割")};
    QString out;
    for (qsizetype i = 0; i < s.size();) {
        if (!isKanjiNumeral(s[i])) {
            out.append(s[i++]);
            continue;
        }
        qsizetype end = i;
        while (end < s.size() && isKanjiNumeral(s[end]))
            ++end;
        const QStringView after = QStringView(s).sliced(end);
        const bool counted = std::any_of(counters.begin(), counters.end(), [&](const QString &c) { return after.startsWith(c); });
        const int value = AddressKey::kanjiNumber(QStringView(s).sliced(i, end - i));
        if (counted && value >= 0) {
            const QString n = QString::number(value);
            out.append(fullWidth ? fullWidthDigits(n) : n);
            *changed = true;
        } else {
            out.append(QStringView(s).sliced(i, end - i));
        }
        i = end;
    }
    return out;
}

// Old and variant forms people (and old letterheads) still write.
QString withVariants(const QString &s, bool *changed)
{
    static const std::map<QChar, QChar> forms = {
        {u'滝', u'瀧'}, {u'崎', u'﨑'}, {u'高', u'髙'}, {u'辺', u'邊'}, {u'沢', u'澤'}, {u'斎', u'齋'},
        {u'桜', u'櫻'}, {u'広', u'廣'}, {u'竜', u'龍'}, {u'島', u'嶋'}, {u'浜', u'濱'}, {u'国', u'國'},
        {u'関', u'關'}, {u'徳', u'德'}, {u'恵', u'惠'}, {u'栄', u'榮'}, {u'条', u'條'},
        {u'ケ', u'ヶ'}, {u'ツ', u'ッ'}, {u'の', u'之'}};
    QString out = s;
    // Not in the prefecture name, which nobody writes in old forms.
    const int pref = AddressKey::prefectureAt(s);
    const qsizetype from = pref >= 0 ? AddressKey::prefecture(pref).size() : 0;
    for (qsizetype i = from; i < out.size(); ++i) {
        const auto it = forms.find(out[i]);
        if (it != forms.end()) {
            out[i] = it->second;
            *changed = true;
        }
    }
    return out;
}

QString halfWidthKatakana(const QString &s, bool *changed)
{
    static const QString full = QStringLiteral(
        "ァアィイゥウェエォオカガキギクグケゲコゴサザシジスズセゼソゾタダチヂッツヅテデトドナニヌネノハバパヒビピフブプヘベペホボポマミムメモャヤュユョヨラリルレロワヲンー");
    static const QStringList half = QStringLiteral(
        "ｧ ｱ ｨ ｲ ｩ ｳ ｪ ｴ ｫ ｵ ｶ ｶﾞ ｷ ｷﾞ ｸ ｸﾞ ｹ ｹﾞ ｺ ｺﾞ ｻ ｻﾞ ｼ ｼﾞ ｽ ｽﾞ ｾ ｾﾞ ｿ ｿﾞ ﾀ ﾀﾞ ﾁ ﾁﾞ ｯ ﾂ ﾂﾞ ﾃ ﾃﾞ ﾄ ﾄﾞ ﾅ ﾆ ﾇ ﾈ ﾉ ﾊ ﾊﾞ ﾊﾟ ﾋ ﾋﾞ ﾋﾟ ﾌ ﾌﾞ ﾌﾟ ﾍ ﾍﾞ ﾍﾟ ﾎ ﾎﾞ ﾎﾟ ﾏ ﾐ ﾑ ﾒ ﾓ ｬ ﾔ ｭ ﾕ ｮ ﾖ ﾗ ﾘ ﾙ ﾚ ﾛ ﾜ ｦ ﾝ ｰ")
                                      .split(u' ');
    QString out;
    for (const QChar c : s) {
        const qsizetype k = full.indexOf(c);
        // ケ and ノ between kanji are place-name particles, left as they are.
        if (k >= 0 && c != u'ケ' && c != u'ノ') {
            out.append(half[k]);
            *changed = true;
        } else {
            out.append(c);
        }
    }
    return out;
}

struct Town
{
    quint32 code;
    QString pref, city, base, note;
};

struct Case
{
    QString add;
    QString cmp;
    quint32 code;
};

// A note that is a plain 丁目 range or list: "１～１９丁目", "３丁目", "１、２丁目".
std::vector<std::pair<int, int>> chomeRanges(const QString &note)
{
    std::vector<std::pair<int, int>> out;
    const QString n = AddressKey::address(note);
    if (!n.endsWith(QStringLiteral("丁目")))
        return out;
    const QStringView body = QStringView(n).chopped(2);
    for (QStringView part : body.split(u'、')) {
        const QList<QStringView> ends = part.split(u'~');
        bool ok1 = false, ok2 = true;
        const int a = ends.value(0).toInt(&ok1);
        const int b = ends.size() == 2 ? ends[1].toInt(&ok2) : a;
        if (!ok1 || !ok2 || ends.size() > 2)
            return {};
        out.push_back({a, b});
    }
    return out;
}

} // namespace

// A CSV file's bytes, or its member's when it is Japan Post's zip.
static QByteArray csvBytes(const QString &path, const QString &member)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return PostalZip::isZip(bytes) ? PostalZip::read(bytes, {member}).bytes : bytes;
}

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    // Japan Post's towns and offices, zip or CSV: the shipped snapshot unless
    // named.
    const QStringList args = app.arguments();
    const QByteArray kenBytes = csvBytes(args.value(1, sourcePath(QStringLiteral("data/postal/ken_all.zip"))),
                                         QStringLiteral("KEN_ALL.CSV"));
    const QByteArray jigBytes = csvBytes(args.value(2, sourcePath(QStringLiteral("data/postal/jigyosyo.zip"))),
                                         QStringLiteral("JIGYOSYO.CSV"));
    if (kenBytes.isEmpty() || jigBytes.isEmpty()) {
        std::printf("usage: lookup_accuracy [KEN_ALL.CSV|ken_all.zip JIGYOSYO.CSV|jigyosyo.zip [cases per kind]]\n");
        return 2;
    }
    const size_t perKind = size_t(args.value(3, QStringLiteral("1000")).toInt());
    PostalDictionary dict;
    QElapsedTimer loading;
    loading.start();
    PostalReaders::readKenAll(kenBytes, dict);
    PostalReaders::readJigyosyo(jigBytes, dict);
    dict.finish();
    const double loadMs = double(loading.nsecsElapsed()) / 1e6;

    if (args.value(3) == u"--query") {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return 2;
        for (const QByteArray &line : in.readAll().split('\n')) {
            const QStringList parts = QString::fromUtf8(line).split(u'\t');
            if (parts.value(0).isEmpty())
                continue;
            const PostalSearch::Result r = PostalSearch::run(dict, QString(), parts[0], parts.value(1));
            std::printf("%s | %s\n", qPrintable(parts[0]), qPrintable(parts.value(1)));
            for (size_t i = 0; i < r.candidates.size() && i < 3; ++i) {
                const quint32 e = r.candidates[i].entry;
                std::printf("    %s %s %s %s\n", qPrintable(AddressKey::formatCode(dict.code(e))),
                            qPrintable(PostalSearch::shownAddress(dict, r.candidates[i]).toString()),
                            qPrintable(dict.note(e).toString()), qPrintable(dict.officeName(e).toString()));
            }
        }
        return 0;
    }

    // ---- towns ----
    std::vector<Town> towns;
    {
        const QString text = PostalReaders::decodeJapanPost(kenBytes);
        for (QStringView line : QStringView(text).split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            const QStringList f = fields(line);
            if (f.size() != 15)
                continue;
            const QString &town = f[8];
            if (town.count(u'（') != town.count(u'）') || town.left(qMax(0, int(town.indexOf(u'（')))).contains(u'、')
                || (!town.contains(u'（') && town.contains(u'、')))
                continue; // continued on the next line
            const qsizetype open = town.indexOf(u'（');
            Town t{f[2].toUInt(), f[6], f[7], open >= 0 ? town.left(open) : town,
                   open >= 0 ? town.mid(open + 1).chopped(1) : QString()};
            if (t.base == u"以下に掲載がない場合" || t.base.contains(QStringLiteral("の次に")) || t.base.endsWith(QStringLiteral("一円")))
                continue;
            towns.push_back(std::move(t));
        }
    }
    // Entries per written address, to keep only what the address can single out.
    std::map<QString, std::vector<size_t>> byAddress;
    for (size_t i = 0; i < towns.size(); ++i)
        byAddress[towns[i].pref + towns[i].city + towns[i].base].push_back(i);
    // Without the ward (designated cities) or the county, per prefecture.
    auto shortCity = [](const Town &t) -> QString {
        const qsizetype shi = t.city.indexOf(u'市');
        if (shi > 0 && shi + 1 < t.city.size() && t.city.endsWith(u'区'))
            return t.city.left(shi + 1);
        const qsizetype gun = t.city.indexOf(u'郡');
        if (gun > 0 && gun + 1 < t.city.size() && (t.city.endsWith(u'町') || t.city.endsWith(u'村')))
            return t.city.mid(gun + 1);
        return {};
    };
    std::map<QString, std::set<quint32>> byShort;
    for (const Town &t : towns) {
        const QString s = shortCity(t);
        if (!s.isEmpty())
            byShort[t.pref + s + t.base].insert(t.code);
    }

    std::mt19937 rng(20260529);
    std::map<QString, std::vector<Case>> cases;
    auto addCase = [&](const char *kind, QString add, QString cmp, quint32 code) {
        cases[QString::fromLatin1(kind)].push_back(Case{std::move(add), std::move(cmp), code});
    };
    static const QString blocks[] = {QStringLiteral("１－２－３"), QStringLiteral("3-15"), QStringLiteral("１２番地"),
                                     QStringLiteral("５番１０号"), QStringLiteral("２－７")};
    std::vector<size_t> order(towns.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (const size_t i : order) {
        const Town &t = towns[i];
        const std::vector<size_t> &same = byAddress[t.pref + t.city + t.base];
        const bool floorNote = t.note.endsWith(u'階') || t.note == u"地階・階層不明";
        if (floorNote) {
            if (t.note == u"地階・階層不明") {
                addCase("floor_basement", t.pref + t.city + t.base + (rng() % 2 ? QStringLiteral("地下１階") : QStringLiteral("B1F")), {}, t.code);
            } else if (!t.note.contains(u'（') && !t.note.contains(u'～')) {
                addCase("floor", t.pref + t.city + t.base + u'　' + t.note, {}, t.code);
            }
            continue;
        }
        // The block number: inside the entry's own 丁目 range when the note has one.
        QString block;
        const auto ranges = chomeRanges(t.note);
        if (!ranges.empty()) {
            const auto [a, b] = ranges[rng() % ranges.size()];
            const int n = a + int(rng() % quint32(b - a + 1));
            bool elsewhere = false;
            for (const size_t j : same)
                if (j != i)
                    for (const auto &[c, d] : chomeRanges(towns[j].note))
                        elsewhere = elsewhere || (n >= c && n <= d);
            if (elsewhere)
                continue;
            block = rng() % 2 ? fullWidthDigits(QString::number(n)) + QStringLiteral("丁目３－１")
                              : QString::number(n) + QStringLiteral("-3-1");
        } else if (same.size() == 1 && !t.note.contains(u'番') && !t.note.contains(u'～')) {
            block = blocks[rng() % std::size(blocks)];
        } else {
            continue;
        }
        const QString full = t.pref + t.city + t.base;
        addCase("town_plain", full + block, {}, t.code);
        addCase("town_no_prefecture", t.city + t.base + block, {}, t.code);
        addCase("town_postal_code_in_front",
                (rng() % 2 ? QStringLiteral("〒") : QString()) + AddressKey::formatCode(t.code) + u'　' + full + block, {}, t.code);
        bool changed = false;
        const QString digits = withDigits(t.base, rng() % 2, &changed);
        if (changed)
            addCase("town_digits", t.pref + t.city + digits + block, {}, t.code);
        changed = false;
        const QString variant = withVariants(full, &changed);
        if (changed)
            addCase("town_variant_kanji", variant + block, {}, t.code);
        changed = false;
        const QString half = halfWidthKatakana(full, &changed);
        if (changed)
            addCase("town_half_width_kana", half + block, {}, t.code);
        const QString s = shortCity(t);
        if (!s.isEmpty() && byShort[t.pref + s + t.base].size() == 1) {
            if (t.city.endsWith(u'区'))
                addCase("town_no_ward", t.pref + s + t.base + block, {}, t.code);
            else
                addCase("town_no_county", t.pref + s + t.base + block, {}, t.code);
        }
        if (!t.city.endsWith(u'区') && !t.base.isEmpty() && !t.base.startsWith(u'字') && !t.base.contains(QStringLiteral("大字")))
            addCase("town_oaza", t.pref + t.city + QStringLiteral("大字") + t.base + block, {}, t.code);
        // Kyoto: the street form the note lists, written with ル or る.
        if (t.pref == u"京都府" && t.note.contains(u'通') && t.city.startsWith(QStringLiteral("京都市"))) {
            const QStringList parts = t.note.split(u'、');
            QString part = parts[qsizetype(rng() % quint32(parts.size()))];
            if (!part.contains(u'（') && (part.endsWith(u'る') || part.endsWith(u'入'))) {
                if (rng() % 2)
                    part = part.endsWith(u'る') ? part.chopped(1) + u'ル' : part + u'ル';
                addCase("kyoto_street", t.pref + t.city + part + t.base + QStringLiteral("４０５"), {}, t.code);
            }
        }
        // Kyoto: a street form the dictionary does not list, before a town
        // that its ward has once.
        if (t.pref == u"京都府" && t.city.startsWith(QStringLiteral("京都市")) && same.size() == 1 && !t.base.isEmpty()) {
            static const QString streets[] = {QStringLiteral("新町通丸太町上ル"), QStringLiteral("烏丸通四条下る"),
                                              QStringLiteral("堀川通五条西入ル"), QStringLiteral("千本通今出川東入")};
            addCase("kyoto_unlisted_street", t.pref + t.city + streets[rng() % 4] + t.base + QStringLiteral("１２"), {}, t.code);
        }
    }

    // A town that Japan Post lists as named parts and the rest, written with
    // a 字 that is none of the parts (where the parts are named or counted in
    // 丁目, so that the lot number cannot be one a note lists).
    for (const auto &[address, same] : byAddress) {
        const Town *rest = nullptr;
        bool numbered = false;
        for (const size_t i : same) {
            const QString n = AddressKey::address(towns[i].note);
            if (towns[i].note == u"その他")
                rest = &towns[i];
            else if (n.contains(u'番') || (n.contains(QRegularExpression(QStringLiteral("[0-9]"))) && !n.contains(QStringLiteral("丁目"))))
                numbered = true;
        }
        if (rest && !numbered && same.size() > 1)
            addCase("town_none_of_its_parts", address + QStringLiteral("字上ノ原") + QString::number(rng() % 900 + 1), {}, rest->code);
    }
    // A town typed with no more than its ward ("北区梅田"), where that names
    // one town with one code in Japan.
    {
        std::map<QString, std::vector<size_t>> byWardAndName;
        for (size_t i = 0; i < towns.size(); ++i) {
            const qsizetype shi = towns[i].city.indexOf(u'市');
            if (shi > 0 && towns[i].city.endsWith(u'区') && !towns[i].base.isEmpty())
                byWardAndName[towns[i].city.mid(shi + 1) + towns[i].base].push_back(i);
        }
        for (const auto &[typed, which] : byWardAndName) {
            std::set<quint32> codes;
            for (const size_t i : which)
                codes.insert(towns[i].code);
            if (codes.size() == 1 && towns[which.front()].note.isEmpty())
                addCase("town_by_ward_and_name", typed, {}, *codes.begin());
        }
    }

    // ---- offices ----
    {
        const QString text = PostalReaders::decodeJapanPost(jigBytes);
        std::vector<QStringList> offices;
        for (QStringView line : QStringView(text).split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            QStringList f = fields(line);
            if (f.size() == 13)
                offices.push_back(std::move(f));
        }
        std::shuffle(offices.begin(), offices.end(), rng);
        // The first part of each name ("東京大学" of "東京大学　本部事務組織"),
        // counted per town so that only the parts that single out one office
        // are used.
        auto firstPart = [](const QString &name) {
            for (const QString &part : name.split(u'　', Qt::SkipEmptyParts))
                if (part != u"株式会社" && part != u"有限会社" && !part.contains(QStringLiteral("法人")) && !part.startsWith(u'（')
                    && part.size() >= 2)
                    return part;
            return QString();
        };
        std::map<QString, int> partsAtTown;
        for (const QStringList &f : offices)
            ++partsAtTown[f[3] + f[4] + f[5] + u'|' + firstPart(f[2])];
        for (const QStringList &f : offices) {
            const QString name = f[2];
            const QString address = f[3] + f[4] + f[5] + f[6];
            const quint32 code = f[7].toUInt();
            // The name as people write it: without spaces, legal form shortened.
            QString written = name;
            written.remove(u'　');
            written.replace(QStringLiteral("株式会社"), rng() % 2 ? QStringLiteral("（株）") : QString());
            addCase("office_with_name", address, written, code);
            // A university hospital as people write it.
            if (written.contains(QStringLiteral("医学部附属病院")))
                addCase("office_hospital_named_short", address, QString(written).replace(QStringLiteral("医学部附属病院"), QStringLiteral("病院")), code);
            addCase("office_town_with_name", f[3] + f[4] + f[5], written, code);
            addCase("office_address_only", address, {}, code);
            const QString part = firstPart(name);
            if (!part.isEmpty() && part != written && partsAtTown[f[3] + f[4] + f[5] + u'|' + part] == 1)
                addCase("office_short_name", address, part, code);
            // The block number in kanji: "１丁目１４" as "一丁目十四番地".
            static const QString kanji[] = {QStringLiteral("〇"), QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                                            QStringLiteral("四"), QStringLiteral("五"), QStringLiteral("六"), QStringLiteral("七"),
                                            QStringLiteral("八"), QStringLiteral("九")};
            const QString block = AddressKey::address(f[6]);
            if (block.size() >= 2 && block.front().isDigit()) {
                QString spelled;
                for (const QChar c : block)
                    spelled += c.isDigit() ? kanji[c.digitValue()] : QString(c == u'-' ? u'の' : c);
                addCase("office_with_name_kanji_block", f[3] + f[4] + f[5] + spelled, written, code);
            }
        }
    }

    // ---- the search ----
    size_t allRight = 0, allCount = 0;
    size_t townRight = 0, townCount = 0;
    std::printf("%-28s %6s %8s %8s %10s\n", "kind", "cases", "first%", "listed%", "p99_us");
    for (auto &[kind, list] : cases) {
        if (list.size() > perKind)
            list.resize(perKind);
        size_t right = 0, listed = 0;
        std::vector<double> us;
        std::vector<QString> misses;
        for (const Case &c : list) {
            // The median of three runs, so that a time slice lost to another
            // process on a shared machine does not count as the search's.
            double runs[3];
            PostalSearch::Result r;
            for (double &t : runs) {
                QElapsedTimer timer;
                timer.start();
                r = PostalSearch::run(dict, QString(), c.add, c.cmp);
                t = double(timer.nsecsElapsed()) / 1000.0;
            }
            std::sort(std::begin(runs), std::end(runs));
            us.push_back(runs[1]);
            const bool first = !r.candidates.empty() && dict.code(r.candidates.front().entry) == c.code;
            right += first;
            listed += std::any_of(r.candidates.begin(), r.candidates.end(),
                                  [&](const auto &cand) { return dict.code(cand.entry) == c.code; });
            if (!first && misses.size() < 3)
                misses.push_back(c.add + QStringLiteral(" | ") + c.cmp + QStringLiteral(" → ") +
                                 (r.candidates.empty() ? QStringLiteral("none")
                                                       : AddressKey::formatCode(dict.code(r.candidates.front().entry))) +
                                 QStringLiteral(" want ") + AddressKey::formatCode(c.code));
        }
        std::sort(us.begin(), us.end());
        const double p99 = us.empty() ? 0 : us[std::min(us.size() - 1, us.size() * 99 / 100)];
        std::printf("%-28s %6zu %8.1f %8.1f %10.1f\n", qPrintable(kind), list.size(), 100.0 * double(right) / double(list.size()),
                    100.0 * double(listed) / double(list.size()), p99);
        if (qEnvironmentVariableIsSet("LOOKUP_ACCURACY_MISSES"))
            for (const QString &m : misses)
                std::printf("    miss: %s\n", qPrintable(m));
        // The address alone is not expected to name an office's own code.
        if (kind != u"office_address_only") {
            allRight += right;
            allCount += list.size();
        }
        if (kind.startsWith(u"town") || kind.startsWith(u"kyoto") || kind.startsWith(u"floor")) {
            townRight += right;
            townCount += list.size();
        }
    }
    std::printf("load_from_csv: %.1f ms\nmemory_dictionary: %.1f MiB\n", loadMs,
                double(dict.memoryBytes()) / (1024.0 * 1024.0));
    std::printf("towns_first: %.1f %%\noverall_first: %.1f %%\n", 100.0 * double(townRight) / double(townCount),
                100.0 * double(allRight) / double(allCount));
    return 0;
}
