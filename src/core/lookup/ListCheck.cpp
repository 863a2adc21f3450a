#include "ListCheck.h"

#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalUpdate.h"
#include "core/table/CellBlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

namespace {

using Dict = PostalDictionary;

bool isDash(char16_t c)
{
    switch (c) {
    case u'-': case u'\uFF0D': case u'\u2010': case u'\u2011': case u'\u2012': case u'\u2013': case u'\u2014':
    case u'\u2015': case u'\u2212': case u'\u30FC': case u'\uFF70': case u'\uFE63':
        return true;
    default:
        return false;
    }
}

int digitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'\uFF10' && c <= u'\uFF19')
        return c - u'\uFF10';
    return -1;
}

// Seven digits, or three and four with a dash between (either width); -1
// for anything else.
qint64 sevenDigitCode(QStringView zip)
{
    if (zip.size() != 7 && zip.size() != 8)
        return -1;
    qint64 code = 0;
    for (qsizetype i = 0; i < zip.size(); ++i) {
        const char16_t c = zip[i].unicode();
        if (zip.size() == 8 && i == 3) {
            if (!isDash(c))
                return -1;
            continue;
        }
        const int d = digitValue(c);
        if (d < 0)
            return -1;
        code = code * 10 + d;
    }
    return code;
}

// The address with a postal code written in front of it set aside.
QStringView addressPart(QStringView add)
{
    return add.sliced(AddressKey::afterPostalCode(add)).trimmed();
}

// Where the address matched in one dictionary: the entries of the best score
// and how much of the typed text the match took.
struct AddressMatch
{
    std::vector<quint32> best; // entries of the top score, in rank order
    std::vector<quint32> all;  // every entry matched
    qsizetype restFrom = -1;   // -1: not found
    QString rest;              // comparison form of what follows the match
    // The typed address is the dictionary's spelling (or its end), not one
    // read past a ward, 大字 or street name the dictionary does not have.
    bool exact = false;
    bool found() const { return restFrom >= 0 && !best.empty(); }
};

AddressMatch matchAddress(const Dict &dict, QStringView address)
{
    AddressMatch m;
    if (address.isEmpty())
        return m;
    const Dict::AddressResult r = dict.findAddress(address);
    if (r.hits.empty())
        return m;
    m.restFrom = r.restFrom;
    m.rest = r.rest;
    if (r.prefixKey != Dict::None) {
        const QString typed = AddressKey::address(address);
        const qsizetype matched = typed.size() - r.rest.size();
        m.exact = matched > 0 && dict.keyForm(r.prefixKey).endsWith(QStringView(typed).left(matched));
    }
    const int top = r.hits.front().score;
    for (const Dict::Hit &h : r.hits) {
        m.all.push_back(h.entry);
        if (h.score == top)
            m.best.push_back(h.entry);
    }
    return m;
}

// Whether what follows a match names a place (a town or 字 the dictionary
// does not list) rather than a block number or nothing.
bool namesPlace(QStringView rest)
{
    if (rest.isEmpty())
        return false;
    const QChar c = rest.front();
    return !(c.isDigit() || c == u'-' || c == u'第' || c == u'番' || c == u'(' || c == u'~');
}

// The codes of entries, each once, in order.
std::vector<quint32> codesOf(const Dict &dict, const std::vector<quint32> &entries)
{
    std::vector<quint32> codes;
    for (const quint32 e : entries) {
        const quint32 c = dict.code(e);
        if (std::find(codes.begin(), codes.end(), c) == codes.end())
            codes.push_back(c);
    }
    return codes;
}

bool fallback(const Dict &dict, quint32 entry)
{
    return dict.note(entry).contains(u"以下に掲載がない場合");
}

// Whether a town match is no more than the catch-all code of a city: an
// older town name then reads as a city the dictionary knows.
bool onlyCityWide(const Dict &dict, const AddressMatch &m)
{
    return std::all_of(m.best.begin(), m.best.end(), [&](quint32 e) { return fallback(dict, e); });
}

std::vector<Dict::Hit> entriesOfCode(const Dict &dict, quint32 code)
{
    return dict.findCode(AddressKey::formatCode(code).remove(u'-'), 64);
}

// The address a code stands for: its town, or the office's; none when the
// code serves towns of different addresses.
QString addressOfCode(const Dict &dict, const std::vector<Dict::Hit> &entries)
{
    QStringView town;
    for (const Dict::Hit &h : entries) {
        if (dict.kind(h.entry) != Dict::Kind::Town)
            continue;
        if (!town.isNull() && dict.address(h.entry) != town)
            return {};
        town = dict.address(h.entry);
    }
    if (!town.isNull())
        return town.toString();
    return entries.empty() ? QString() : dict.address(entries.front().entry).toString();
}

QString candidateText(const Dict &dict, quint32 entry);

// Large offices at the row's block number in the towns the address matched,
// each once; with a place named before the number ("熊味町南十五夜60"), those
// the workplace names whose address the row's begins with.
std::vector<Dict::OfficeAt> officesAtBlock(const Dict &dict, const AddressMatch &m, QStringView workplaceKey)
{
    std::vector<Dict::OfficeAt> out;
    // No block number typed: the offices that Japan Post lists at the town
    // without one.
    const bool noBlock = m.rest.isEmpty();
    const bool placeNamed = !noBlock && !m.rest.front().isDigit();
    std::vector<QStringView> towns;
    for (const quint32 e : m.all) {
        const QStringView town = dict.address(e);
        if (dict.kind(e) != Dict::Kind::Town || std::find(towns.begin(), towns.end(), town) != towns.end())
            continue;
        towns.push_back(town);
        if (towns.size() > 3)
            break;
        const QString townKey = AddressKey::address(town);
        const QString typed = placeNamed ? AddressKey::blockForm(QString(townKey + m.rest)) : QString();
        for (const Dict::OfficeAt &o : dict.officesAt(town, m.rest, workplaceKey, 4000, !noBlock && !placeNamed)) {
            bool at = o.block > 0;
            if (noBlock) {
                at = AddressKey::address(dict.address(o.entry)) == townKey;
            } else if (placeNamed) {
                const QString own = o.named > 0 ? AddressKey::blockForm(AddressKey::address(dict.address(o.entry))) : QString();
                at = !own.isEmpty() && own.size() > townKey.size() && typed.startsWith(own)
                     && (typed.size() == own.size() || !typed[own.size()].isDigit());
            }
            if (at && std::none_of(out.begin(), out.end(), [&](const Dict::OfficeAt &x) { return x.entry == o.entry; }))
                out.push_back(o);
        }
    }
    return out;
}

// The office the workplace names among those at the row's block number: the
// one whose name agrees best (equal names before names that contain one
// another, the building written too before the block alone), a post office
// box's code only where the row names the box; None when none agrees or
// several agree alike.
quint32 namedOffice(const Dict &dict, const std::vector<Dict::OfficeAt> &offices, QStringView address)
{
    const bool box = address.contains(u"私書箱");
    quint32 best = Dict::None;
    int top = 0;
    int tied = 0;
    for (const Dict::OfficeAt &o : offices) {
        if (o.named <= 0 || (!box && dict.address(o.entry).contains(u"私書箱")))
            continue;
        const int score = (o.named >= 10000 ? 3 : o.named >= 9000 ? 2 : 1) * 10 + o.block;
        if (score > top) {
            top = score;
            best = o.entry;
            tied = 1;
        } else if (score == top && dict.code(o.entry) != dict.code(best)) {
            ++tied;
        }
    }
    return tied == 1 ? best : Dict::None;
}

QString candidateText(const Dict &dict, quint32 entry)
{
    QString text = AddressKey::formatCode(dict.code(entry)) + u' ' + dict.address(entry);
    const QStringView note = dict.note(entry);
    if (dict.kind(entry) == Dict::Kind::Town && !note.isEmpty() && !fallback(dict, entry))
        text += u'（' + note + u'）';
    else if (dict.kind(entry) == Dict::Kind::Office)
        text += u'（' + dict.officeName(entry) + u'）';
    return text;
}

// Whether the code is a large office's own and the office fits the row: 2
// when the row gives the office's address as the dictionary writes it, 1
// when the office lies in a town the row's address matched, else 0.
int officeFits(const Dict &dict, const std::vector<Dict::Hit> &codeEntries, QStringView address,
               const AddressMatch &m)
{
    int fit = 0;
    for (const Dict::Hit &h : codeEntries) {
        if (dict.kind(h.entry) != Dict::Kind::Office)
            continue;
        const QStringView office = dict.address(h.entry);
        if (AddressKey::address(address).startsWith(AddressKey::address(office)))
            return 2;
        const AddressMatch at = matchAddress(dict, office);
        for (const quint32 town : at.best)
            if (std::find(m.all.begin(), m.all.end(), town) != m.all.end())
                fit = 1;
    }
    return fit;
}

// The current code and town for what older data says: the old code's town,
// looked up in the dictionary in use.
struct Current
{
    QString zip;
    QString town;
};
Current currentFor(const Dict &dict, const Dict &older, const std::vector<quint32> &olderEntries)
{
    Current c;
    for (const quint32 e : olderEntries) {
        const std::vector<Dict::Hit> now = entriesOfCode(dict, older.code(e));
        if (!now.empty()) {
            c.zip = AddressKey::formatCode(older.code(e));
            c.town = addressOfCode(dict, now);
            return c;
        }
        const AddressMatch m = matchAddress(dict, older.address(e));
        const std::vector<quint32> codes = codesOf(dict, m.best);
        if (codes.size() == 1 && !onlyCityWide(dict, m)) {
            c.zip = AddressKey::formatCode(codes.front());
            c.town = dict.address(m.best.front()).toString();
            return c;
        }
    }
    return c;
}

} // namespace

QString caption(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Match: return QStringLiteral("一致");
    case CheckKind::NoCode: return QStringLiteral("郵便番号なし");
    case CheckKind::NoAddress: return QStringLiteral("住所なし");
    case CheckKind::Mismatch: return QStringLiteral("不一致");
    case CheckKind::Ambiguous: return QStringLiteral("候補複数");
    case CheckKind::Outdated: return QStringLiteral("旧住所・旧番号");
    case CheckKind::NotFound: return QStringLiteral("見つからない");
    case CheckKind::BadFormat: return QStringLiteral("形式");
    }
    return {};
}

CheckResult checkRow(const CheckData &data, int row, const CheckInput &in)
{
    CheckResult res;
    res.row = row;
    res.seen = in;
    const QStringView zip = QStringView(in.zip).trimmed();
    const QStringView address = addressPart(in.add);
    if (zip.isEmpty() && address.isEmpty()) {
        res.kind = QStringView(in.cmp).trimmed().isEmpty() && QStringView(in.add).trimmed().isEmpty()
                       ? CheckKind::Match
                       : CheckKind::NotFound;
        return res;
    }
    const Dict &dict = *data.current;
    const qint64 code = zip.isEmpty() ? -1 : sevenDigitCode(zip);
    if (!zip.isEmpty() && code < 0) {
        res.kind = CheckKind::BadFormat;
        const QString digits = AddressKey::postalDigits(zip);
        if (digits.size() == 7) {
            res.proposedZip = AddressKey::formatCode(digits.toUInt());
            return res;
        }
        // A code a spreadsheet stored as a number: the code it stands for,
        // where that code fits the row's address (or, with none, with the
        // code's town).
        const QString repaired = AddressKey::spreadsheetCode(zip);
        if (repaired.isEmpty())
            return res;
        const CheckResult as = checkRow(data, row, {AddressKey::formatCode(repaired.toUInt()), in.add, in.cmp});
        if (as.kind == CheckKind::Match) {
            res.proposedZip = as.seen.zip;
        } else if (address.isEmpty() && as.kind == CheckKind::NoAddress) {
            res.proposedZip = as.seen.zip;
            res.proposedAdd = as.proposedAdd;
        }
        return res;
    }

    const std::vector<Dict::Hit> codeEntries = code >= 0 ? entriesOfCode(dict, quint32(code)) : std::vector<Dict::Hit>{};
    const auto fits = [&](const AddressMatch &m) {
        const std::vector<quint32> codes = codesOf(dict, m.best);
        return std::find(codes.begin(), codes.end(), quint32(code)) != codes.end();
    };
    // An address without its prefecture, read first in the code's: when it
    // fits there, the search through every prefecture is not needed.
    if (!codeEntries.empty() && !address.isEmpty() && AddressKey::prefectureAt(address) < 0) {
        const int pref = AddressKey::prefectureAt(dict.address(codeEntries.front().entry));
        if (pref >= 0) {
            const AddressMatch m = matchAddress(dict, QString(AddressKey::prefecture(pref) + address));
            if (m.found() && m.exact && !onlyCityWide(dict, m) && fits(m))
                return res;
        }
    }
    AddressMatch here = matchAddress(dict, address);
    std::vector<quint32> hereCodes = codesOf(dict, here.best);

    // Older data, where the row's town is known only there: the dictionary in
    // use finds nothing, only its city, or reads past a ward it does not know.
    // (An address in which not even a city is found is looked for in older
    // data only when it names its prefecture: without one, every prefecture
    // is tried, and a place that left no trace in the data in use is rare.)
    const Dict *older = nullptr;
    AddressMatch olderMatch;
    if (!address.isEmpty() && (here.found() || AddressKey::prefectureAt(address) >= 0)
        && (!here.found() || !here.exact || onlyCityWide(dict, here))) {
        for (const Dict *o : data.older) {
            AddressMatch m = matchAddress(*o, address);
            if (m.found() && m.exact && !onlyCityWide(*o, m)
                && (m.restFrom > here.restFrom || (m.restFrom == here.restFrom && !here.exact))) {
                older = o;
                olderMatch = std::move(m);
                break;
            }
        }
    }
    // A town the dictionary in use knows only as its city, spelled otherwise
    // than in the older data (地割 or 区 numbers split or joined), whose codes
    // are all still in use: the older data only tells its codes.
    if (older && (!here.found() || onlyCityWide(dict, here))) {
        AddressMatch spelled;
        for (const quint32 c : codesOf(*older, olderMatch.best)) {
            const std::vector<Dict::Hit> now = entriesOfCode(dict, c);
            if (now.empty()) {
                spelled.best.clear();
                break;
            }
            spelled.best.push_back(now.front().entry);
        }
        if (!spelled.best.empty()) {
            spelled.all = spelled.best;
            spelled.restFrom = olderMatch.restFrom;
            spelled.exact = true;
            here = std::move(spelled);
            hereCodes = codesOf(dict, here.best);
            older = nullptr;
        }
    }
    const QStringView rest = older ? address.sliced(std::min(olderMatch.restFrom, address.size())).trimmed()
                                   : QStringView();
    const auto outdatedTown = [&](quint32 keptCode) {
        res.kind = CheckKind::Outdated;
        const std::vector<quint32> oldCodes = codesOf(*older, olderMatch.best);
        const std::vector<Dict::Hit> kept = keptCode ? entriesOfCode(dict, keptCode) : std::vector<Dict::Hit>{};
        if (!kept.empty() && std::find(oldCodes.begin(), oldCodes.end(), keptCode) != oldCodes.end()) {
            res.proposedZip = AddressKey::formatCode(keptCode);
            res.proposedAdd = addressOfCode(dict, kept) + rest;
            return;
        }
        const Current now = currentFor(dict, *older, olderMatch.best);
        res.proposedZip = now.zip;
        if (!now.town.isEmpty())
            res.proposedAdd = now.town + rest;
    };

    const int office = code >= 0 && !address.isEmpty() ? officeFits(dict, codeEntries, address, here) : 0;
    if (office == 2)
        return res;
    if (code >= 0 && here.found()
        && (office == 1 || std::find(hereCodes.begin(), hereCodes.end(), quint32(code)) != hereCodes.end())) {
        if (older)
            outdatedTown(quint32(code));
        return res;
    }

    if (code < 0) { // an address without a code
        if (older) {
            outdatedTown(0);
            if (!res.proposedZip.isEmpty())
                return res;
            res = CheckResult{row, CheckKind::Match, in, {}, {}, {}};
        }
        const std::vector<Dict::OfficeAt> offices =
            here.found() && !QStringView(in.cmp).trimmed().isEmpty()
                ? officesAtBlock(dict, here, AddressKey::officeName(in.cmp))
                : std::vector<Dict::OfficeAt>{};
        const quint32 named = namedOffice(dict, offices, address);
        if (!here.found()) {
            res.kind = CheckKind::NotFound;
        } else if (named != Dict::None) {
            // (Also where the office's address names a town that the town
            // list does not: "大分市大字駄原…" of an office.)
            res.kind = CheckKind::NoCode;
            res.proposedZip = AddressKey::formatCode(dict.code(named));
        } else if (onlyCityWide(dict, here) && namesPlace(here.rest) && offices.empty()) {
            // A town the dictionary does not know: the city's catch-all code
            // is a candidate, not the row's code.
            res.kind = CheckKind::NotFound;
            for (const quint32 e : here.best)
                res.candidates.append(candidateText(dict, e));
        } else if (!offices.empty()) {
            // A large office's block number, but the workplace names another
            // (or several offices share the block): the town and the offices.
            res.kind = CheckKind::Ambiguous;
            for (const quint32 code : hereCodes)
                for (const quint32 e : here.best)
                    if (dict.code(e) == code) {
                        res.candidates.append(candidateText(dict, e));
                        break;
                    }
            for (const Dict::OfficeAt &o : offices)
                res.candidates.append(candidateText(dict, o.entry));
        } else if (hereCodes.size() == 1) {
            res.kind = CheckKind::NoCode;
            res.proposedZip = AddressKey::formatCode(hereCodes.front());
        } else {
            res.kind = CheckKind::Ambiguous;
            for (const quint32 e : here.best)
                res.candidates.append(candidateText(dict, e));
        }
        return res;
    }

    if (codeEntries.empty()) { // a code the dictionary in use does not know
        for (const Dict *o : data.older) {
            std::vector<quint32> old;
            for (const Dict::Hit &h : entriesOfCode(*o, quint32(code)))
                old.push_back(h.entry);
            if (old.empty())
                continue;
            res.kind = CheckKind::Outdated;
            if (here.found() && here.exact && !onlyCityWide(dict, here) && hereCodes.size() == 1) {
                res.proposedZip = AddressKey::formatCode(hereCodes.front());
            } else {
                const Current now = currentFor(dict, *o, old);
                res.proposedZip = now.zip;
                if (address.isEmpty() || older)
                    res.proposedAdd = now.town + rest;
            }
            return res;
        }
        res.kind = here.found() ? CheckKind::Mismatch : CheckKind::NotFound;
        if (hereCodes.size() == 1 && !(onlyCityWide(dict, here) && namesPlace(here.rest)))
            res.proposedZip = AddressKey::formatCode(hereCodes.front());
        return res;
    }

    if (address.isEmpty()) {
        res.proposedAdd = addressOfCode(dict, codeEntries);
        res.kind = res.proposedAdd.isEmpty() ? CheckKind::Ambiguous : CheckKind::NoAddress;
        if (res.proposedAdd.isEmpty())
            for (const Dict::Hit &h : codeEntries)
                res.candidates.append(candidateText(dict, h.entry));
        return res;
    }
    if (older) {
        outdatedTown(quint32(code));
        if (!res.proposedZip.isEmpty())
            return res;
    }
    res.kind = CheckKind::Mismatch;
    res.proposedZip.clear();
    res.proposedAdd = addressOfCode(dict, codeEntries);
    // The code's town takes the place of the row's town only: the block
    // number and what follows it stay (an office's code brings its own).
    if (!res.proposedAdd.isEmpty() && here.found() && here.restFrom >= 0 && !onlyCityWide(dict, here)
        && dict.kind(codeEntries.front().entry) == Dict::Kind::Town)
        res.proposedAdd += address.sliced(std::min(here.restFrom, address.size())).trimmed();
    // An address that names no more than the city of the code's town: the
    // city's catch-all code would be a worse one than the row's.
    const bool cityOfTheCode = here.found() && onlyCityWide(dict, here)
                               && AddressKey::address(dict.address(codeEntries.front().entry))
                                      .startsWith(AddressKey::address(dict.address(here.best.front())));
    if (hereCodes.size() == 1 && !cityOfTheCode && !(onlyCityWide(dict, here) && namesPlace(here.rest)))
        res.proposedZip = AddressKey::formatCode(hereCodes.front());
    else if (!cityOfTheCode)
        for (const quint32 e : here.best)
            res.candidates.append(candidateText(dict, e));
    return res;
}

bool stillAsChecked(const CheckResult &result, const CheckInput &now)
{
    return result.seen == now;
}

std::optional<CheckInput> applied(const CheckResult &result, const CheckInput &now, MismatchFix fix)
{
    if (!stillAsChecked(result, now))
        return std::nullopt;
    CheckInput out = now;
    switch (result.kind) {
    case CheckKind::NoCode:
        out.zip = result.proposedZip;
        break;
    case CheckKind::BadFormat:
        out.zip = result.proposedZip;
        // A repaired code of a row without an address brings its town.
        if (!result.proposedAdd.isEmpty() && addressPart(now.add).isEmpty())
            out.add = result.proposedAdd;
        break;
    case CheckKind::NoAddress:
        out.add = result.proposedAdd;
        break;
    case CheckKind::Mismatch:
        if (fix == MismatchFix::CodeFromAddress)
            out.zip = result.proposedZip;
        else
            out.add = result.proposedAdd;
        break;
    case CheckKind::Outdated:
        if (!result.proposedZip.isEmpty())
            out.zip = result.proposedZip;
        if (!result.proposedAdd.isEmpty())
            out.add = result.proposedAdd;
        break;
    case CheckKind::Match:
    case CheckKind::Ambiguous:
    case CheckKind::NotFound:
        break;
    }
    // Nothing to write, or a proposal that would empty a cell.
    if (out == now || (out.zip.isEmpty() && !now.zip.isEmpty()) || (out.add.isEmpty() && !now.add.isEmpty()))
        return std::nullopt;
    return out;
}

QString proposalText(const CheckResult &result)
{
    switch (result.kind) {
    case CheckKind::Mismatch: {
        QStringList parts;
        if (!result.proposedZip.isEmpty())
            parts.append(QStringLiteral("住所から %1").arg(result.proposedZip));
        if (!result.proposedAdd.isEmpty())
            parts.append(QStringLiteral("番号から %1").arg(result.proposedAdd));
        if (!result.candidates.isEmpty())
            parts.append(result.candidates.join(QStringLiteral(" / ")));
        return parts.join(QStringLiteral(" / "));
    }
    case CheckKind::Ambiguous:
        return result.candidates.join(QStringLiteral(" / "));
    case CheckKind::BadFormat: {
        // What was read, and why it is no code.
        QString digits;
        for (const QChar c : result.seen.zip) {
            if (c == u'.' || c == u'\uFF0E') // a decimal part
                break;
            if (c.isDigit())
                digits.append(QChar(u'0' + c.digitValue()));
        }
        QString text = digits.size() == 7 ? QStringLiteral("数字以外の文字があります（%1 と読みました）").arg(digits)
                                          : QStringLiteral("7 桁ではありません（%1 桁 %2 と読みました）")
                                                .arg(digits.size())
                                                .arg(digits);
        if (!result.proposedZip.isEmpty())
            text += QStringLiteral(" → ") + result.proposedZip;
        if (!result.proposedAdd.isEmpty())
            text += u' ' + result.proposedAdd;
        return text;
    }
    default: {
        QStringList parts;
        if (!result.proposedZip.isEmpty())
            parts.append(result.proposedZip);
        if (!result.proposedAdd.isEmpty())
            parts.append(result.proposedAdd);
        QString text = parts.join(u' ');
        if (!result.candidates.isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral(" / ")) + result.candidates.join(QStringLiteral(" / "));
        return text;
    }
    }
}

QString resultsText(const std::vector<CheckResult> &results)
{
    CellBlock::Block block;
    block.reserve(qsizetype(results.size()) + 1);
    block.append({QStringLiteral("行"), QStringLiteral("種類"), QStringLiteral("郵便番号"), QStringLiteral("住所"),
                  QStringLiteral("提案")});
    for (const CheckResult &r : results)
        block.append({QString::number(r.row + 1), caption(r.kind), r.seen.zip, r.seen.add, proposalText(r)});
    return CellBlock::toText(block);
}

std::vector<std::shared_ptr<const PostalDictionary>> loadOlderData(const QString &userDataFolder,
                                                                   const QString &skkFolder)
{
    std::vector<std::shared_ptr<const PostalDictionary>> older;
    if (!userDataFolder.isEmpty())
        if (std::unique_ptr<PostalDictionary> previous = PostalUpdate::loadPrevious(userDataFolder))
            older.push_back(std::move(previous));
    if (!skkFolder.isEmpty()) {
        auto skk = std::make_unique<PostalDictionary>();
        const QDir dir(skkFolder);
        const auto towns = PostalReaders::readFile(dir.filePath(QStringLiteral("SKK-JISYO.zipcode")),
                                                   PostalReaders::Format::SkkTowns, *skk);
        const auto offices = PostalReaders::readFile(dir.filePath(QStringLiteral("SKK-JISYO.office.zipcode")),
                                                     PostalReaders::Format::SkkOffices, *skk);
        skk->sources = {towns, offices};
        skk->finish();
        if (!skk->isEmpty())
            older.push_back(std::move(skk));
    }
    return older;
}

// ---- the runner ----

namespace {
constexpr int ChunkRows = 2048;
}

ListCheck::ListCheck(std::shared_ptr<const PostalDictionary> current,
                     std::vector<std::shared_ptr<const PostalDictionary>> older, QObject *parent)
    : QObject(parent), m_current(std::move(current)), m_older(std::move(older))
{
    m_data.current = m_current.get();
    for (const auto &d : m_older)
        if (d)
            m_data.older.push_back(d.get());
}

ListCheck::~ListCheck()
{
    stop();
}

void ListCheck::stop()
{
    if (!m_watcher)
        return;
    m_watcher->cancel();
    m_watcher->waitForFinished();
    // Later: start() may be called from a slot of this watcher's finished().
    m_watcher->disconnect(this);
    m_watcher->deleteLater();
    m_watcher = nullptr;
}

void ListCheck::start(std::vector<CheckInput> rows)
{
    stop();
    m_rows = std::move(rows);
    m_results.clear();
    m_counts.fill(0);
    m_canceled = false;
    m_chunks.clear();
    const int total = rowCount();
    for (int from = 0; from < total; from += ChunkRows)
        m_chunks.push_back(Chunk{from, std::min(total, from + ChunkRows), {}, {}});
    m_watcher = new QFutureWatcher<void>(this);
    connect(m_watcher, &QFutureWatcher<void>::progressValueChanged, this, [this](int chunks) {
        const int total = rowCount();
        Q_EMIT progress(std::min(total, chunks * ChunkRows), total);
    });
    connect(m_watcher, &QFutureWatcher<void>::finished, this, &ListCheck::collect);
    m_watcher->setFuture(QtConcurrent::map(m_chunks, [this](Chunk &chunk) {
        for (int row = chunk.from; row < chunk.to; ++row) {
            const CheckInput &in = m_rows[size_t(row)];
            if (in.zip.trimmed().isEmpty() && in.add.trimmed().isEmpty() && in.cmp.trimmed().isEmpty())
                continue;
            CheckResult r = m_data.current ? checkRow(m_data, row, in)
                                           : CheckResult{row, CheckKind::NotFound, in, {}, {}, {}};
            ++chunk.counts[size_t(r.kind)];
            if (r.kind != CheckKind::Match)
                chunk.results.push_back(std::move(r));
        }
    }));
}

void ListCheck::cancel()
{
    if (m_watcher)
        m_watcher->cancel();
}

bool ListCheck::isRunning() const
{
    return m_watcher && m_watcher->isRunning();
}

void ListCheck::waitForFinished()
{
    if (!m_watcher)
        return;
    m_watcher->waitForFinished();
    // The watcher's report of the end is an event on this thread: take it now.
    QCoreApplication::sendPostedEvents(m_watcher);
}

void ListCheck::collect()
{
    m_canceled = m_watcher->isCanceled();
    if (!m_canceled) {
        size_t n = 0;
        for (const Chunk &c : m_chunks)
            n += c.results.size();
        m_results.reserve(n);
        for (Chunk &c : m_chunks) {
            std::move(c.results.begin(), c.results.end(), std::back_inserter(m_results));
            for (int k = 0; k < CheckKindCount; ++k)
                m_counts[size_t(k)] += c.counts[size_t(k)];
        }
    }
    m_chunks.clear();
    Q_EMIT finished();
}
