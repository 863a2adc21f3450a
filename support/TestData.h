#pragma once

#include <QByteArray>
#include <QString>

// Where the checked-in test fixtures live.
QString testDataPath(const QString &relative);
// A file or folder of the source tree.
QString sourcePath(const QString &relative);

// A file's whole content, or "<unreadable>" when it cannot be read.
QByteArray readBytes(const QString &path);
// Writes bytes to path (replacing it); false when that failed.
bool writeBytes(const QString &path, const QByteArray &bytes);
