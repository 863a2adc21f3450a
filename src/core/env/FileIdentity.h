#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QDateTime>
#include <QString>

// What a file held when the program last read or wrote it: its size, its
// modification time and a hash of its bytes. The file counts as changed only
// when its bytes differ: size and time are compared first, and the bytes are
// read and hashed only when either differs, so a touch or a sync tool that
// rewrites the same bytes changes nothing.
class FileIdentity final
{
public:
    enum class State {
        Same,    // the bytes are those remembered (or nothing is remembered)
        Changed, // other bytes
        Gone,    // the file is not there any more
    };

    FileIdentity() = default;
    // The file at `path` as the file system gives it now, with `hash` the hash
    // of the bytes just read from it or written to it.
    static FileIdentity of(const QString &path, const QByteArray &hash);
    // The hash of the bytes read or written. It tells a changed file from an
    // unchanged one, nothing more: SHA-1 runs at four times SHA-256's speed
    // here, which a million-row file's load feels.
    static constexpr auto Algorithm = QCryptographicHash::Sha1;
    static QByteArray hash(QByteArrayView bytes);

    bool isNull() const { return m_hash.isEmpty(); }
    const QString &path() const { return m_path; }
    qint64 size() const { return m_size; }
    const QDateTime &modified() const { return m_modified; }
    const QByteArray &bytesHash() const { return m_hash; }

    // How the file stands now; the same bytes under a new time are taken in,
    // so that they are not hashed again next time.
    State check();

private:
    QString m_path;
    qint64 m_size = -1;
    QDateTime m_modified;
    QByteArray m_hash;
};
