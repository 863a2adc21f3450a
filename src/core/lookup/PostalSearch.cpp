#include "PostalSearch.h"

#include "core/grid/CellText.h"
#include "core/lookup/AddressKey.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace {

bool blank(const QString &s)
{
    for (const QChar c : s)
        if (c != u' ' && c != CellText::FullWidthSpace && c != u'\t')
            return false;
    return true;
}

} // namespace

PostalSearch::Result PostalSearch::run(const PostalDictionary &dict, const QString &zip, const QString &add,
                                       const QString &cmp, qsizetype limit)
{
    Result result;
    struct Found
    {
        Candidate candidate;
        int fields = 0;
        size_t order = 0;
        int priority = 0;
    };
    std::vector<Found> found;
    std::unordered_map<quint32, size_t> at;
    auto take = [&](const PostalDictionary::Hit &hit, int field, bool addressMatch, bool building, bool byName = false) {
        const auto [it, inserted] = at.try_emplace(hit.entry, found.size());
        if (inserted) {
            Candidate c{hit.entry, hit.key, addressMatch, building, byName};
            found.push_back(Found{c, 0, found.size(), 0});
        }
        Found &f = found[it->second];
        f.fields |= field;
        if (addressMatch && !f.candidate.addressMatch) {
            f.candidate.addressMatch = true;
            f.candidate.key = hit.key;
            f.candidate.building = building;
        }
    };

    const QString digits = AddressKey::postalDigits(zip);
    const bool byCode = digits.size() >= 3;
    // A postal code typed in front of the address is set aside, and taken as
    // a hint where it agrees with the address.
    QString hint;
    const qsizetype addressFrom = AddressKey::afterPostalCode(add, &hint);
    const QString address = add.mid(addressFrom);
    const bool byAddress = !blank(address);
    const bool byOffice = !blank(cmp);
    const QString workplaceKey = byOffice ? AddressKey::officeName(cmp) : QString();

    // The address first: its ranking is the most telling.
    std::vector<PostalDictionary::OfficeAt> offices;
    if (byAddress) {
        const PostalDictionary::AddressResult match = dict.findAddress(address);
        if (match.restFrom >= 0)
            result.addressRest = address.mid(match.restFrom);
        if (match.prefixKey != PostalDictionary::None)
            result.prefixAddress = dict.keyAddress(match.prefixKey).toString();
        // Nothing found, or no more than a city's catch-all code before a
        // name: the towns of that name across Japan come first.
        const bool onlyCity = std::all_of(match.hits.begin(), match.hits.end(), [&](const PostalDictionary::Hit &h) {
            return dict.note(h.entry).startsWith(u"以下に掲載がない場合");
        });
        if (onlyCity && !(match.restFrom >= 0 && (match.rest.isEmpty() || match.rest.front().isDigit()))) {
            qsizetype nameEnd = 0;
            const std::vector<PostalDictionary::Hit> named = dict.findTownName(address, limit, &nameEnd);
            if (!named.empty())
                result.nameRest = address.mid(nameEnd);
            for (const auto &hit : named)
                take(hit, 1, false, false, true);
        }
        for (const auto &hit : match.hits)
            take(hit, 1, true, hit.score >= 10);
        // Offices at the town the address names: those at its block number
        // are listed with it; one the workplace names comes first.
        std::vector<quint32> townsSeen;
        for (const auto &hit : match.hits) {
            if (hit.score >= 10 || townsSeen.size() == 3)
                continue;
            if (std::find(townsSeen.begin(), townsSeen.end(), hit.entry) != townsSeen.end())
                continue;
            townsSeen.push_back(hit.entry);
            for (const auto &office : dict.officesAt(dict.address(hit.entry), match.rest, workplaceKey, 2000))
                offices.push_back(office);
        }
        for (const auto &office : offices)
            if (office.block)
                take(PostalDictionary::Hit{office.entry, PostalDictionary::None, 0}, 1, false, false);
        if (hint.size() == 7) {
            const quint32 code = hint.toUInt();
            for (Found &f : found)
                if (dict.code(f.candidate.entry) == code)
                    f.fields |= 2;
        }
    }
    if (byCode) {
        for (const auto &hit : dict.findCode(digits, limit))
            take(hit, 2, false, false);
    } else if (hint.size() == 7 && found.empty()) {
        // Nothing matched the address after the code: the code alone.
        for (const auto &hit : dict.findCode(hint, limit))
            take(hit, 2, false, false);
    }
    if (byAddress) {
        for (const auto &hit : dict.completeAddress(address, limit))
            take(hit, 1, false, false);
    }
    if (byOffice) {
        for (const auto &office : offices)
            if (office.named > 0)
                take(PostalDictionary::Hit{office.entry, PostalDictionary::None, 0}, 4 | 1, false, false);
        for (const auto &hit : dict.findOffice(cmp, limit))
            take(hit, 4, false, false);
    }
    // The office the workplace names at the typed address outranks the rest;
    // at its block number more so.
    for (Found &f : found)
        for (const auto &office : offices)
            if (office.entry == f.candidate.entry && office.named > 0)
                f.priority = std::max(f.priority, office.named + office.block * 20001);

    std::stable_sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        const int fa = std::popcount(unsigned(a.fields));
        const int fb = std::popcount(unsigned(b.fields));
        if (a.priority != b.priority)
            return a.priority > b.priority;
        return fa > fb;
    });
    result.total = qsizetype(found.size());
    const size_t n = std::min(found.size(), size_t(std::max<qsizetype>(limit, 0)));
    result.candidates.reserve(n);
    for (size_t i = 0; i < n; ++i)
        result.candidates.push_back(found[i].candidate);
    return result;
}

QStringView PostalSearch::shownAddress(const PostalDictionary &dict, const Candidate &candidate)
{
    if (candidate.key != PostalDictionary::None)
        return dict.keyAddress(candidate.key);
    return dict.address(candidate.entry);
}

PostalSearch::Choice PostalSearch::choose(const PostalDictionary &dict, const Result &result,
                                          const Candidate &candidate, const QString &cmp)
{
    Choice choice;
    choice.zip = AddressKey::formatCode(dict.code(candidate.entry));
    if (candidate.byName)
        choice.add = dict.address(candidate.entry) + result.nameRest;
    else if (candidate.building)
        choice.add = result.prefixAddress + result.addressRest;
    else if (candidate.addressMatch)
        choice.add = shownAddress(dict, candidate) + result.addressRest;
    else
        choice.add = dict.address(candidate.entry).toString();
    choice.cmp = dict.kind(candidate.entry) == PostalDictionary::Kind::Office ? dict.officeName(candidate.entry).toString()
                                                                               : cmp;
    return choice;
}
