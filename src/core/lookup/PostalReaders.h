#pragma once

#include "core/lookup/PostalDictionary.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

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
// Reads a file with the given reader; the report names the path, the data's
// date, and the reason when the file gave nothing.
PostalDictionary::Source readFile(const QString &path, Format format, PostalDictionary &dict);

struct Locations
{
    QString userDataFolder; // Japan Post files here are preferred
    QString skkFolder = QStringLiteral("/usr/share/skk");
};

// The dictionary from the best data found: Japan Post's own files in the user
// data folder, else the SKK dictionaries. Null when nothing usable was read;
// `reports` then says why for each file tried.
std::unique_ptr<PostalDictionary> load(const Locations &where,
                                       std::vector<PostalDictionary::Source> *reports = nullptr);

} // namespace PostalReaders
