#include "TextFile.h"

#include "core/env/Cp932.h"
#include "core/env/Program.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace TextFile {

namespace {
QString failure(const QString &path, const QString &reason)
{
    return path + QStringLiteral(": ") + reason;
}
} // namespace

ReadResult read(QIODevice &device)
{
    ReadResult result;
    const QByteArray bytes = device.readAll();
    if (device.isSequential() ? false : !device.atEnd()) {
        result.error = device.errorString();
        return result;
    }
    Cp932::Decoded decoded = Cp932::decode(bytes);
    result.ok = true;
    result.text = std::move(decoded.text);
    result.firstInvalidByte = decoded.firstInvalidByte;
    result.invalidCount = decoded.invalidCount;
    return result;
}

ReadResult read(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        ReadResult result;
        result.error = failure(path, QStringLiteral("no such file"));
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ReadResult result;
        result.error = failure(path, file.errorString());
        return result;
    }
    ReadResult result = read(file);
    if (!result.ok)
        result.error = failure(path, result.error);
    return result;
}

namespace {
bool encodeFor(const QString &text, Unmappable unmappable, WriteResult &result, QByteArray &bytes)
{
    Cp932::Encoded encoded = Cp932::encode(text);
    result.firstUnmappable = encoded.firstUnmappable;
    result.unmappableCount = encoded.unmappableCount;
    if (encoded.unmappableCount > 0 && unmappable == Unmappable::Refuse) {
        result.error = QStringLiteral("%1 character(s) have no code page 932 form, the first at position %2")
                           .arg(encoded.unmappableCount)
                           .arg(encoded.firstUnmappable + 1);
        return false;
    }
    bytes = std::move(encoded.bytes);
    return true;
}
} // namespace

WriteResult write(QIODevice &device, const QString &text, Unmappable unmappable)
{
    WriteResult result;
    QByteArray bytes;
    if (!encodeFor(text, unmappable, result, bytes))
        return result;
    if (device.write(bytes) != bytes.size()) {
        result.error = device.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

WriteResult writeBytes(const QString &path, const QByteArray &bytes)
{
    WriteResult result;
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile flushes only while committing, and a
    // short write there (disk full, file-size limit) is not reported by
    // commit(), which then replaces the old file with a cut-off one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        result.error = failure(path, file.errorString());
        return result;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = failure(path, file.errorString());
        file.cancelWriting();
        return result;
    }
    result.ok = true;
    return result;
}

WriteResult write(const QString &path, const QString &text, Unmappable unmappable)
{
    WriteResult result;
    QByteArray bytes;
    if (!encodeFor(text, unmappable, result, bytes)) {
        result.error = failure(path, result.error);
        return result;
    }
    WriteResult written = writeBytes(path, bytes);
    written.firstUnmappable = result.firstUnmappable;
    written.unmappableCount = result.unmappableCount;
    return written;
}

} // namespace TextFile

void EnsureFileSystem()
{
    Program().FileSystem = true;
}

QString ReadTextFile(const QString &path)
{
    EnsureFileSystem();
    return TextFile::read(path).text;
}

TextFile::WriteResult WriteTextFile(const QString &path, const QString &text, TextFile::Unmappable unmappable)
{
    EnsureFileSystem();
    return TextFile::write(path, text, unmappable);
}
