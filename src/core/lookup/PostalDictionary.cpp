#include "PostalDictionary.h"

#include "core/lookup/AddressKey.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr qsizetype MaxField = 2000; // longer text is not an address

std::u16string_view u16(QStringView s)
{
    return {reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size())};
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The number at the start of `s` (after "第"), or -1.
int leadingNumber(std::u16string_view s)
{
    size_t i = 0;
    if (i < s.size() && s[i] == u'第')
        ++i;
    int value = -1;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        if (value > 1000000)
            return -1;
        value = (value < 0 ? 0 : value * 10) + (s[i] - u'0');
    }
    return value;
}

constexpr int Basement = -2;

// The floor the rest of a typed address names ("12階", "12F"), Basement for
// "地下1階", "B1F" or "地階", or -1.
int floorNumber(std::u16string_view s)
{
    if (s.find(u"地階") != std::u16string_view::npos)
        return Basement;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'階' && s[i] != u'F')
            continue;
        size_t b = i;
        while (b > 0 && isDigit(s[b - 1]))
            --b;
        if (b < i && i - b < 4) {
            if ((b >= 1 && s[b - 1] == u'B') || (b >= 2 && s.substr(b - 2, 2) == u"地下"))
                return Basement;
            return leadingNumber(s.substr(b, i - b));
        }
    }
    return -1;
}

// The units a number in an address or a note is counted in; Any for a bare
// number or a dash.
enum class Unit : quint8 { Any, Chome, Banchi, Go, Jo, Sen, Chiwari, Other };

Unit unitAt(std::u16string_view s, size_t *len)
{
    struct Name
    {
        std::u16string_view text;
        Unit unit;
    };
    static constexpr Name names[] = {{u"丁目", Unit::Chome}, {u"番地", Unit::Banchi}, {u"番", Unit::Banchi},
                                     {u"号", Unit::Go},      {u"条", Unit::Jo},       {u"線", Unit::Sen},
                                     {u"地割", Unit::Chiwari}, {u"-", Unit::Any},     {u"の", Unit::Any}};
    for (const Name &n : names) {
        if (s.substr(0, n.text.size()) == n.text) {
            *len = n.text.size();
            return n.unit;
        }
    }
    *len = 0;
    return s.empty() ? Unit::Any : Unit::Other;
}

struct Number
{
    int from;
    int to;
    Unit unit;
};

int readNumber(std::u16string_view s, size_t &i)
{
    int v = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (v < 1000000)
            v = v * 10 + (s[i] - u'0');
        ++i;
    }
    return v;
}

// The block numbers typed after a town: "3-2-5" or "3丁目2番5号", each with the
// unit written after it.
std::vector<Number> typedNumbers(std::u16string_view rest)
{
    std::vector<Number> out;
    size_t i = 0;
    if (i < rest.size() && rest[i] == u'第')
        ++i;
    while (i < rest.size() && isDigit(rest[i]) && out.size() < 4) {
        const int v = readNumber(rest, i);
        size_t len = 0;
        const Unit u = unitAt(rest.substr(i), &len);
        out.push_back({v, v, u == Unit::Other ? Unit::Any : u});
        if (u == Unit::Other)
            break;
        i += len;
        if (i < rest.size() && rest[i] == u'第')
            ++i;
    }
    return out;
}

// One item of a note ("1丁目1番", "1~5番地", "第2地割~第5地割", "664番地以降").
std::vector<Number> noteItem(std::u16string_view item)
{
    std::vector<Number> out;
    size_t i = 0;
    while (i < item.size()) {
        if (!isDigit(item[i])) {
            ++i;
            continue;
        }
        Number n{readNumber(item, i), 0, Unit::Any};
        n.to = n.from;
        size_t len = 0;
        Unit u = unitAt(item.substr(i), &len);
        size_t j = i + len;
        if (j < item.size() && item[j] == u'~') {
            size_t k = j + 1;
            if (k < item.size() && item[k] == u'第')
                ++k;
            if (k < item.size() && isDigit(item[k])) {
                n.to = readNumber(item, k);
                size_t len2 = 0;
                const Unit u2 = unitAt(item.substr(k), &len2);
                if (u == Unit::Any || u == Unit::Other)
                    u = u2;
                j = k + len2;
            }
        }
        const std::u16string_view after = item.substr(std::min(j, item.size()), 4);
        if (after.find(u"以降") != std::u16string_view::npos || after.find(u"以上") != std::u16string_view::npos)
            n.to = std::numeric_limits<int>::max();
        n.unit = u == Unit::Other ? Unit::Any : u;
        out.push_back(n);
        i = j;
    }
    return out;
}

bool unitsAgree(Unit a, Unit b)
{
    return a == Unit::Any || b == Unit::Any || a == b || ((a == Unit::Banchi || a == Unit::Go) && (b == Unit::Banchi || b == Unit::Go));
}

// How well a note fits what was typed after the dictionary address: 3 names
// the typed number, 2 is the plain entry, 1 a fallback ("以下に掲載がない場合",
// "その他", or numbers when none were typed), 0 a note that names other
// numbers. `raw` is the note as written, `note` its comparison form.
int noteScore(std::u16string_view raw, std::u16string_view note, std::u16string_view rest)
{
    if (note.empty())
        return 2;
    if (raw.find(u"以下に掲載がない場合") != std::u16string_view::npos || raw == u"その他")
        return 1;
    if (note.find(u'階') != std::u16string_view::npos) {
        const int floor = floorNumber(rest);
        const std::vector<Number> floors = noteItem(note);
        if (floors.empty()) // 地階・階層不明
            return floor == Basement ? 3 : floor < 0 ? 2 : 1;
        return floor >= 0 && floor >= floors.front().from && floor <= floors.front().to ? 3 : 0;
    }
    // "大島町の次に番地がくる場合": a lot number right after the place (the
    // municipality itself or a town in it), not another place's name.
    // The municipality alone is its catch-all code's.
    if (raw.ends_with(u"がくる場合") && (rest.empty() || !isDigit(rest.front()))) {
        const size_t next = note.find(u"の次に");
        const std::u16string_view place = next == std::u16string_view::npos ? std::u16string_view() : note.substr(0, next);
        if (rest.empty() || place.empty() || rest.substr(0, place.size()) != place)
            return 0;
        const std::u16string_view after = rest.substr(place.size());
        return after.empty() ? 1 : noteScore(raw, note, after);
    }
    const bool excluding = note.find(u"除く") != std::u16string_view::npos;
    // Kyoto's streets ("河原町通三条上る、…"), and a street named as a part
    // ("中央通り"): a town's entry for the one the rest begins with.
    const bool streets = note.find(u'通') != std::u16string_view::npos || note.find(u"上る") != std::u16string_view::npos
                         || note.find(u"下る") != std::u16string_view::npos || note.find(u"東入") != std::u16string_view::npos
                         || note.find(u"西入") != std::u16string_view::npos;
    // Named parts of a town ("糠森、小野松", "１～４丁目、北山"), told apart from
    // the town's own entry for the rest (その他); words that say how the
    // town is written (丁目, 番地, 大字, X村一円, …がくる場合) name no part.
    const bool namesParts = !excluding && !streets && note != u"丁目" && note != u"番地" && note != u"大字"
                            && !note.ends_with(u"一円") && note.find(u"場合") == std::u16string_view::npos;
    // The town's entry for its 丁目 (beside one for the rest): not for a
    // place named after the town.
    if (note == u"丁目" && !rest.empty() && !isDigit(rest.front()))
        return 0;
    std::vector<Number> typed = typedNumbers(rest);
    // A place named before the number ("字松屋敷11"): the number is a lot
    // number of the town, never its 丁目.
    const bool placeNamed = !rest.empty() && !isDigit(rest.front()) && rest.front() != u'第';
    if (placeNamed) {
        size_t digit = 0;
        while (digit < rest.size() && digit < 12 && !isDigit(rest[digit]))
            ++digit;
        if (digit < rest.size() && isDigit(rest[digit]))
            typed = typedNumbers(rest.substr(digit));
    }
    bool anyNumbers = false;
    bool anyName = false;
    bool onlyChome = true; // every numbered item counts 丁目, 条, 線 or 地割
    bool fits = false;
    size_t from = 0;
    while (from <= note.size()) {
        size_t to = note.find_first_of(u"、,", from);
        if (to == std::u16string_view::npos)
            to = note.size();
        const std::u16string_view part = note.substr(from, to - from);
        const std::vector<Number> item = noteItem(part);
        from = to + 1;
        if (item.empty() || streets) {
            if ((namesParts || streets) && !part.empty()) {
                anyName = true;
                fits = fits || rest.substr(0, part.size()) == part;
            }
            continue;
        }
        anyNumbers = true;
        const Unit unit = item.front().unit;
        const bool chome = unit == Unit::Chome || unit == Unit::Jo || unit == Unit::Sen || unit == Unit::Chiwari;
        onlyChome = onlyChome && chome;
        if (typed.size() < item.size() || (placeNamed && chome))
            continue;
        bool all = !typed.empty();
        for (size_t k = 0; k < item.size() && k < typed.size() && all; ++k)
            all = typed[k].from >= item[k].from && typed[k].from <= item[k].to && unitsAgree(typed[k].unit, item[k].unit);
        fits = fits || all;
    }
    if (streets)
        return fits ? 3 : 2;
    if (anyName || (placeNamed && anyNumbers && !excluding)) {
        // The town alone ties with its その他 entry; a part named (or a lot
        // number within the note's) is the one; a place that is none of
        // them belongs to the rest, unless its lot number is not known.
        if (fits)
            return 3;
        if (rest.empty())
            return 1;
        return placeNamed && typed.empty() && anyNumbers && !onlyChome ? 1 : 0;
    }
    if (!anyNumbers)
        return 2;
    if (typed.empty())
        return excluding ? 2 : 1;
    return fits != excluding ? 3 : 0;
}

size_t commonPrefix(std::u16string_view a, std::u16string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// Block numbers typed before a building name: "3-2-5", "3丁目2番5号".
size_t blockLength(std::u16string_view rest)
{
    size_t i = 0;
    while (i < rest.size()) {
        const char16_t c = rest[i];
        if (isDigit(c) || c == u'-' || c == u'番' || c == u'号' || c == u'の' || c == u'地') {
            ++i;
            continue;
        }
        if (c == u'丁' && i + 1 < rest.size() && rest[i + 1] == u'目') {
            i += 2;
            continue;
        }
        break;
    }
    return i;
}

// The cities whose addresses name a ward; people often leave the ward out.
constexpr std::u16string_view DesignatedCities[] = {
    u"札幌市", u"仙台市", u"さいたま市", u"千葉市", u"横浜市", u"川崎市", u"相模原市", u"新潟市", u"静岡市", u"浜松市",
    u"名古屋市", u"京都市", u"大阪市", u"堺市", u"神戸市", u"岡山市", u"広島市", u"北九州市", u"福岡市", u"熊本市"};

// Kyoto's street part after the ward ("河原町通御池下る", "寺町通三条上る東入"):
// its end in `key` (a comparison form), or 0 when there is none.
size_t kyotoStreetEnd(std::u16string_view key, size_t wardEnd)
{
    const std::u16string_view tail = key.substr(wardEnd, 40);
    const size_t street = tail.find(u'通');
    if (street == std::u16string_view::npos || street == 0)
        return 0;
    size_t end = 0;
    for (const std::u16string_view d : {std::u16string_view(u"上る"), std::u16string_view(u"下る"), std::u16string_view(u"東入"),
                                        std::u16string_view(u"西入")}) {
        size_t at = tail.find(d, street);
        while (at != std::u16string_view::npos) {
            end = std::max(end, at + d.size());
            at = tail.find(d, at + 1);
        }
    }
    return end > 0 ? wardEnd + end : 0;
}

// Where Kyoto's street part ends in a comparison form that has one after
// the ward (or after the city when the ward is left out), with the ward's end
// in `wardEnd`; 0 when there is none.
size_t kyotoStreet(std::u16string_view key, size_t *wardEnd)
{
    static constexpr std::u16string_view kyoto = u"京都府京都市";
    if (key.substr(0, kyoto.size()) != kyoto)
        return 0;
    size_t ward = key.find(u'区', kyoto.size());
    if (ward == std::u16string_view::npos || ward > kyoto.size() + 3)
        ward = kyoto.size() - 1;
    *wardEnd = ward + 1;
    return kyotoStreetEnd(key, ward + 1);
}

} // namespace

void PostalDictionary::reserve(qsizetype entries, qsizetype textChars)
{
    m_entries.reserve(size_t(entries));
    m_keyIndex.reserve(size_t(entries));
    m_text.reserve(textChars);
    m_keys.reserve(textChars);
}

quint32 PostalDictionary::store(QStringView s, quint16 *len)
{
    const auto at = quint32(m_text.size());
    m_text.append(s);
    *len = quint16(s.size());
    return at;
}

quint32 PostalDictionary::addTown(quint32 code, QStringView address, QStringView note, QStringView kana)
{
    if (address.isEmpty() || address.size() > MaxField || note.size() > MaxField || code > 9999999)
        return None;
    if (kana.size() > MaxField)
        kana = {};
    Entry e{};
    e.code = code;
    e.kind = Kind::Town;
    e.address = store(address, &e.addressLen);
    e.note = store(note, &e.noteLen);
    store(kana, &e.kanaLen);
    e.office = e.note;
    e.officeLen = 0;
    const auto index = quint32(m_entries.size());
    m_entries.push_back(e);
    addKey(index, e.address, e.addressLen);
    addShortenedForms(index, address);
    ++m_towns;
    return index;
}

quint32 PostalDictionary::addOffice(quint32 code, QStringView name, QStringView address, QStringView kana)
{
    if (name.isEmpty() || name.size() > MaxField || address.size() > MaxField || code > 9999999)
        return None;
    if (kana.size() > MaxField)
        kana = {};
    Entry e{};
    e.code = code;
    e.kind = Kind::Office;
    e.office = store(name, &e.officeLen);
    e.address = store(address, &e.addressLen);
    store(kana, &e.kanaLen);
    e.note = e.address;
    e.noteLen = 0;
    const auto index = quint32(m_entries.size());
    m_entries.push_back(e);
    m_officeStart.push_back(quint32(m_officeNames.size()));
    m_officeEntry.push_back(index);
    m_officeNames.append(QChar(u'\u0001'));
    AddressKey::appendOfficeName(name, m_officeNames);
    m_officeKeyStart.push_back(quint32(m_officeKeys.size()));
    // Kyoto's offices by the town after the street part, as towns are found.
    QString key = AddressKey::blockForm(AddressKey::address(address));
    size_t wardEnd = 0;
    if (const size_t end = kyotoStreet(u16(key), &wardEnd))
        key.remove(qsizetype(wardEnd), qsizetype(end - wardEnd));
    m_officeKeys.append(key);
    return index;
}

void PostalDictionary::addAlias(quint32 entry, QStringView address)
{
    if (entry >= m_entries.size() || address.isEmpty() || address.size() > MaxField)
        return;
    quint16 len = 0;
    const quint32 at = store(address, &len);
    addKey(entry, at, len);
}

void PostalDictionary::addKey(quint32 entry, quint32 display, quint16 displayLen)
{
    const auto at = quint32(m_keys.size());
    AddressKey::appendAddress(text(display, displayLen), m_keys);
    const qsizetype len = m_keys.size() - at;
    if (len == 0 || len > MaxField) {
        m_keys.truncate(at);
        return;
    }
    m_maxKey = std::max(m_maxKey, len);
    m_keyIndex.push_back(Key{at, display, quint16(len), displayLen, entry, 0});
}

// A key under which the town is found when written short; it shows the
// town's full address.
void PostalDictionary::addShortKey(quint32 entry, QStringView written)
{
    const auto at = quint32(m_keys.size());
    AddressKey::appendAddress(written, m_keys);
    const qsizetype len = m_keys.size() - at;
    if (len == 0 || len > MaxField) {
        m_keys.truncate(at);
        return;
    }
    m_maxKey = std::max(m_maxKey, len);
    const Entry &e = m_entries[entry];
    m_keyIndex.push_back(Key{at, e.address, quint16(len), e.addressLen, entry, 1});
}

// The address without the ward of a designated city ("岡山市北区学南町" as
// "岡山市学南町") or without the county ("虻田郡倶知安町" as "倶知安町").
void PostalDictionary::addShortenedForms(quint32 entry, QStringView address)
{
    const int pref = AddressKey::prefectureAt(address);
    if (pref < 0)
        return;
    const QStringView prefName = AddressKey::prefecture(pref);
    const QStringView after = address.sliced(prefName.size());
    QString shortened;
    for (const std::u16string_view city : DesignatedCities) {
        const QStringView name(city.data(), qsizetype(city.size()));
        if (!after.startsWith(name))
            continue;
        const qsizetype ward = after.indexOf(u'区', name.size());
        if (ward > name.size() && ward <= name.size() + 4) {
            shortened.append(prefName).append(name).append(after.sliced(ward + 1));
            addShortKey(entry, shortened);
        }
        return;
    }
    const qsizetype county = after.left(8).indexOf(u'郡');
    if (county <= 0)
        return;
    // The municipality after the county is a town or village, never a city
    // (大和郡山市 and 小郡市 hold 郡 in their own names).
    const QStringView rest = after.sliced(county + 1);
    qsizetype town = 1; // a municipality's name has a character before 町, 村 or 市
    while (town < rest.size() && town < 8 && rest[town] != u'町' && rest[town] != u'村' && rest[town] != u'市')
        ++town;
    if (town >= rest.size() || town >= 8)
        return;
    if (rest[town] == u'市' && !(town + 1 < rest.size() && (rest[town + 1] == u'町' || rest[town + 1] == u'村')))
        return;
    shortened.append(prefName).append(rest);
    addShortKey(entry, shortened);
}

void PostalDictionary::finish()
{
    std::sort(m_keyIndex.begin(), m_keyIndex.end(), [this](const Key &a, const Key &b) {
        const int c = keyView(a).compare(keyView(b));
        if (c != 0)
            return c < 0;
        if (m_entries[a.entry].code != m_entries[b.entry].code)
            return m_entries[a.entry].code < m_entries[b.entry].code;
        return a.entry < b.entry;
    });
    m_byCode.resize(m_entries.size());
    for (quint32 i = 0; i < m_byCode.size(); ++i)
        m_byCode[i] = i;
    // Towns before offices within one code, each in the order read.
    std::stable_sort(m_byCode.begin(), m_byCode.end(), [this](quint32 a, quint32 b) {
        const Entry &x = m_entries[a];
        const Entry &y = m_entries[b];
        if (x.code != y.code)
            return x.code < y.code;
        return x.kind < y.kind;
    });
    m_officeStart.push_back(quint32(m_officeNames.size()));
    m_officeKeyStart.push_back(quint32(m_officeKeys.size()));
    m_officeByAddress.resize(m_officeEntry.size());
    for (quint32 i = 0; i < m_officeByAddress.size(); ++i)
        m_officeByAddress[i] = i;
    std::sort(m_officeByAddress.begin(), m_officeByAddress.end(),
              [this](quint32 a, quint32 b) { return officeKeyView(a) < officeKeyView(b); });
    // Readers reserve for the largest file; give back what went unused.
    m_text.squeeze();
    m_keys.squeeze();
    m_officeNames.squeeze();
    m_officeKeys.squeeze();
    m_entries.shrink_to_fit();
    m_keyIndex.shrink_to_fit();
}

QStringView PostalDictionary::keyAddress(quint32 key) const
{
    const Key &k = m_keyIndex[key];
    return text(k.display, k.displayLen);
}

qsizetype PostalDictionary::memoryBytes() const
{
    return (m_text.capacity() + m_keys.capacity() + m_officeNames.capacity()) * 2
           + qsizetype(m_entries.capacity() * sizeof(Entry) + m_keyIndex.capacity() * sizeof(Key)
                       + (m_byCode.capacity() + m_officeStart.capacity() + m_officeEntry.capacity()
                          + m_officeKeyStart.capacity() + m_officeByAddress.capacity()) * 4)
           + m_officeKeys.capacity() * 2;
}

std::vector<PostalDictionary::Hit> PostalDictionary::findCode(QStringView digits, qsizetype limit,
                                                              qsizetype *total) const
{
    std::vector<Hit> hits;
    if (total)
        *total = 0;
    if (digits.size() < 3 || digits.size() > 7)
        return hits;
    quint32 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return hits;
        value = value * 10 + quint32(c.unicode() - u'0');
    }
    quint32 scale = 1;
    for (qsizetype i = digits.size(); i < 7; ++i)
        scale *= 10;
    const quint32 lo = value * scale;
    const quint32 hi = lo + scale;
    const auto first = std::lower_bound(m_byCode.begin(), m_byCode.end(), lo,
                                        [this](quint32 e, quint32 c) { return m_entries[e].code < c; });
    const auto last = std::lower_bound(first, m_byCode.end(), hi,
                                       [this](quint32 e, quint32 c) { return m_entries[e].code < c; });
    if (total)
        *total = last - first;
    for (auto it = first; it != last && qsizetype(hits.size()) < limit; ++it)
        hits.push_back(Hit{*it, None, 0});
    return hits;
}

std::pair<qsizetype, qsizetype> PostalDictionary::exactKeys(std::u16string_view key) const
{
    const auto first = std::lower_bound(m_keyIndex.begin(), m_keyIndex.end(), key,
                                        [this](const Key &k, std::u16string_view q) { return keyView(k) < q; });
    auto last = first;
    while (last != m_keyIndex.end() && keyView(*last) == key)
        ++last;
    return {first - m_keyIndex.begin(), last - m_keyIndex.begin()};
}

// The length of the longest key that `query` starts with (0: none). Any such
// key sorts before the query, and every key between them shares its prefix,
// so the predecessor's common prefix bounds the answer at each step.
qsizetype PostalDictionary::longestPrefix(std::u16string_view query) const
{
    size_t len = std::min(query.size(), size_t(m_maxKey));
    while (len > 0) {
        const std::u16string_view probe = query.substr(0, len);
        const auto it = std::lower_bound(m_keyIndex.begin(), m_keyIndex.end(), probe,
                                         [this](const Key &k, std::u16string_view q) { return keyView(k) < q; });
        if (it != m_keyIndex.end() && keyView(*it) == probe)
            return qsizetype(len);
        if (it == m_keyIndex.begin())
            return 0;
        const size_t common = commonPrefix(keyView(*(it - 1)), probe);
        if (common >= len)
            return 0;
        len = common;
    }
    return 0;
}

void PostalDictionary::rank(std::vector<Hit> &hits, std::u16string_view rest, std::u16string_view street) const
{
    for (Hit &h : hits) {
        const QStringView raw = note(h.entry);
        const QString noteKey = AddressKey::address(raw);
        // Twice the note's fit, one more for the address as the dictionary
        // writes it than for a shortened one, and two more when a Kyoto
        // street set aside is the one the note names.
        h.score = 2 * noteScore(u16(raw), u16(noteKey), rest) + (m_keyIndex[h.key].shortened ? 0 : 1);
        if (!street.empty() && u16(noteKey).find(street) != std::u16string_view::npos)
            h.score += 2;
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit &a, const Hit &b) { return a.score > b.score; });
}

PostalDictionary::AddressResult PostalDictionary::findAddress(QStringView typed) const
{
    AddressResult result;
    std::vector<qsizetype> origin;
    QString query;
    query.reserve(typed.size() + 8);
    AddressKey::appendAddress(typed, query, &origin);
    if (query.isEmpty() || m_keyIndex.empty())
        return result;

    // Without a prefecture, try the address under each one and keep the
    // longest matches (府中市 is in two prefectures).
    struct Match
    {
        QString query;
        qsizetype prefix; // characters put in front of the typed text
        qsizetype length; // matched characters of `query`
        std::vector<qsizetype> origin; // per character of `query`, in the typed text (-1: put in front)
        std::u16string street; // a Kyoto street part set aside
    };
    std::vector<Match> best;
    auto consider = [&](std::vector<Match> &into, QString q, qsizetype prefix, std::vector<qsizetype> from) {
        qsizetype len = longestPrefix(u16(q));
        // A ward the dictionary does not know after a city (an old name,
        // 浜松市中区 after the wards were redrawn): the town after it is
        // looked up in the whole city.
        if (len > 0 && q[len - 1] == u'市') {
            const qsizetype ward = QStringView(q).sliced(len).left(5).indexOf(u'区');
            if (ward > 0) {
                QString without = q.left(len) + QStringView(q).sliced(len + ward + 1);
                qsizetype l2 = longestPrefix(u16(without));
                // A regional ward (地域自治区) whose name Japan Post writes
                // as the start of the town: "宇陀市大宇陀区迫間" is
                // "宇陀市大宇陀迫間".
                QString named = q.left(len + ward) + QStringView(q).sliced(len + ward + 1);
                const qsizetype l3 = longestPrefix(u16(named));
                if (l3 > len + ward && l3 > l2) {
                    from.erase(from.begin() + len + ward);
                    q = std::move(named);
                    len = l3;
                } else if (l2 > len) {
                    from.erase(from.begin() + len, from.begin() + len + ward + 1);
                    q = std::move(without);
                    len = l2;
                }
            }
        }
        // The name of a 大字 that the dictionary leaves out ("長野市大字長野
        // 元善町" is "長野市元善町"): after 大字 or 字, up to four characters
        // passed over when the town follows them.
        if (len > 0 && len < q.size() && from[size_t(len)] >= 1 && typed[from[size_t(len)] - 1] == u'字') {
            for (qsizetype skip = 1; skip <= 4 && len + skip < q.size(); ++skip) {
                QString without = q.left(len) + QStringView(q).sliced(len + skip);
                const qsizetype l2 = longestPrefix(u16(without));
                if (l2 >= len + 2) {
                    from.erase(from.begin() + len, from.begin() + len + skip);
                    q = std::move(without);
                    len = l2;
                    break;
                }
            }
        }
        Match m{std::move(q), prefix, len, std::move(from), {}};
        // Kyoto: a street part that the dictionary does not list is set
        // aside, and the town after it matched.
        size_t wardEnd = 0;
        if (const size_t end = kyotoStreet(u16(m.query), &wardEnd)) {
            const qsizetype ward = qsizetype(wardEnd) - 1;
            if (size_t(len) < end) {
                QString without = m.query.left(ward + 1) + QStringView(m.query).sliced(qsizetype(end));
                std::vector<qsizetype> o(m.origin.begin(), m.origin.begin() + ward + 1);
                o.insert(o.end(), m.origin.begin() + qsizetype(end), m.origin.end());
                const qsizetype l2 = longestPrefix(u16(without));
                if (l2 > ward + 1) {
                    const QStringView part = QStringView(m.query).sliced(ward + 1, qsizetype(end) - ward - 1);
                    const qsizetype through = part.indexOf(u'通');
                    m.street = u16(part.left(through + 1));
                    m.query = std::move(without);
                    m.length = l2;
                    m.origin = std::move(o);
                }
            }
        }
        if (m.length > 0)
            into.push_back(std::move(m));
    };
    if (AddressKey::prefectureAt(query) >= 0) {
        consider(best, query, 0, origin);
    } else {
        qsizetype bestTyped = 0;
        for (int p = 0; p < AddressKey::PrefectureCount; ++p) {
            const QStringView pref = AddressKey::prefecture(p);
            std::vector<Match> one;
            std::vector<qsizetype> from(size_t(pref.size()), -1);
            from.insert(from.end(), origin.begin(), origin.end());
            consider(one, pref + query, pref.size(), std::move(from));
            if (one.empty())
                continue;
            Match &m = one.front();
            // Typed characters matched: the last matched one's place.
            const qsizetype last = m.origin[size_t(m.length - 1)];
            const qsizetype typedLen = last < 0 ? 0 : last + 1;
            if (typedLen < 2 || typedLen < bestTyped)
                continue;
            if (typedLen > bestTyped)
                best.clear();
            bestTyped = typedLen;
            best.push_back(std::move(m));
        }
    }
    if (best.empty())
        return result;

    const Match &first = best.front();
    const qsizetype lastTyped = first.origin[size_t(first.length - 1)];
    if (lastTyped < 0)
        return {};
    result.restFrom = lastTyped + 1;
    result.rest = QStringView(first.query).sliced(first.length).toString();

    std::vector<Hit> buildings;
    std::vector<Hit> towns;
    for (const Match &m : best) {
        const std::u16string_view q = u16(m.query);
        const std::u16string_view matched = q.substr(0, size_t(m.length));
        const std::u16string_view rest = q.substr(size_t(m.length));
        const auto [firstKey, lastKey] = exactKeys(matched);
        std::vector<Hit> level;
        for (qsizetype k = firstKey; k < lastKey; ++k)
            level.push_back(Hit{m_keyIndex[size_t(k)].entry, quint32(k), 0});
        rank(level, rest, m.street);
        if (result.prefixKey == None && firstKey < lastKey)
            result.prefixKey = quint32(firstKey);
        towns.insert(towns.end(), level.begin(), level.end());

        // A building named after the block numbers has its own codes by floor.
        const size_t block = blockLength(rest);
        if (block > 0 && block < rest.size()) {
            std::u16string building(matched);
            building += rest.substr(block);
            const qsizetype len = longestPrefix(building);
            if (size_t(len) > matched.size()) {
                const auto [bf, bl] = exactKeys(std::u16string_view(building).substr(0, size_t(len)));
                std::vector<Hit> floors;
                for (qsizetype k = bf; k < bl; ++k)
                    floors.push_back(Hit{m_keyIndex[size_t(k)].entry, quint32(k), 0});
                rank(floors, std::u16string_view(building).substr(size_t(len)));
                buildings.insert(buildings.end(), floors.begin(), floors.end());
            }
        }
    }
    for (Hit &h : buildings)
        h.score += 10;
    result.hits = std::move(buildings);
    result.hits.insert(result.hits.end(), towns.begin(), towns.end());
    return result;
}

std::vector<PostalDictionary::Hit> PostalDictionary::completeAddress(QStringView typed, qsizetype limit) const
{
    std::vector<Hit> hits;
    QString query = AddressKey::address(typed);
    if (query.isEmpty() || limit <= 0)
        return hits;
    auto collect = [&](std::u16string_view q) {
        auto it = std::lower_bound(m_keyIndex.begin(), m_keyIndex.end(), q,
                                   [this](const Key &k, std::u16string_view v) { return keyView(k) < v; });
        for (; it != m_keyIndex.end() && qsizetype(hits.size()) < limit; ++it) {
            if (keyView(*it).substr(0, q.size()) != q)
                break;
            hits.push_back(Hit{it->entry, quint32(it - m_keyIndex.begin()), 0});
        }
    };
    if (AddressKey::prefectureAt(query) >= 0) {
        collect(u16(query));
    } else {
        for (int p = 0; p < AddressKey::PrefectureCount && qsizetype(hits.size()) < limit; ++p) {
            const QString q = AddressKey::prefecture(p) + query;
            collect(u16(q));
        }
    }
    return hits;
}

std::vector<PostalDictionary::Hit> PostalDictionary::findTownName(QStringView typed, qsizetype limit,
                                                                 qsizetype *nameEnd) const
{
    std::vector<Hit> hits;
    // The name: what comes before the first digit.
    qsizetype end = 0;
    while (end < typed.size() && !typed[end].isDigit())
        ++end;
    if (nameEnd)
        *nameEnd = end;
    const QString name = AddressKey::address(typed.left(end));
    if (name.isEmpty() || limit <= 0 || m_keyIndex.empty() || AddressKey::prefectureAt(name) >= 0)
        return hits;
    const std::u16string_view n = u16(name);
    const auto isCity = [this](std::u16string_view key) {
        const auto [first, last] = exactKeys(key);
        for (qsizetype k = first; k < last; ++k)
            if (note(m_keyIndex[size_t(k)].entry).startsWith(u"以下に掲載がない場合"))
                return true;
        return false;
    };
    const auto isFloor = [this](quint32 entry) { return note(entry).contains(u'階'); };
    struct Town
    {
        std::u16string_view key; // the town's key (a building's town for its floors)
        bool exact = false;
        std::vector<quint32> keys;
        std::vector<quint32> codes;
        qsizetype weight = 0;
    };
    std::vector<Town> towns;
    for (quint32 k = 0; k < m_keyIndex.size(); ++k) {
        const Key &key = m_keyIndex[k];
        if (key.shortened)
            continue;
        const std::u16string_view v = keyView(key);
        const size_t at = v.find(n);
        if (at == std::u16string_view::npos || at < 3)
            continue;
        // Where the town's name begins: right at the match, or after a ward
        // or city typed with it; the match must begin where a name does.
        size_t town = std::u16string_view::npos;
        for (size_t c = at; c < at + n.size() && town == std::u16string_view::npos; ++c)
            if (isCity(v.substr(0, c)))
                town = c;
        if (town == std::u16string_view::npos)
            continue;
        if (town != at) {
            const char16_t before = v[at - 1];
            const int pref = AddressKey::prefectureAt(QStringView(v.data(), qsizetype(at)));
            const bool prefectureEnd = pref >= 0 && AddressKey::prefecture(pref).size() == qsizetype(at);
            if (!prefectureEnd && before != u'市' && before != u'郡')
                continue;
        }
        const std::u16string_view named = v.substr(0, at + n.size());
        const bool floor = isFloor(key.entry) && named.size() < v.size() && exactKeys(named).first < exactKeys(named).second;
        const std::u16string_view townKey = floor ? named : v;
        auto it = std::find_if(towns.begin(), towns.end(), [&](const Town &t) { return t.key == townKey; });
        if (it == towns.end()) {
            towns.push_back(Town{townKey, townKey.size() == named.size(), {}, {}, 0});
            it = towns.end() - 1;
        }
        if (!floor)
            it->keys.push_back(k);
        const quint32 code = m_entries[key.entry].code;
        if (std::find(it->codes.begin(), it->codes.end(), code) == it->codes.end())
            it->codes.push_back(code);
    }
    for (Town &t : towns) {
        // Offices in the town count with its codes.
        const QString officeKey = AddressKey::blockForm(QStringView(t.key.data(), qsizetype(t.key.size())));
        const std::u16string_view o = u16(officeKey);
        auto it = std::lower_bound(m_officeByAddress.begin(), m_officeByAddress.end(), o,
                                   [this](quint32 item, std::u16string_view v) { return officeKeyView(item) < v; });
        qsizetype offices = 0;
        for (; it != m_officeByAddress.end() && offices < 100000; ++it, ++offices)
            if (officeKeyView(*it).substr(0, o.size()) != o)
                break;
        t.weight = qsizetype(t.codes.size()) + offices;
    }
    std::stable_sort(towns.begin(), towns.end(), [](const Town &a, const Town &b) {
        if (a.exact != b.exact)
            return a.exact;
        return a.weight > b.weight;
    });
    // Within a town, its codes ranked by the block number typed after it.
    const QString rest = AddressKey::address(typed.sliced(end));
    for (const Town &t : towns) {
        if (qsizetype(hits.size()) >= limit)
            break;
        std::vector<Hit> own;
        for (const quint32 k : t.keys)
            own.push_back(Hit{m_keyIndex[k].entry, k, 0});
        rank(own, u16(rest));
        hits.insert(hits.end(), own.begin(), own.end());
    }
    return hits;
}

std::vector<PostalDictionary::Hit> PostalDictionary::findOffice(QStringView name, qsizetype limit) const
{
    std::vector<Hit> hits;
    const QString query = AddressKey::officeName(name);
    if (query.isEmpty() || m_officeEntry.empty())
        return hits;
    const QStringView pool(m_officeNames);
    qsizetype from = 0;
    while (qsizetype(hits.size()) < limit) {
        const qsizetype at = pool.indexOf(query, from);
        if (at < 0)
            break;
        const auto it = std::upper_bound(m_officeStart.begin(), m_officeStart.end(), quint32(at));
        const size_t item = size_t(it - m_officeStart.begin()) - 1;
        hits.push_back(Hit{m_officeEntry[item], None, 0});
        from = qsizetype(m_officeStart[item + 1]);
    }
    return hits;
}

std::vector<PostalDictionary::OfficeAt> PostalDictionary::officesAt(QStringView town, QStringView rest,
                                                                    QStringView workplaceKey, qsizetype limit,
                                                                    bool blockOnly) const
{
    std::vector<OfficeAt> out;
    if (m_officeByAddress.empty() || town.isEmpty())
        return out;
    const QString townKey = AddressKey::blockForm(AddressKey::address(town));
    const QString restKey = AddressKey::blockForm(rest);
    const std::u16string_view t = u16(townKey);
    const std::u16string_view typed = u16(restKey);
    // The town and the typed number: where the offices at the block are.
    QString numbered;
    if (blockOnly && !typed.empty() && isDigit(typed.front())) {
        size_t digits = 0;
        while (digits < typed.size() && isDigit(typed[digits]))
            ++digits;
        numbered = townKey + QStringView(restKey).left(qsizetype(digits));
    }
    const std::u16string_view from = numbered.isEmpty() ? t : u16(numbered);
    // A university hospital that Japan Post lists as the university's
    // medical school ("慶應義塾大学病院" is "慶應義塾大学　医学部").
    const QString school = workplaceKey.endsWith(u"大学病院") ? workplaceKey.chopped(2) + u"医学部" : QString();
    auto it = std::lower_bound(m_officeByAddress.begin(), m_officeByAddress.end(), from,
                               [this](quint32 item, std::u16string_view v) { return officeKeyView(item) < v; });
    for (qsizetype seen = 0; it != m_officeByAddress.end() && seen < limit; ++it, ++seen) {
        const std::u16string_view key = officeKeyView(*it);
        if (key.substr(0, from.size()) != from)
            break;
        // The office's own block number, after any part of the town name
        // the dictionary does not list ("…外原3244-2", "…七曲23").
        const std::u16string_view after = key.substr(t.size());
        size_t b = 0;
        while (b < after.size() && !isDigit(after[b]))
            ++b;
        while (b < after.size() && (isDigit(after[b]) || after[b] == u'-'))
            ++b;
        const std::u16string_view own = after.substr(0, b);
        int block = !own.empty() && isDigit(own.back()) && typed.substr(0, own.size()) == own
                    && (typed.size() == own.size() || !isDigit(typed[own.size()]));
        // The building and floor after it as well ("…ビル9F").
        if (block && after.size() > own.size() && typed.substr(0, after.size()) == after)
            block = 2;
        // A block number typed that the office's own contradicts: the
        // workplace may be named, but not at this address (another branch).
        size_t typedEnd = 0;
        while (typedEnd < typed.size() && (isDigit(typed[typedEnd]) || typed[typedEnd] == u'-'))
            ++typedEnd;
        const std::u16string_view typedNumber = typed.substr(0, typedEnd);
        const bool lessSpecific = !typedNumber.empty() && own.substr(0, typedNumber.size()) == typedNumber
                                  && (own.size() == typedNumber.size() || own[typedNumber.size()] == u'-');
        const bool elsewhere = !block && !lessSpecific && !typedNumber.empty() && isDigit(typedNumber.front())
                               && !own.empty() && isDigit(own.back());
        int named = 0;
        if (workplaceKey.size() >= 2 && !elsewhere) {
            const QStringView name = QStringView(m_officeNames).sliced(m_officeStart[*it] + 1,
                                                                      m_officeStart[*it + 1] - m_officeStart[*it] - 1);
            if (name == workplaceKey) {
                named = 10000;
            } else if (!school.isEmpty() && name == school) {
                named = 9000;
            } else if (name.size() >= 2 && (name.contains(workplaceKey) || workplaceKey.contains(name))) {
                named = int(std::max<qsizetype>(1, 1000 - std::abs(name.size() - workplaceKey.size())));
                // Of an organisation's offices, its head office answers for
                // the organisation.
                if (name.size() > workplaceKey.size()) {
                    const QString part = name.toString().remove(workplaceKey.toString());
                    for (const char16_t *head : {u"本部", u"本社", u"本店", u"本庁"})
                        if (part.contains(QStringView(head)))
                            named += 500;
                }
            } else if (block && name.size() >= 4 && workplaceKey.size() >= 4) {
                // At its block number, a name that differs in its middle
                // only (a former name: 国立がんセンター東病院 for
                // 国立がん研究センター東病院) agrees weakly.
                const size_t shorter = size_t(std::min(name.size(), workplaceKey.size()));
                const size_t pre = commonPrefix(u16(name), u16(workplaceKey));
                size_t suf = 0;
                while (suf + pre < shorter && name[name.size() - 1 - qsizetype(suf)] == workplaceKey[workplaceKey.size() - 1 - qsizetype(suf)])
                    ++suf;
                if (pre >= 2 && suf >= 2 && (pre + suf) * 10 >= size_t(std::max(name.size(), workplaceKey.size())) * 7)
                    named = 1;
            }
        }
        out.push_back(OfficeAt{m_officeEntry[*it], block, named});
    }
    return out;
}

