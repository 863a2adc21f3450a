#pragma once

#include "core/lookup/PostalDictionary.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Readers for the postal data files. Each takes the file's bytes, adds what it
// can use to the dictionary and reports how many entries it took and how many
// malformed lines or candidates it left out; none of them gives up on a bad
// line.
namespace PostalReaders {

// SKK zipcode dictionaries (EUC-JIS-2004): "1000005 /東京都千代田区丸の内/".
PostalDictionary::Source readSkkTowns(QByteArrayView bytes, PostalDictionary &dict);
// "0018501 /name @ address/".
PostalDictionary::Source readSkkOffices(QByteArrayView bytes, PostalDictionary &dict);
// Japan Post's KEN_ALL.CSV / utf_ken_all.csv (code page 932 or UTF-8).
PostalDictionary::Source readKenAll(QByteArrayView bytes, PostalDictionary &dict);
// Japan Post's JIGYOSYO.CSV (code page 932 or UTF-8).
PostalDictionary::Source readJigyosyo(QByteArrayView bytes, PostalDictionary &dict);

// Text of an SKK dictionary; undecodable bytes become U+FFFD and are counted.
QString decodeEucJis2004(QByteArrayView bytes, qsizetype *invalid = nullptr);
// Text of a Japan Post file: UTF-8 when it is valid UTF-8, else code page 932.
QString decodeJapanPost(QByteArrayView bytes, qsizetype *invalid = nullptr);

enum class Format { SkkTowns, SkkOffices, KenAll, Jigyosyo };
enum class Kind { Towns, Offices };
Kind kindOf(Format format);
// Japan Post's CSV the bytes hold, by the fields of its first line (KenAll or
// Jigyosyo); none when it is neither.
std::optional<Format> detectJapanPost(QByteArrayView csv);
// The names Japan Post gives the CSV file of a kind, and its zip.
QStringList csvNames(Kind kind);
QStringList fileNames(Kind kind);

// Raise when a reader, or the comparison forms of AddressKey, change what a
// dictionary holds: compiled dictionaries of an older version are rebuilt.
constexpr quint32 ReaderVersion = 2;

// Reads a file's bytes with the given reader: for Japan Post's formats the
// bytes may be its zip, whose member is read. The data's date is the SKK
// dictionary's time stamp, the zip member's time, or else `fileTime`. The
// report names `path`, and gives the reason when the file gave nothing.
PostalDictionary::Source read(QByteArrayView bytes, const QString &path, const QDateTime &fileTime, Format format,
                              PostalDictionary &dict);
PostalDictionary::Source readFile(const QString &path, Format format, PostalDictionary &dict);
// The date of a file's data without reading all of it (invalid: unknown).
QDate dateOf(const QString &path, Format format);

struct Locations
{
    Locations() = default;
    Locations(QString user, QString skk) : userDataFolder(std::move(user)), skkFolder(std::move(skk)) {}

    QString userDataFolder; // Japan Post's files (zip or CSV) put here by the person or an update
    QString skkFolder = QStringLiteral("/usr/share/skk");
    QStringList shippedFolders; // the snapshot that comes with the program
    QString cacheFolder;        // where the compiled dictionary is kept; empty: none
};
// Where the program's own snapshot of Japan Post's zips may stand: installed
// in the data folder, or beside the program in a build folder.
QStringList shippedFolders();

enum class Origin { User, Shipped, Skk };
struct Candidate
{
    Format format = Format::KenAll;
    Origin origin = Origin::User;
    QString path;
    QDate date; // invalid: not known (yet)
};
// The data files present in `where` (the SKK dictionaries always: their
// absence is reported when they are tried); dates not filled in.
std::vector<Candidate> findFiles(const Locations &where);
// The order in which the files of one kind are tried: newest first; of one
// date the person's own files, then the shipped ones, then Debian's; a file of
// unknown date last. Candidates of the other kind are left out.
std::vector<Candidate> newestFirst(std::vector<Candidate> candidates, Kind kind);

// The file of `kind` the dictionary uses: the first of newestFirst that reads
// without error, read into `dict` (which is not finished). Its report is
// returned; `reports` gets every file tried.
PostalDictionary::Source readNewest(std::vector<Candidate> candidates, Kind kind, PostalDictionary &dict,
                                    std::vector<PostalDictionary::Source> *reports = nullptr);

// The dictionary from the newest data per kind (towns, offices): files in the
// user data folder, the shipped snapshot, Debian's SKK dictionaries. Taken
// from the compiled form in `cacheFolder` when that was made from the same
// files, else read and compiled there. Null when nothing usable was read;
// `reports` then says why for each file tried.
std::unique_ptr<PostalDictionary> load(const Locations &where,
                                       std::vector<PostalDictionary::Source> *reports = nullptr);

} // namespace PostalReaders
