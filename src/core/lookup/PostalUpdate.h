#pragma once

#include "core/lookup/PostalReaders.h"

#include <QDate>
#include <QString>

#include <memory>

// Taking a newer month of Japan Post's data into the user data folder: the
// file is checked in full before anything is replaced, and the data it
// replaces is kept as one previous generation.
namespace PostalUpdate {

struct Range
{
    qsizetype min;
    qsizetype max;
};
// Record counts a whole list of each kind can have (all of Japan in 2026:
// about 124,000 towns, 22,000 offices).
struct Limits
{
    Range towns{60000, 400000};
    Range offices{8000, 100000};
};

struct Result
{
    bool done = false;
    QString message; // what changed, or the file and why it was refused
    PostalReaders::Kind kind = PostalReaders::Kind::Towns;
    QDate oldDate;   // of the data in use before (invalid: there was none)
    QDate newDate;
    qsizetype added = 0;   // postal codes the new data has and the old had not
    qsizetype removed = 0; // and the other way round
    QString installed;     // the new file in the user data folder
};

// Checks `file` (Japan Post's zip, or its CSV in code page 932 or UTF-8:
// format, record count within `limits`, readable lines, a date not older than
// the data of its kind in use from `where`), keeps the data in use of its kind
// in previousFolder(), and copies the file into the user data folder, where
// PostalReaders::load takes it as the newest. A refused or failed update, and
// data of the same date as the data in use ("すでに最新のデータです"), change
// nothing.
Result install(const QString &file, const PostalReaders::Locations &where, const Limits &limits = {});

// The folder the update's file dialog starts in: the person's downloads
// folder when it is there, otherwise the home folder.
QString dialogFolder(const QString &downloads, const QString &home);

// Where the data an update replaced is kept.
QString previousFolder(const QString &userDataFolder);
// The dictionary of that previous generation (per kind, whatever was kept);
// null when no update has replaced anything yet.
std::unique_ptr<PostalDictionary> loadPrevious(const QString &userDataFolder);

} // namespace PostalUpdate
