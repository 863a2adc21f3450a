#include "TestData.h"

#include <QFile>

QString testDataPath(const QString &relative)
{
    return QStringLiteral(KOTOVEN_SOURCE_DIR "/tests/data/") + relative;
}

QString sourcePath(const QString &relative)
{
    return QStringLiteral(KOTOVEN_SOURCE_DIR "/") + relative;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
