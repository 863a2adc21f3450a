#pragma once

#include "core/lookup/PostalDictionary.h"

#include <QString>

#include <vector>

// One search over the three fields of the search window: the postal code
// (whole or its first digits), the address (the dictionary address it starts
// with, then the addresses that start with it; a town's name typed without
// its city, the towns of that name across Japan) and the workplace (offices
// by name). Candidates that agree with more of the fields come first.
class PostalSearch
{
public:
    struct Candidate
    {
        quint32 entry = PostalDictionary::None;
        quint32 key = PostalDictionary::None; // the address spelling it was found under
        bool addressMatch = false;            // the typed address starts with it
        bool building = false;                // a building named after the typed block numbers
        bool byName = false;                  // a town of the name typed without its city
    };

    struct Result
    {
        std::vector<Candidate> candidates;
        qsizetype total = 0; // before the limit
        QString addressRest; // what was typed after the matched dictionary address
        QString prefixAddress; // the dictionary's spelling of the matched part
        QString nameRest;      // what was typed after a town's name typed without its city
    };

    static constexpr qsizetype DefaultLimit = 1000;

    static Result run(const PostalDictionary &dict, const QString &zip, const QString &add, const QString &cmp,
                      qsizetype limit = DefaultLimit);

    // The three values a chosen candidate gives: "NNN-NNNN", its address (the
    // typed block numbers kept after an address it matched) and, for an
    // office, its name as the workplace.
    struct Choice
    {
        QString zip;
        QString add;
        QString cmp;
    };
    static Choice choose(const PostalDictionary &dict, const Result &result, const Candidate &candidate,
                         const QString &cmp);
    // The address a candidate shows in the list.
    static QStringView shownAddress(const PostalDictionary &dict, const Candidate &candidate);
};
