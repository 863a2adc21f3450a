#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Whole text files in code page 932, read and written in one piece. Writes go
// through QSaveFile, so a failed write leaves the old file whole.
namespace TextFile {

struct ReadResult
{
    bool ok = false;
    QString text;
    QString error;                  // names the path and the reason when !ok
    qsizetype firstInvalidByte = -1; // undecodable bytes became U+FFFD
    qsizetype invalidCount = 0;
};

struct WriteResult
{
    bool ok = false;
    QString error;                  // names the path and the reason when !ok
    qsizetype firstUnmappable = -1; // UTF-16 index of the first character CP932 cannot hold
    qsizetype unmappableCount = 0;
};

enum class Unmappable {
    Refuse,  // nothing is written when a character has no CP932 form
    Replace, // such characters are written as '?'
};

ReadResult read(QIODevice &device);
ReadResult read(const QString &path);

// Encodes once, then writes the bytes in one piece.
WriteResult write(QIODevice &device, const QString &text, Unmappable unmappable = Unmappable::Refuse);
WriteResult write(const QString &path, const QString &text, Unmappable unmappable = Unmappable::Refuse);

// Writes bytes to path through QSaveFile (atomic replace).
WriteResult writeBytes(const QString &path, const QByteArray &bytes);

} // namespace TextFile

// The shared file-system object: made on first use, dropped at shutdown.
void EnsureFileSystem();
// The file's whole text; empty when it is missing, empty or unreadable.
QString ReadTextFile(const QString &path);
// Writes text to path; reports failures and characters CP932 cannot hold.
TextFile::WriteResult WriteTextFile(const QString &path, const QString &text,
                                    TextFile::Unmappable unmappable = TextFile::Unmappable::Refuse);
