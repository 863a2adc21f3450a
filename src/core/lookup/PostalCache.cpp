#include "PostalCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>
#include <type_traits>

namespace {

constexpr char Magic[8] = {'K', 'T', 'V', 'P', 'O', 'S', 'T', '\x01'};
constexpr qsizetype HeaderFixed = 8 + 4 + 4 + 8 + 8; // magic, format, key length, payload length, checksum
constexpr quint32 MaxSources = 16;

// A fast checksum against truncation and stray changes (not against anyone
// forging a file): four 64-bit lanes of multiply and shift.
quint64 checksum(QByteArrayView b)
{
    constexpr quint64 P = 0x9E3779B97F4A7C15ULL;
    quint64 h[4] = {P, P ^ 1, P ^ 2, P ^ 3};
    const char *p = b.data();
    const size_t n = size_t(b.size());
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            quint64 w;
            std::memcpy(&w, p + i + size_t(lane) * 8, 8);
            h[lane] = (h[lane] ^ w) * P;
            h[lane] ^= h[lane] >> 29;
        }
    }
    quint64 r = quint64(n) * P;
    for (; i < n; ++i)
        r = (r ^ quint8(p[i])) * P;
    for (const quint64 lane : h) {
        r = (r ^ lane) * P;
        r ^= r >> 32;
    }
    return r;
}

class Writer
{
public:
    QByteArray out;

    void raw(const void *data, size_t n) { out.append(static_cast<const char *>(data), qsizetype(n)); }
    template<typename T>
    void value(T v)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        raw(&v, sizeof v);
    }
    void string(const QString &s)
    {
        value(quint64(s.size()));
        raw(s.constData(), size_t(s.size()) * 2);
    }

    // The interface of PostalDictionary::stored(); bounds are the reader's business.
    bool pool(QString &s)
    {
        string(s);
        return true;
    }
    template<typename F>
    bool number(qsizetype &n, F)
    {
        value(qint64(n));
        return true;
    }
    template<typename T, typename F>
    bool items(std::vector<T> &v, F)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        value(quint64(v.size()));
        raw(v.data(), v.size() * sizeof(T));
        return true;
    }
    bool check(bool) { return true; }
};

class Reader
{
public:
    explicit Reader(QByteArrayView in) : m_in(in) {}
    bool atEnd() const { return m_at == m_in.size(); }

    bool raw(void *data, size_t n)
    {
        if (n > size_t(m_in.size() - m_at))
            return false;
        if (n > 0)
            std::memcpy(data, m_in.data() + m_at, n);
        m_at += qsizetype(n);
        return true;
    }
    template<typename T>
    bool value(T &v)
    {
        return raw(&v, sizeof v);
    }
    // A count of items of `size` bytes that the rest of the input can hold.
    bool count(size_t size, size_t *n)
    {
        quint64 c = 0;
        if (!value(c) || c > quint64(m_in.size() - m_at) / size)
            return false;
        *n = size_t(c);
        return true;
    }
    bool string(QString &s)
    {
        size_t n = 0;
        if (!count(2, &n))
            return false;
        s.resize(qsizetype(n));
        return raw(s.data(), n * 2);
    }

    bool pool(QString &s) { return string(s); }
    template<typename F>
    bool number(qsizetype &n, F valid)
    {
        qint64 v = 0;
        if (!value(v) || v < 0 || v > std::numeric_limits<qsizetype>::max())
            return false;
        n = qsizetype(v);
        return valid(n);
    }
    template<typename T, typename F>
    bool items(std::vector<T> &v, F valid)
    {
        size_t n = 0;
        if (!count(sizeof(T), &n))
            return false;
        v.resize(n);
        if (!raw(v.data(), n * sizeof(T)))
            return false;
        for (const T &item : v)
            if (!valid(item))
                return false;
        return true;
    }
    bool check(bool ok) { return ok; }

private:
    QByteArrayView m_in;
    qsizetype m_at = 0;
};

std::unique_ptr<PostalDictionary> fail(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return nullptr;
}

} // namespace

namespace PostalCache {

QByteArray seal(QByteArrayView payload, QByteArrayView key)
{
    Writer w;
    w.raw(Magic, sizeof Magic);
    w.value(PostalDictionary::StoredFormat);
    w.value(quint32(key.size()));
    w.raw(key.data(), size_t(key.size()));
    w.value(quint64(payload.size()));
    w.value(checksum(payload));
    w.raw(payload.data(), size_t(payload.size()));
    return std::move(w.out);
}

QByteArray write(const PostalDictionary &dict, QByteArrayView key)
{
    Writer w;
    w.value(quint32(dict.sources.size()));
    for (const PostalDictionary::Source &s : dict.sources) {
        w.string(s.label);
        w.string(s.path);
        w.value(qint64(s.date.toJulianDay()));
        w.value(qint64(s.records));
        w.value(qint64(s.skipped));
    }
    // stored() lists the members for reading and writing alike; writing
    // leaves them as they are.
    const_cast<PostalDictionary &>(dict).stored(w);
    return seal(w.out, key);
}

std::unique_ptr<PostalDictionary> read(QByteArrayView bytes, QByteArrayView key, QString *why)
{
    Reader header(bytes);
    char magic[sizeof Magic];
    quint32 format = 0;
    quint32 keyLen = 0;
    if (!header.raw(magic, sizeof magic) || std::memcmp(magic, Magic, sizeof Magic) != 0 || !header.value(format))
        return fail(why, QStringLiteral("not a compiled dictionary"));
    if (format != PostalDictionary::StoredFormat)
        return fail(why, QStringLiteral("stored format %1").arg(format));
    if (!header.value(keyLen) || keyLen > quint32(bytes.size()) || bytes.size() < HeaderFixed + qsizetype(keyLen))
        return fail(why, QStringLiteral("truncated header"));
    if (bytes.sliced(16, keyLen) != key)
        return fail(why, QStringLiteral("made from other files"));
    const QByteArrayView rest = bytes.sliced(16 + qsizetype(keyLen));
    quint64 length = 0;
    quint64 sum = 0;
    std::memcpy(&length, rest.data(), 8);
    std::memcpy(&sum, rest.data() + 8, 8);
    const QByteArrayView payload = rest.sliced(16);
    if (length != quint64(payload.size()))
        return fail(why, QStringLiteral("truncated"));
    if (checksum(payload) != sum)
        return fail(why, QStringLiteral("checksum"));

    auto dict = std::make_unique<PostalDictionary>();
    Reader r(payload);
    quint32 sources = 0;
    if (!r.value(sources) || sources > MaxSources)
        return fail(why, QStringLiteral("sources"));
    for (quint32 i = 0; i < sources; ++i) {
        PostalDictionary::Source s;
        qint64 day = 0;
        qint64 records = 0;
        qint64 skipped = 0;
        if (!r.string(s.label) || !r.string(s.path) || !r.value(day) || !r.value(records) || !r.value(skipped)
            || records < 0 || skipped < 0)
            return fail(why, QStringLiteral("sources"));
        s.date = QDate::fromJulianDay(day);
        s.records = qsizetype(records);
        s.skipped = qsizetype(skipped);
        dict->sources.push_back(std::move(s));
    }
    if (!dict->stored(r) || !r.atEnd())
        return fail(why, QStringLiteral("out of bounds"));
    return dict;
}

bool save(const QString &path, const PostalDictionary &dict, QByteArrayView key)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = write(dict, key);
    return file.write(bytes) == bytes.size() && file.commit();
}

std::unique_ptr<PostalDictionary> load(const QString &path, QByteArrayView key, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(why, file.errorString());
    const qint64 size = file.size();
    if (uchar *mapped = size > 0 ? file.map(0, size) : nullptr)
        return read(QByteArrayView(reinterpret_cast<const char *>(mapped), size), key, why);
    return read(file.readAll(), key, why);
}

} // namespace PostalCache
