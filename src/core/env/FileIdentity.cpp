#include "FileIdentity.h"

#include <QFile>
#include <QFileInfo>

FileIdentity FileIdentity::of(const QString &path, const QByteArray &hash)
{
    FileIdentity id;
    const QFileInfo info(path);
    id.m_path = path;
    id.m_size = info.exists() ? info.size() : -1;
    id.m_modified = info.lastModified().toUTC();
    id.m_hash = hash;
    return id;
}

QByteArray FileIdentity::hash(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, Algorithm);
}

FileIdentity::State FileIdentity::check()
{
    if (isNull())
        return State::Same;
    const QFileInfo info(m_path);
    if (!info.exists())
        return State::Gone;
    const QDateTime modified = info.lastModified().toUTC();
    if (info.size() == m_size && modified == m_modified)
        return State::Same;
    if (info.size() != m_size)
        return State::Changed;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return State::Changed;
    QCryptographicHash hasher(Algorithm);
    if (!hasher.addData(&file) || hasher.result() != m_hash)
        return State::Changed;
    m_modified = modified;
    return State::Same;
}
