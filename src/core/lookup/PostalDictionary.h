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
    };

    // ---- building ----
    // `address` is the full address shown and returned; `note` the remark that
    // tells codes of one address apart (丁目 ranges, floors, 以下に掲載がない場合).
    quint32 addTown(quint32 code, QStringView address, QStringView note);
    quint32 addOffice(quint32 code, QStringView name, QStringView address);
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
    // The address a key stands for (an alias's own spelling).
    QStringView keyAddress(quint32 key) const;

    // Every entry whose code starts with `digits` (3 to 7 digits), towns
    // before offices within one code, at most `limit`; `total` gets the count.
    std::vector<Hit> findCode(QStringView digits, qsizetype limit, qsizetype *total = nullptr) const;
    // Towns whose address the typed address starts with, longest first; ties
    // ranked by how well their notes fit the rest of the typed address.
    AddressResult findAddress(QStringView typed) const;
    // Towns whose address starts with the typed address, in address order.
    std::vector<Hit> completeAddress(QStringView typed, qsizetype limit) const;
    // Offices whose name contains the typed name part.
    std::vector<Hit> findOffice(QStringView name, qsizetype limit) const;

    // Bytes held by the pools and indexes.
    qsizetype memoryBytes() const;

    // ---- the compiled form (PostalCache) ----
    // Raise when a member is added to stored() or Entry or Key change.
    static constexpr quint32 StoredFormat = 1;
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
        return io.pool(m_text) && io.pool(m_keys) && io.pool(m_officeNames)
               && io.number(m_maxKey, [](qsizetype n) { return n >= 0 && n <= 0xFFFF; })
               && io.items(m_entries,
                           [&](const Entry &e) {
                               return e.code <= 9999999 && (e.kind == Kind::Town || e.kind == Kind::Office)
                                      && inText(e.address, e.addressLen) && inText(e.note, e.noteLen)
                                      && inText(e.office, e.officeLen);
                           })
               && io.number(m_towns, [this](qsizetype n) { return n >= 0 && n <= size(); })
               && io.items(m_keyIndex,
                           [&](const Key &k) {
                               return k.keyLen > 0 && k.keyLen <= m_maxKey && qsizetype(k.key) + k.keyLen <= m_keys.size()
                                      && inText(k.display, k.displayLen) && anEntry(k.entry);
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
                           && m_officeStart.back() == m_officeNames.size());
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
        Kind kind;
    };
    struct Key
    {
        quint32 key; // in m_keys
        quint32 display;
        quint16 keyLen;
        quint16 displayLen;
        quint32 entry;
    };

    quint32 store(QStringView s, quint16 *len);
    void addKey(quint32 entry, quint32 display, quint16 displayLen);
    QStringView text(quint32 at, quint16 len) const { return QStringView(m_text).sliced(at, len); }
    std::u16string_view keyView(const Key &k) const
    {
        return {reinterpret_cast<const char16_t *>(m_keys.constData()) + k.key, k.keyLen};
    }
    std::pair<qsizetype, qsizetype> exactKeys(std::u16string_view key) const;
    qsizetype longestPrefix(std::u16string_view query) const;
    void rank(std::vector<Hit> &hits, std::u16string_view rest) const;

    QString m_text;                // every address, note and name
    QString m_keys;                // comparison forms of addresses
    QString m_officeNames;         // comparison forms of office names, each after U+0001
    std::vector<Entry> m_entries;
    std::vector<Key> m_keyIndex;   // sorted by comparison form, then code
    std::vector<quint32> m_byCode; // entry numbers sorted by code
    std::vector<quint32> m_officeStart; // start of each name in m_officeNames
    std::vector<quint32> m_officeEntry;
    qsizetype m_towns = 0;
    qsizetype m_maxKey = 0;
    QString m_scratch;
};
