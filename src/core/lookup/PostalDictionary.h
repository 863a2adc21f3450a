#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

// The postal dictionary in memory: towns and offices with their postal codes,
// held in two string pools with sorted index arrays, so that loading makes few
// allocations and every lookup is a handful of binary searches.
//
// Readers add entries (addTown, addOffice, addAlias) and then call finish(),
// which builds the indexes; lookups are valid only after that.
class PostalDictionary
{
public:
    static constexpr quint32 None = std::numeric_limits<quint32>::max();

    enum class Kind : quint8 { Town, Office };

    // Where a part of the data came from, for the search window and reports.
    struct Source
    {
        QString label;  // e.g. "郵便番号" or "事業所"
        QString path;
        QDate date;
        qsizetype records = 0; // entries taken
        qsizetype skipped = 0; // malformed lines or candidates left out
        QString error;         // why the file gave nothing, naming the path
    };

    // One candidate: an entry, reached through one of its address keys (or
    // None when it was found by code or name), ranked by score (higher first).
    struct Hit
    {
        quint32 entry = None;
        quint32 key = None;
        int score = 0;
    };

    struct AddressResult
    {
        std::vector<Hit> hits;    // best first
        qsizetype restFrom = -1;  // index in the typed text after the matched address
        quint32 prefixKey = None; // the dictionary address the typed text starts with
        QString rest;             // comparison form of what follows the matched address
    };

    // An office at a town, and whether its block number is the typed one.
    struct OfficeAt
    {
        quint32 entry = None;
        int block = 0; // 1: its block number is the typed one; 2: its building and floor too
        // How closely its name and the workplace agree: 0 when neither
        // contains the other, 10000 when they are equal, 9000 when the
        // workplace is a university hospital and the office its medical
        // school, 1 at its block number for a name that differs in its
        // middle only (a former name), else higher the nearer their lengths.
        int named = 0;
    };

    // ---- building ----
    // `address` is the full address shown and returned; `note` the remark that
    // tells codes of one address apart (丁目 ranges, floors, 以下に掲載がない場合).
    // `kana` is the reading Japan Post gives (half-width katakana), if any.
    quint32 addTown(quint32 code, QStringView address, QStringView note, QStringView kana = {});
    quint32 addOffice(quint32 code, QStringView name, QStringView address, QStringView kana = {});
    // Another spelling under which the town is found (Kyoto's street forms).
    void addAlias(quint32 entry, QStringView address);
    void finish();
    void reserve(qsizetype entries, qsizetype textChars);

    std::vector<Source> sources;

    // ---- lookups ----
    qsizetype size() const { return qsizetype(m_entries.size()); }
    qsizetype townCount() const { return m_towns; }
    qsizetype officeCount() const { return qsizetype(m_entries.size()) - m_towns; }
    bool isEmpty() const { return m_entries.empty(); }

    quint32 code(quint32 entry) const { return m_entries[entry].code; }
    Kind kind(quint32 entry) const { return m_entries[entry].kind; }
    QStringView address(quint32 entry) const { return text(m_entries[entry].address, m_entries[entry].addressLen); }
    QStringView note(quint32 entry) const { return text(m_entries[entry].note, m_entries[entry].noteLen); }
    QStringView officeName(quint32 entry) const { return text(m_entries[entry].office, m_entries[entry].officeLen); }
    // The town's or office name's reading, stored right after the entry's
    // last text (the note of a town, the address of an office).
    QStringView kana(quint32 entry) const
    {
        const Entry &e = m_entries[entry];
        return e.kind == Kind::Town ? text(e.note + e.noteLen, e.kanaLen) : text(e.address + e.addressLen, e.kanaLen);
    }
    // The address a key stands for (an alias's own spelling).
    QStringView keyAddress(quint32 key) const;
    // The key's comparison form (AddressKey::address of what it stands for).
    QStringView keyForm(quint32 key) const
    {
        const Key &k = m_keyIndex[key];
        return QStringView(m_keys).sliced(k.key, k.keyLen);
    }

    // Every entry whose code starts with `digits` (3 to 7 digits), towns
    // before offices within one code, at most `limit`; `total` gets the count.
    std::vector<Hit> findCode(QStringView digits, qsizetype limit, qsizetype *total = nullptr) const;
    // Towns whose address the typed address starts with, longest first; ties
    // ranked by how well their notes fit the rest of the typed address.
    AddressResult findAddress(QStringView typed) const;
    // Towns whose address starts with the typed address, in address order.
    std::vector<Hit> completeAddress(QStringView typed, qsizetype limit) const;
    // Towns of a name across Japan, for a town typed without its city
    // ("梅田", "丸の内1-1") or with no more than its ward or city ("北区梅田"):
    // those whose name is the typed one before those whose name starts with
    // it, then those with more codes and offices (a building's floors count
    // for its town), each town's entries together, towns added while fewer
    // than `limit` entries are listed.
    // `nameEnd` gets where the name ends in `typed` (the block number after
    // it is the caller's).
    std::vector<Hit> findTownName(QStringView typed, qsizetype limit, qsizetype *nameEnd = nullptr) const;
    // Offices whose name contains the typed name part.
    std::vector<Hit> findOffice(QStringView name, qsizetype limit) const;
    // Offices whose address lies in the town `town` (a dictionary address),
    // at most `limit` looked at: whether their block number (and building) is
    // the one `rest` (comparison form of what was typed after the town)
    // starts with, and
    // whether their name and `workplaceKey` (AddressKey::officeName of the
    // workplace) contain one another.
    // With `blockOnly`, a rest that starts with a number: only the offices
    // whose address starts with the town and that number are looked at.
    std::vector<OfficeAt> officesAt(QStringView town, QStringView rest, QStringView workplaceKey,
                                    qsizetype limit, bool blockOnly = false) const;

    // Bytes held by the pools and indexes.
    qsizetype memoryBytes() const;

    // ---- the compiled form (PostalCache) ----
    // Raise when a member is added to stored() or Entry or Key change.
    static constexpr quint32 StoredFormat = 2;
    // Every member that a finished dictionary needs MUST be listed here, once
    // and in a fixed order: the cache writes exactly these and nothing else.
    // Each comes with the bounds its values must keep, which the cache checks
    // for every value it reads before the dictionary is used (`io.check` for
    // what relates members). A new member is one line here (a pool, a
    // vector whose items are checked, or a number) and a raised StoredFormat.
    template<typename Io>
    bool stored(Io &io)
    {
        const auto inText = [this](quint32 at, quint16 len) { return qsizetype(at) + len <= m_text.size(); };
        const auto anEntry = [this](quint32 e) { return e < m_entries.size(); };
        quint32 officeAt = 0;
        quint32 officeKeyAt = 0;
        return io.pool(m_text) && io.pool(m_keys) && io.pool(m_officeNames) && io.pool(m_officeKeys)
               && io.number(m_maxKey, [](qsizetype n) { return n >= 0 && n <= 0xFFFF; })
               && io.items(m_entries,
                           [&](const Entry &e) {
                               return e.code <= 9999999 && (e.kind == Kind::Town || e.kind == Kind::Office)
                                      && inText(e.address, e.addressLen) && inText(e.note, e.noteLen)
                                      && inText(e.office, e.officeLen)
                                      && (e.kind == Kind::Town ? inText(e.note + e.noteLen, e.kanaLen)
                                                               : inText(e.address + e.addressLen, e.kanaLen));
                           })
               && io.number(m_towns, [this](qsizetype n) { return n >= 0 && n <= size(); })
               && io.items(m_keyIndex,
                           [&](const Key &k) {
                               return k.keyLen > 0 && k.keyLen <= m_maxKey && qsizetype(k.key) + k.keyLen <= m_keys.size()
                                      && inText(k.display, k.displayLen) && anEntry(k.entry) && k.shortened <= 1;
                           })
               && io.items(m_byCode, anEntry) && io.check(m_byCode.size() == m_entries.size())
               && io.items(m_officeStart,
                           [&](quint32 at) {
                               const bool ok = at >= officeAt && at <= m_officeNames.size();
                               officeAt = at;
                               return ok;
                           })
               && io.items(m_officeEntry, anEntry)
               && io.check(m_officeStart.size() == m_officeEntry.size() + 1 && m_officeStart.front() == 0
                           && m_officeStart.back() == m_officeNames.size())
               && io.items(m_officeKeyStart,
                           [&](quint32 at) {
                               const bool ok = at >= officeKeyAt && at <= m_officeKeys.size();
                               officeKeyAt = at;
                               return ok;
                           })
               && io.check(m_officeKeyStart.size() == m_officeEntry.size() + 1 && m_officeKeyStart.front() == 0
                           && m_officeKeyStart.back() == m_officeKeys.size())
               && io.items(m_officeByAddress, [this](quint32 item) { return item < m_officeEntry.size(); })
               && io.check(m_officeByAddress.size() == m_officeEntry.size());
    }

private:
    struct Entry
    {
        quint32 code;
        quint32 address;
        quint32 note;
        quint32 office;
        quint16 addressLen;
        quint16 noteLen;
        quint16 officeLen;
        quint16 kanaLen;
        Kind kind;
    };
    struct Key
    {
        quint32 key; // in m_keys
        quint32 display;
        quint16 keyLen;
        quint16 displayLen;
        quint32 entry;
        quint8 shortened; // the address without its ward or county
    };

    quint32 store(QStringView s, quint16 *len);
    void addKey(quint32 entry, quint32 display, quint16 displayLen);
    void addShortKey(quint32 entry, QStringView written);
    void addShortenedForms(quint32 entry, QStringView address);
    QStringView text(quint32 at, quint16 len) const { return QStringView(m_text).sliced(at, len); }
    std::u16string_view keyView(const Key &k) const
    {
        return {reinterpret_cast<const char16_t *>(m_keys.constData()) + k.key, k.keyLen};
    }
    std::pair<qsizetype, qsizetype> exactKeys(std::u16string_view key) const;
    qsizetype longestPrefix(std::u16string_view query) const;
    void rank(std::vector<Hit> &hits, std::u16string_view rest, std::u16string_view street = {}) const;
    std::u16string_view officeKeyView(quint32 item) const
    {
        return {reinterpret_cast<const char16_t *>(m_officeKeys.constData()) + m_officeKeyStart[item],
                size_t(m_officeKeyStart[item + 1] - m_officeKeyStart[item])};
    }

    // Every member below is plain data (pools of text and vectors of plain
    // structs and numbers); a compiled copy of the dictionary stores them all:
    //   m_text, m_keys, m_officeNames, m_officeKeys  (text pools)
    //   m_entries (with Entry::kanaLen; the kana is in m_text), m_keyIndex
    //   (with Key::shortened), m_byCode, m_officeStart,
    //   m_officeEntry, m_officeKeyStart, m_officeByAddress  (vectors)
    //   m_towns, m_maxKey  (numbers)
    QString m_text;                // every address, note and name
    QString m_keys;                // comparison forms of addresses
    QString m_officeNames;         // comparison forms of office names, each after U+0001
    std::vector<Entry> m_entries;
    std::vector<Key> m_keyIndex;   // sorted by comparison form, then code
    std::vector<quint32> m_byCode; // entry numbers sorted by code
    std::vector<quint32> m_officeStart; // start of each name in m_officeNames
    std::vector<quint32> m_officeEntry;
    QString m_officeKeys;                 // comparison forms of office addresses, block numbers as "1-2-3"
    std::vector<quint32> m_officeKeyStart; // start of each office's address in m_officeKeys (office item order)
    std::vector<quint32> m_officeByAddress; // office items sorted by their address form
    qsizetype m_towns = 0;
    qsizetype m_maxKey = 0;
    QString m_scratch;
};
