#pragma once

#include "core/lookup/PostalDictionary.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

// The compiled form of a finished dictionary: its pools and indexes as they
// lie in memory, behind a header that holds the key of what it was made from
// and a checksum. Start-up takes the dictionary from here instead of reading
// the data files again. Nothing in it is trusted: a file of another key, a
// wrong checksum, or any offset, length or index out of its bounds gives no
// dictionary, and the caller builds it from the data files again.
namespace PostalCache {

// The bytes of the compiled form.
QByteArray write(const PostalDictionary &dict, QByteArrayView key);
// The dictionary again, or null with `why` set.
std::unique_ptr<PostalDictionary> read(QByteArrayView bytes, QByteArrayView key, QString *why = nullptr);

// The same through a file, written with QSaveFile; failures only mean a
// slower next start.
bool save(const QString &path, const PostalDictionary &dict, QByteArrayView key);
std::unique_ptr<PostalDictionary> load(const QString &path, QByteArrayView key, QString *why = nullptr);

// A header with the right checksum around `payload` (for the fuzz target,
// which thereby reaches the bounds checks behind the checksum).
QByteArray seal(QByteArrayView payload, QByteArrayView key);

} // namespace PostalCache
