#include "PostalZip.h"

#include "core/env/ZipArchive.h"

#include <memory>

namespace {

using ZipArchive::Archive;

QString archiveError(int code)
{
    switch (code) {
    case ZIP_ER_NOZIP: return QStringLiteral("zip ファイルではないか、途中で切れています");
    case ZIP_ER_INCONS: return QStringLiteral("zip ファイルが壊れています（中身の一覧が合いません）");
    case ZIP_ER_MEMORY: return QStringLiteral("メモリが足りません");
    default: return QStringLiteral("zip ファイルとして読めません（libzip %1）").arg(code);
    }
}

// The archive over `bytes` (which must outlive it), or null with `error` set.
Archive open(QByteArrayView bytes, QString *error)
{
    ZipArchive::Opened opened = ZipArchive::open(bytes);
    if (!opened.archive)
        *error = archiveError(opened.errorCode);
    return std::move(opened.archive);
}

QString baseName(const char *stored)
{
    QString name = QString::fromUtf8(stored);
    const qsizetype slash = name.lastIndexOf(u'/');
    return slash >= 0 ? name.mid(slash + 1) : name;
}

} // namespace

namespace PostalZip {

bool isZip(QByteArrayView bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

QStringList memberNames(QByteArrayView zip, QString *error)
{
    QString why;
    const Archive za = open(zip, &why);
    QStringList names;
    if (!za) {
        if (error)
            *error = why;
        return names;
    }
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i)
        if (const char *name = zip_get_name(za.get(), zip_uint64_t(i), 0))
            names.append(QString::fromUtf8(name));
    return names;
}

Member read(QByteArrayView zip, const QStringList &names, bool withContent, qint64 maxSize)
{
    Member m;
    const Archive za = open(zip, &m.error);
    if (!za)
        return m;
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    zip_stat_t st;
    zip_int64_t found = -1;
    QStringList present;
    for (zip_int64_t i = 0; i < n && found < 0; ++i) {
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        const QString name = baseName(st.name);
        present.append(QString::fromUtf8(st.name));
        for (const QString &wanted : names)
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                found = i;
    }
    if (found < 0) {
        m.error = QStringLiteral("%1 が入っていません（入っているもの: %2）")
                      .arg(names.join(QStringLiteral(" か ")),
                           present.isEmpty() ? QStringLiteral("なし") : present.join(QStringLiteral("、")));
        return m;
    }
    m.name = QString::fromUtf8(st.name);
    if (st.valid & ZIP_STAT_MTIME)
        m.time = QDateTime::fromSecsSinceEpoch(qint64(st.mtime));
    if (!withContent)
        return m;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > zip_uint64_t(maxSize)) {
        m.error = QStringLiteral("%1 が大きすぎます").arg(m.name);
        return m;
    }
    const ZipArchive::Entry file(zip_fopen_index(za.get(), zip_uint64_t(found), 0));
    if (!file) {
        m.error = QStringLiteral("%1 を取り出せません（%2）").arg(m.name, QString::fromUtf8(zip_strerror(za.get())));
        return m;
    }
    m.bytes.resize(qsizetype(st.size));
    qint64 total = 0;
    while (total < qint64(st.size)) {
        const zip_int64_t got = zip_fread(file.get(), m.bytes.data() + total, st.size - zip_uint64_t(total));
        if (got <= 0)
            break;
        total += got;
    }
    // Reading on to the end lets libzip compare the CRC.
    char extra = 0;
    const zip_int64_t tail = total == qint64(st.size) ? zip_fread(file.get(), &extra, 1) : -1;
    if (total != qint64(st.size) || tail != 0) {
        m.bytes.clear();
        m.error = QStringLiteral("%1 が壊れているか途中で切れています").arg(m.name);
    }
    return m;
}

} // namespace PostalZip
