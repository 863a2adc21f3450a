#include "PostalReaders.h"

#include "core/env/Cp932.h"
#include "core/env/Iconv.h"
#include "core/env/Program.h"
#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalCache.h"
#include "core/lookup/PostalZip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>

#ifndef KOTOVEN_POSTAL_FROM_PROGRAM
#define KOTOVEN_POSTAL_FROM_PROGRAM "../../share/kotoven/postal/"
#endif

namespace {

using Source = PostalDictionary::Source;

constexpr QChar Replacement(u'\uFFFD');

// Calls `f(line)` for every line of `text`, without its line break.
template<typename F>
void forEachLine(QStringView text, F f)
{
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = text.indexOf(u'\n', pos);
        if (end < 0)
            end = n;
        QStringView line = text.sliced(pos, end - pos);
        if (line.endsWith(u'\r'))
            line.chop(1);
        f(line);
        pos = end + 1;
    }
}

bool parseCode(QStringView s, quint32 *code)
{
    if (s.size() != 7)
        return false;
    quint32 value = 0;
    for (const QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + quint32(c.unicode() - u'0');
    }
    *code = value;
    return true;
}

// A plausible address: it names a prefecture and holds no undecodable byte.
bool plausible(QStringView address)
{
    return AddressKey::prefectureAt(address) >= 0 && !address.contains(Replacement);
}

// Splits one CSV line into `fields`; false when a quote is left open or there
// are more fields than room.
template<size_t N>
bool splitCsv(QStringView line, std::array<QStringView, N> &fields, size_t *count)
{
    size_t n = 0;
    qsizetype i = 0;
    const qsizetype len = line.size();
    while (true) {
        if (n == N)
            return false;
        if (i < len && line[i] == u'"') {
            const qsizetype close = line.indexOf(u'"', i + 1);
            if (close < 0)
                return false;
            fields[n++] = line.sliced(i + 1, close - i - 1);
            i = close + 1;
            if (i < len && line[i] != u',')
                return false;
        } else {
            qsizetype comma = line.indexOf(u',', i);
            if (comma < 0)
                comma = len;
            fields[n++] = line.sliced(i, comma - i);
            i = comma;
        }
        if (i >= len)
            break;
        ++i; // the comma
    }
    *count = n;
    return true;
}

QString decodeIconv(QByteArrayView bytes, const char *charset, qsizetype *invalid)
{
    Iconv::Decoded decoded = Iconv::toUtf16(bytes, charset);
    if (invalid)
        *invalid = decoded.invalidCount;
    return std::move(decoded.text);
}

// ---- SKK -----------------------------------------------------------------

// Splits an SKK town into the address and the note the original data kept in
// parentheses: floors ("…ビル１２階", "…ビル地階"), the remains of "（…）" and
// "X村の次に１〜６６３番地がくる場合".
void splitSkkTown(QStringView s, QString &address, QString &note)
{
    address.clear();
    note.clear();
    const qsizetype next = s.contains(u'次') ? s.indexOf(u"の次に") : -1;
    const qsizetype comes = next > 0 ? s.indexOf(u"がくる場合") : -1;
    if (next > 0 && comes > next) {
        // The town repeats the municipality: "…小菅村小菅村の次に…".
        const QStringView head = s.left(next);
        qsizetype cut = -1;
        for (qsizetype k = head.size() / 2; k >= 2; --k) {
            if (head.left(head.size() - k).endsWith(head.right(k))) {
                cut = head.size() - k;
                break;
            }
        }
        if (cut > 0) {
            const qsizetype end = comes + 5;
            address.append(head.left(cut)).append(s.mid(end));
            note.append(s.sliced(cut, end - cut));
            return;
        }
    }
    const qsizetype open = s.lastIndexOf(u'（');
    if (open > 0) {
        for (const QChar c : s.left(open))
            if (c != u'）')
                address.append(c);
        for (const QChar c : s.mid(open + 1))
            if (c != u'）')
                note.append(c);
        return;
    }
    if (!s.endsWith(u'階')) {
        address.append(s);
        return;
    }
    if (s.endsWith(u"地階")) {
        address.append(s.chopped(2));
        note.append(u"地階");
        return;
    }
    if (s.endsWith(u'階')) {
        qsizetype b = s.size() - 1;
        while (b > 0 && (s[b - 1].isDigit()))
            --b;
        if (b < s.size() - 1 && b > 0) {
            address.append(s.left(b));
            note.append(s.mid(b));
            return;
        }
    }
    address.append(s);
}

// Kyoto addresses carry the street and direction before the town
// ("…中京区河原町通御池下る下丸屋町"); people also write the town alone.
bool kyotoTownOnly(QStringView address, QString &out)
{
    static constexpr QStringView city = u"京都府京都市";
    if (address.size() < 8 || address[0] != u'京' || !address.startsWith(city))
        return false;
    const qsizetype ward = address.indexOf(u'区', city.size());
    if (ward < 0 || !address.sliced(ward).contains(u'通'))
        return false;
    qsizetype end = -1;
    for (const QStringView m : {QStringView(u"上る"), QStringView(u"下る"), QStringView(u"東入"), QStringView(u"西入")}) {
        const qsizetype at = address.lastIndexOf(m);
        if (at > ward)
            end = std::max(end, at + m.size());
    }
    if (end < 0 || end >= address.size())
        return false;
    out = address.left(ward + 1) + address.mid(end);
    return true;
}

QDate skkDate(QStringView text)
{
    // ";; Time-stamp: <04 May 2022>"
    const qsizetype at = text.left(2000).indexOf(u"Time-stamp: <");
    if (at < 0)
        return {};
    const qsizetype from = at + 13;
    const qsizetype close = text.indexOf(u'>', from);
    if (close < 0 || close - from > 40)
        return {};
    return QDate::fromString(text.sliced(from, close - from).toString(), QStringLiteral("dd MMM yyyy"));
}

template<typename OnCandidate>
Source readSkk(QByteArrayView bytes, const QString &label, OnCandidate onCandidate)
{
    Source source;
    source.label = label;
    const QString text = PostalReaders::decodeEucJis2004(bytes);
    source.date = skkDate(text);
    forEachLine(text, [&](QStringView line) {
        if (line.isEmpty() || line.startsWith(u';'))
            return;
        quint32 code = 0;
        if (line.size() < 10 || !parseCode(line.left(7), &code) || line[7] != u' ' || line[8] != u'/'
            || !line.endsWith(u'/')) {
            ++source.skipped;
            return;
        }
        QStringView rest = line.sliced(9);
        while (!rest.isEmpty()) {
            const qsizetype slash = rest.indexOf(u'/');
            if (slash < 0)
                break;
            const QStringView candidate = rest.left(slash);
            rest = rest.sliced(slash + 1);
            if (candidate.isEmpty())
                continue;
            if (onCandidate(code, candidate))
                ++source.records;
            else
                ++source.skipped;
        }
    });
    return source;
}

// ---- Japan Post ----------------------------------------------------------

// One KEN_ALL town: "以下に掲載がない場合", "X町一円" and "X町の次に番地がくる
//場合" stand for the municipality as a whole; "（…）" is the note.
void splitKenAllTown(QStringView city, QStringView town, QStringView &base, QStringView &note)
{
    base = town;
    note = {};
    if (town == u"以下に掲載がない場合" || (town.contains(u"の次に") && town.endsWith(u"がくる場合"))) {
        base = {};
        note = town;
        return;
    }
    // "三宅村一円": the whole municipality; a bare "一円" is a real town name.
    if (town.endsWith(u"一円") && town.size() > 2) {
        const QStringView name = town.chopped(2);
        if (city.endsWith(name)) {
            base = {};
            note = town;
            return;
        }
    }
    const qsizetype open = town.indexOf(u'（');
    if (open >= 0) {
        base = town.left(open);
        note = town.sliced(open + 1);
        if (note.endsWith(u'）'))
            note.chop(1);
    }
}

int openParens(QStringView s)
{
    return int(s.count(u'（')) - int(s.count(u'）'));
}

} // namespace

namespace PostalReaders {

QString decodeEucJis2004(QByteArrayView bytes, qsizetype *invalid)
{
    return decodeIconv(bytes, "EUC-JISX0213", invalid);
}

QString decodeJapanPost(QByteArrayView bytes, qsizetype *invalid)
{
    if (invalid)
        *invalid = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    Cp932::Decoded decoded = Cp932::decode(bytes);
    if (invalid)
        *invalid = decoded.invalidCount;
    return std::move(decoded.text);
}

Source readSkkTowns(QByteArrayView bytes, PostalDictionary &dict)
{
    QString address;
    QString note;
    QString alias;
    return readSkk(bytes, QStringLiteral("郵便番号"), [&](quint32 code, QStringView candidate) {
        if (!plausible(candidate) || candidate.startsWith(u'('))
            return false;
        splitSkkTown(candidate, address, note);
        const quint32 entry = dict.addTown(code, address, note);
        if (entry == PostalDictionary::None)
            return false;
        if (kyotoTownOnly(address, alias))
            dict.addAlias(entry, alias);
        return true;
    });
}

Source readSkkOffices(QByteArrayView bytes, PostalDictionary &dict)
{
    return readSkk(bytes, QStringLiteral("事業所"), [&](quint32 code, QStringView candidate) {
        const qsizetype at = candidate.indexOf(u" @ ");
        if (at <= 0)
            return false;
        const QStringView name = candidate.left(at).trimmed();
        const QStringView address = candidate.sliced(at + 3).trimmed();
        if (name.isEmpty() || name.contains(Replacement) || !plausible(address))
            return false;
        return dict.addOffice(code, name, address) != PostalDictionary::None;
    });
}

Source readKenAll(QByteArrayView bytes, PostalDictionary &dict)
{
    Source source;
    source.label = QStringLiteral("郵便番号");
    const QString text = decodeJapanPost(bytes);

    // A town too long for one line continues on the next lines of the same
    // code until its parentheses close.
    struct Pending
    {
        bool open = false;
        quint32 code = 0;
        QString pref, city, town, kana;
    } pending;
    QString address;
    QString alias;

    auto add = [&](quint32 code, QStringView pref, QStringView city, QStringView town, QStringView kana) {
        QStringView base;
        QStringView note;
        splitKenAllTown(city, town, base, note);
        address.clear();
        address.append(pref).append(city).append(base);
        // The reading of the town itself, without that of the note.
        if (base.isEmpty())
            kana = {};
        else if (const qsizetype open = kana.indexOf(u'('); open >= 0)
            kana = kana.left(open);
        const quint32 entry = dict.addTown(code, address, note, kana);
        if (entry == PostalDictionary::None) {
            ++source.skipped;
            return;
        }
        ++source.records;
        // Kyoto: each street form in the note is also a way to write the town.
        if (pref == u"京都府" && !note.isEmpty() && !base.isEmpty()
            && (note.contains(u'通') || note.contains(u"上る") || note.contains(u"下る") || note.contains(u'入'))) {
            for (QStringView part : note.split(u'、')) {
                part = part.trimmed();
                if (part.isEmpty() || part.contains(u'（') || part.contains(u'）'))
                    continue;
                alias.clear();
                alias.append(pref).append(city).append(part).append(base);
                dict.addAlias(entry, alias);
            }
        }
    };
    auto flush = [&] {
        if (pending.open)
            add(pending.code, pending.pref, pending.city, pending.town, pending.kana);
        pending.open = false;
    };

    std::array<QStringView, 16> f;
    forEachLine(text, [&](QStringView line) {
        if (line.trimmed().isEmpty())
            return;
        size_t n = 0;
        quint32 code = 0;
        if (!splitCsv(line, f, &n) || n != 15 || !parseCode(f[2], &code) || AddressKey::prefectureAt(f[6]) < 0
            || f[6].size() > 4 || f[7].isEmpty() || line.contains(Replacement)) {
            flush();
            ++source.skipped;
            return;
        }
        if (pending.open) {
            if (pending.code == code && pending.city == f[7]) {
                pending.town.append(f[8]);
                pending.kana.append(f[5]);
                if (openParens(pending.town) <= 0)
                    flush();
                return;
            }
            flush();
        }
        if (openParens(f[8]) > 0) {
            pending.open = true;
            pending.code = code;
            pending.pref = f[6].toString();
            pending.city = f[7].toString();
            pending.town = f[8].toString();
            pending.kana = f[5].toString();
            return;
        }
        add(code, f[6], f[7], f[8], f[5]);
    });
    // A record cut off at the end of the file keeps what it has.
    flush();
    return source;
}

Source readJigyosyo(QByteArrayView bytes, PostalDictionary &dict)
{
    Source source;
    source.label = QStringLiteral("事業所");
    const QString text = decodeJapanPost(bytes);
    QString address;
    std::array<QStringView, 16> f;
    forEachLine(text, [&](QStringView line) {
        if (line.trimmed().isEmpty())
            return;
        size_t n = 0;
        quint32 code = 0;
        if (!splitCsv(line, f, &n) || n != 13 || !parseCode(f[7], &code) || AddressKey::prefectureAt(f[3]) < 0
            || f[2].trimmed().isEmpty() || line.contains(Replacement)) {
            ++source.skipped;
            return;
        }
        address.clear();
        address.append(f[3]).append(f[4]).append(f[5]).append(f[6]);
        if (dict.addOffice(code, f[2].trimmed(), address, f[1].trimmed()) == PostalDictionary::None)
            ++source.skipped;
        else
            ++source.records;
    });
    return source;
}

Kind kindOf(Format format)
{
    return format == Format::SkkTowns || format == Format::KenAll ? Kind::Towns : Kind::Offices;
}

QStringList csvNames(Kind kind)
{
    if (kind == Kind::Towns)
        return {QStringLiteral("KEN_ALL.CSV"), QStringLiteral("utf_ken_all.csv")};
    return {QStringLiteral("JIGYOSYO.CSV")};
}

QStringList fileNames(Kind kind)
{
    if (kind == Kind::Towns)
        return {QStringLiteral("ken_all.zip"), QStringLiteral("utf_ken_all.zip"), QStringLiteral("KEN_ALL.CSV"),
                QStringLiteral("utf_ken_all.csv")};
    return {QStringLiteral("jigyosyo.zip"), QStringLiteral("JIGYOSYO.CSV")};
}

std::optional<Format> detectJapanPost(QByteArrayView csv)
{
    const QString head = decodeJapanPost(csv.first(std::min<qsizetype>(csv.size(), 4096)));
    const qsizetype end = head.indexOf(u'\n');
    QStringView line = QStringView(head).left(end < 0 ? head.size() : end);
    if (line.endsWith(u'\r'))
        line.chop(1);
    std::array<QStringView, 16> f;
    size_t n = 0;
    quint32 code = 0;
    if (!splitCsv(line, f, &n))
        return std::nullopt;
    if (n == 15 && parseCode(f[2], &code))
        return Format::KenAll;
    if (n == 13 && parseCode(f[7], &code))
        return Format::Jigyosyo;
    return std::nullopt;
}

Source read(QByteArrayView bytes, const QString &path, const QDateTime &fileTime, Format format,
            PostalDictionary &dict)
{
    Source source;
    QDate memberDate;
    QByteArray member;
    const bool japanPost = format == Format::KenAll || format == Format::Jigyosyo;
    if (japanPost && PostalZip::isZip(bytes)) {
        PostalZip::Member m = PostalZip::read(bytes, csvNames(kindOf(format)));
        if (!m.error.isEmpty()) {
            source.path = path;
            source.label = kindOf(format) == Kind::Towns ? QStringLiteral("郵便番号") : QStringLiteral("事業所");
            source.error = QStringLiteral("%1: %2").arg(path, m.error);
            return source;
        }
        member = std::move(m.bytes);
        memberDate = m.time.date();
        bytes = member;
    }
    switch (format) {
    case Format::SkkTowns: source = readSkkTowns(bytes, dict); break;
    case Format::SkkOffices: source = readSkkOffices(bytes, dict); break;
    case Format::KenAll: source = readKenAll(bytes, dict); break;
    case Format::Jigyosyo: source = readJigyosyo(bytes, dict); break;
    }
    source.path = path;
    if (!source.date.isValid())
        source.date = memberDate.isValid() ? memberDate : fileTime.date();
    if (source.records == 0) {
        qsizetype invalid = 0;
        if (japanPost && !bytes.isEmpty())
            decodeJapanPost(bytes, &invalid);
        if (bytes.trimmed().isEmpty())
            source.error = QStringLiteral("%1: ファイルが空です").arg(path);
        else if (invalid > 0 || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
            source.error = QStringLiteral("%1: 文字コードが違います（Shift_JIS でも UTF-8 でもありません）").arg(path);
        else
            source.error = QStringLiteral("%1: 読める行がありません（不正な行 %2）").arg(path).arg(source.skipped);
    }
    return source;
}

Source readFile(const QString &path, Format format, PostalDictionary &dict)
{
    Source source;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        source.path = path;
        source.label = kindOf(format) == Kind::Towns ? QStringLiteral("郵便番号") : QStringLiteral("事業所");
        source.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return source;
    }
    // Mapped when the file system allows it; read whole otherwise.
    QByteArray data;
    QByteArrayView bytes;
    const qint64 size = file.size();
    if (uchar *mapped = size > 0 ? file.map(0, size) : nullptr) {
        bytes = QByteArrayView(reinterpret_cast<const char *>(mapped), size);
    } else {
        data = file.readAll();
        bytes = data;
    }
    return read(bytes, path, QFileInfo(file).lastModified(), format, dict);
}

QDate dateOf(const QString &path, Format format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QDate fileDate = QFileInfo(file).lastModified().date();
    if (format == Format::SkkTowns || format == Format::SkkOffices) {
        const QDate stamp = skkDate(decodeEucJis2004(file.read(4096)));
        return stamp.isValid() ? stamp : fileDate;
    }
    const qint64 size = file.size();
    uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
    const QByteArray data = mapped ? QByteArray() : file.readAll();
    const QByteArrayView bytes = mapped ? QByteArrayView(reinterpret_cast<const char *>(mapped), size) : data;
    if (!PostalZip::isZip(bytes))
        return fileDate;
    const PostalZip::Member m = PostalZip::read(bytes, csvNames(kindOf(format)), false);
    return m.error.isEmpty() ? m.time.date() : QDate();
}

QStringList shippedFolders()
{
    const QString program = programFolder();
    return {QDir::cleanPath(program + QStringLiteral(KOTOVEN_POSTAL_FROM_PROGRAM)) + u'/',
            program + QStringLiteral("postal/")};
}

std::vector<Candidate> findFiles(const Locations &where)
{
    std::vector<Candidate> found;
    // Japan Post's file names, in any letter case.
    auto scan = [&](const QString &folder, Origin origin) {
        if (folder.isEmpty())
            return;
        const QDir dir(folder);
        const QStringList entries = dir.entryList(QDir::Files, QDir::Name);
        for (const Kind kind : {Kind::Towns, Kind::Offices})
            for (const QString &name : fileNames(kind))
                for (const QString &entry : entries)
                    if (entry.compare(name, Qt::CaseInsensitive) == 0)
                        found.push_back({kind == Kind::Towns ? Format::KenAll : Format::Jigyosyo, origin,
                                         dir.filePath(entry), {}});
    };
    scan(where.userDataFolder, Origin::User);
    for (const QString &folder : where.shippedFolders)
        scan(folder, Origin::Shipped);
    const QString skk = where.skkFolder.endsWith(u'/') ? where.skkFolder : where.skkFolder + u'/';
    found.push_back({Format::SkkTowns, Origin::Skk, skk + QStringLiteral("SKK-JISYO.zipcode"), {}});
    found.push_back({Format::SkkOffices, Origin::Skk, skk + QStringLiteral("SKK-JISYO.office.zipcode"), {}});
    return found;
}

std::vector<Candidate> newestFirst(std::vector<Candidate> candidates, Kind kind)
{
    std::erase_if(candidates, [kind](const Candidate &c) { return kindOf(c.format) != kind; });
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) {
        if (a.date.isValid() != b.date.isValid())
            return a.date.isValid();
        if (a.date != b.date)
            return a.date > b.date;
        return a.origin < b.origin;
    });
    return candidates;
}

Source readNewest(std::vector<Candidate> candidates, Kind kind, PostalDictionary &dict, std::vector<Source> *reports)
{
    for (Candidate &c : candidates)
        if (kindOf(c.format) == kind && !c.date.isValid())
            c.date = dateOf(c.path, c.format);
    Source last;
    for (const Candidate &c : newestFirst(std::move(candidates), kind)) {
        Source s = readFile(c.path, c.format, dict);
        if (reports)
            reports->push_back(s);
        if (s.records > 0 && s.error.isEmpty())
            return s;
        last = std::move(s);
    }
    return last;
}

namespace {

// What a compiled dictionary was made from: every candidate file with its
// size and time, the versions of the readers and of the stored form, and the
// comparison forms of a few addresses, so that a change of AddressKey's
// folding that nobody versioned still rebuilds it.
QByteArray cacheKey(const std::vector<Candidate> &candidates)
{
    QString key = QStringLiteral("readers %1 stored %2 keys ").arg(ReaderVersion).arg(PostalDictionary::StoredFormat);
    key += AddressKey::address(u"北海道札幌市中央区北１条西２丁目ﾋﾞﾙ八ッ場之瀧髙﨑京都市中京区河原町通三条上る〒１００－０００５")
           + u'|' + AddressKey::officeName(u"株式会社　ＡＢＣ髙﨑（本社）ｶﾞｯｺｳ大学医学部附属病院");
    for (const Candidate &c : candidates) {
        const QFileInfo info(c.path);
        key += QStringLiteral("\n%1 %2 %3 %4")
                   .arg(int(c.format))
                   .arg(info.exists() ? info.size() : -1)
                   .arg(info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0)
                   .arg(info.absoluteFilePath());
    }
    return key.toUtf8();
}

} // namespace

std::unique_ptr<PostalDictionary> load(const Locations &where, std::vector<Source> *reports)
{
    const std::vector<Candidate> candidates = findFiles(where);
    const QString cachePath =
        where.cacheFolder.isEmpty() ? QString() : QDir(where.cacheFolder).filePath(QStringLiteral("postal.dictionary"));
    const QByteArray key = cachePath.isEmpty() ? QByteArray() : cacheKey(candidates);
    if (!cachePath.isEmpty()) {
        if (auto cached = PostalCache::load(cachePath, key)) {
            if (reports)
                reports->insert(reports->end(), cached->sources.begin(), cached->sources.end());
            return cached;
        }
    }
    auto dict = std::make_unique<PostalDictionary>();
    dict->reserve(160000, 3000000);
    for (const Kind kind : {Kind::Towns, Kind::Offices}) {
        Source s = readNewest(candidates, kind, *dict, reports);
        if (s.records > 0 && s.error.isEmpty())
            dict->sources.push_back(std::move(s));
    }
    if (dict->isEmpty())
        return nullptr;
    dict->finish();
    if (!cachePath.isEmpty())
        PostalCache::save(cachePath, *dict, key);
    return dict;
}

} // namespace PostalReaders
