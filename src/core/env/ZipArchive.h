#pragma once

#include <QByteArrayView>
#include <QString>

#include <zip.h>

#include <memory>

// libzip's archives and entries as owners that close themselves, and an
// archive read in place from bytes (which must outlive it).
namespace ZipArchive {

struct ArchiveCloser
{
    void operator()(zip_t *za) const { zip_discard(za); }
};
struct EntryCloser
{
    void operator()(zip_file_t *f) const { zip_fclose(f); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

struct Opened
{
    Archive archive; // null when the bytes are no archive libzip reads
    int errorCode = 0;
    QString errorText; // libzip's own words
};

// Opens `bytes` read-only, its central directory checked for consistency.
Opened open(QByteArrayView bytes);

} // namespace ZipArchive
