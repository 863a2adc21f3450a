#include "PostalDictionary.h"

#include "core/lookup/AddressKey.h"

#include <algorithm>

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

// The floor the rest of a typed address names ("12階", "12F"), or -1.
int floorNumber(std::u16string_view s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'階' && s[i] != u'F')
            continue;
        size_t b = i;
        while (b > 0 && isDigit(s[b - 1]))
            --b;
        if (b < i && i - b < 4)
            return leadingNumber(s.substr(b, i - b));
    }
    return -1;
}

struct Range
{
    int from;
    int to;
};

// The numbers and ranges a note lists: "1~19丁目", "1・3丁目", "第2地割~第5地割",
// "664番地以降".
std::vector<Range> noteRanges(std::u16string_view note)
{
    std::vector<Range> ranges;
    size_t i = 0;
    while (i < note.size()) {
        if (!isDigit(note[i])) {
            ++i;
            continue;
        }
        int a = 0;
        while (i < note.size() && isDigit(note[i]) && a < 1000000)
            a = a * 10 + (note[i++] - u'0');
        while (i < note.size() && isDigit(note[i]))
            ++i;
        // Skip a unit ("丁目", "番地", "地割") to a following "~".
        size_t j = i;
        while (j < note.size() && j - i < 4 && !isDigit(note[j]) && note[j] != u'~' && note[j] != u'、'
               && note[j] != u'・' && note[j] != u',')
            ++j;
        if (j < note.size() && note[j] == u'~') {
            size_t k = j + 1;
            while (k < note.size() && k - j < 3 && !isDigit(note[k]))
                ++k;
            if (k < note.size() && isDigit(note[k])) {
                int b = 0;
                while (k < note.size() && isDigit(note[k]) && b < 1000000)
                    b = b * 10 + (note[k++] - u'0');
                ranges.push_back({a, b});
                i = k;
                continue;
            }
        }
        const std::u16string_view after = note.substr(i, 6);
        if (after.find(u"以降") != std::u16string_view::npos || after.find(u"以上") != std::u16string_view::npos)
            ranges.push_back({a, std::numeric_limits<int>::max()});
        else
            ranges.push_back({a, a});
    }
    return ranges;
}

bool contains(const std::vector<Range> &ranges, int n)
{
    return std::any_of(ranges.begin(), ranges.end(), [n](const Range &r) { return n >= r.from && n <= r.to; });
}

// How well a note fits what was typed after the dictionary address: 3 names
// the typed number, 2 is the plain or "all the rest" entry, 1 a fallback, 0 a
// note that names other numbers.
int noteScore(std::u16string_view note, std::u16string_view rest)
{
    if (note.empty())
        return 2;
    const bool excluding = note.find(u"除く") != std::u16string_view::npos;
    const std::vector<Range> ranges = noteRanges(note);
    if (note.find(u'階') != std::u16string_view::npos) {
        const int floor = floorNumber(rest);
        if (ranges.empty())
            return floor < 0 ? 2 : 1; // 地階・階層不明
        return floor >= 0 && contains(ranges, floor) ? 3 : 0;
    }
    if (ranges.empty()) {
        if (note.find(u"以下に掲載がない場合") != std::u16string_view::npos)
            return 1;
        return 2;
    }
    const int n = leadingNumber(rest);
    if (n < 0)
        return excluding ? 2 : 1;
    return contains(ranges, n) != excluding ? 3 : 0;
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

quint32 PostalDictionary::addTown(quint32 code, QStringView address, QStringView note)
{
    if (address.isEmpty() || address.size() > MaxField || note.size() > MaxField || code > 9999999)
        return None;
    Entry e{};
    e.code = code;
    e.kind = Kind::Town;
    e.address = store(address, &e.addressLen);
    e.note = store(note, &e.noteLen);
    e.office = e.note;
    e.officeLen = 0;
    const auto index = quint32(m_entries.size());
    m_entries.push_back(e);
    addKey(index, e.address, e.addressLen);
    ++m_towns;
    return index;
}

quint32 PostalDictionary::addOffice(quint32 code, QStringView name, QStringView address)
{
    if (name.isEmpty() || name.size() > MaxField || address.size() > MaxField || code > 9999999)
        return None;
    Entry e{};
    e.code = code;
    e.kind = Kind::Office;
    e.office = store(name, &e.officeLen);
    e.address = store(address, &e.addressLen);
    e.note = e.address;
    e.noteLen = 0;
    const auto index = quint32(m_entries.size());
    m_entries.push_back(e);
    m_officeStart.push_back(quint32(m_officeNames.size()));
    m_officeEntry.push_back(index);
    m_officeNames.append(QChar(u'\u0001'));
    AddressKey::appendOfficeName(name, m_officeNames);
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
    m_keyIndex.push_back(Key{at, display, quint16(len), displayLen, entry});
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
    // Readers reserve for the largest file; give back what went unused.
    m_text.squeeze();
    m_keys.squeeze();
    m_officeNames.squeeze();
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
                       + (m_byCode.capacity() + m_officeStart.capacity() + m_officeEntry.capacity()) * 4);
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

void PostalDictionary::rank(std::vector<Hit> &hits, std::u16string_view rest) const
{
    for (Hit &h : hits) {
        const QString noteKey = AddressKey::address(note(h.entry));
        h.score = noteScore(u16(noteKey), rest);
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
    };
    std::vector<Match> best;
    if (AddressKey::prefectureAt(query) >= 0) {
        const qsizetype len = longestPrefix(u16(query));
        if (len > 0)
            best.push_back({query, 0, len});
    } else {
        qsizetype bestTyped = 0;
        for (int p = 0; p < AddressKey::PrefectureCount; ++p) {
            const QStringView pref = AddressKey::prefecture(p);
            QString q = pref + query;
            const qsizetype len = longestPrefix(u16(q));
            const qsizetype typedLen = len - pref.size();
            if (typedLen < 2 || typedLen < bestTyped)
                continue;
            if (typedLen > bestTyped)
                best.clear();
            bestTyped = typedLen;
            best.push_back({std::move(q), pref.size(), len});
        }
    }
    if (best.empty())
        return result;

    const qsizetype matchedTyped = best.front().length - best.front().prefix;
    result.restFrom = origin[size_t(matchedTyped - 1)] + 1;

    std::vector<Hit> buildings;
    std::vector<Hit> towns;
    for (const Match &m : best) {
        const std::u16string_view q = u16(m.query);
        const std::u16string_view matched = q.substr(0, size_t(m.length));
        const std::u16string_view rest = q.substr(size_t(m.length));
        const auto [first, last] = exactKeys(matched);
        std::vector<Hit> level;
        for (qsizetype k = first; k < last; ++k)
            level.push_back(Hit{m_keyIndex[size_t(k)].entry, quint32(k), 0});
        rank(level, rest);
        if (result.prefixKey == None && first < last)
            result.prefixKey = quint32(first);
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
