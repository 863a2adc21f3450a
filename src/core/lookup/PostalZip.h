#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Japan Post publishes its postal data as zips of one CSV file each; this
// reads such a member straight from the zip's bytes (through libzip), checked
// against its CRC, together with the member's time, which dates the data.
namespace PostalZip {

// The bytes start like a zip file.
bool isZip(QByteArrayView bytes);

struct Member
{
    QString name;      // as stored in the zip
    QDateTime time;    // the member's modification time
    QByteArray bytes;  // its content (empty when only looked at)
    QString error;     // why it could not be read; empty on success
};

// The first member whose file name (in any folder of the zip) is one of
// `names`, in any letter case. Members larger than `maxSize` are refused.
// `withContent` false looks at the directory only.
Member read(QByteArrayView zip, const QStringList &names, bool withContent = true,
            qint64 maxSize = 256 * 1024 * 1024);

// The file names of the members, or `error` set.
QStringList memberNames(QByteArrayView zip, QString *error = nullptr);

} // namespace PostalZip
