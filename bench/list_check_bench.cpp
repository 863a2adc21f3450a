// The whole-list check on the shipped Japan Post data, with Debian's SKK
// dictionaries as the older data:
//
//     list_check_bench [folder with ken_all.zip and jigyosyo.zip] [SKK folder]
//
// The list is made from the dictionaries themselves, each row one of these,
// drawn at random in these shares:
//   78%  a town's code and address with a block number ("…丸の内1-9-3"),
//        of towns whose code the address alone decides; a quarter of them
//        without the prefecture
//    4%  a large office: its own code, its address and its name as workplace
//    5%  a town's address, no code
//    2%  a code, no address (候補複数 when the code serves several towns)
//    3%  an address with another town's code
//    2%  a town or code only the SKK data of 2022 knows: in practice
//        Hamamatsu's wards redrawn in 2024 and a few codes retired since
//    2%  an ill-formed code (a digit missing or one too many, 〒 in front,
//        the dash misplaced)
//    2%  an address Japan Post lists under several codes, without the part
//        (丁目, floor, lot number) that tells them apart; where one of the
//        codes stands for the whole (a building's 階層不明, a town's その他)
//        the dictionary ranks it first and the row is 郵便番号なし
//    2%  an address that is in no dictionary, without a prefecture
// and checked, 100,000 and 1,000,000 rows, through the runner. Printed: rows
// per second and wall time per size, what the results take in memory, the
// share of each kind found, and how the rows made for each case were sorted.
#include "core/lookup/AddressKey.h"
#include "core/lookup/ListCheck.h"
#include "core/lookup/PostalReaders.h"

#include "support/TestData.h"

#include "BenchMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThreadPool>

#include <sys/resource.h>

#include <cstdio>
#include <optional>
#include <map>
#include <random>
#include <set>

namespace {

using Dict = PostalDictionary;

enum Case { Right, Office, NoCode, NoAddress, Wrong, Old, IllFormed, Ambiguous, Unknown, CaseCount };
constexpr const char *CaseNames[] = {"right", "office", "no_code", "no_address", "wrong_code",
                                     "old", "ill_formed", "ambiguous", "unknown"};
constexpr int Share[] = {78, 4, 5, 2, 3, 2, 2, 2, 2};

struct Pools
{
    std::vector<quint32> towns;     // towns one address decides
    std::vector<quint32> offices;
    std::vector<quint32> ambiguous; // towns whose address has several codes
    std::vector<CheckInput> old;    // rows only the older data explains
};

QString block(std::mt19937 &rng)
{
    std::uniform_int_distribution<int> n(1, 30);
    return QStringLiteral("%1-%2-%3").arg(n(rng)).arg(n(rng)).arg(n(rng));
}

Pools pools(const Dict &dict, const Dict *older)
{
    Pools p;
    std::map<QString, std::set<quint32>> codesByAddress;
    for (quint32 e = 0; e < quint32(dict.size()); ++e)
        if (dict.kind(e) == Dict::Kind::Town)
            codesByAddress[dict.address(e).toString()].insert(dict.code(e));
    for (quint32 e = 0; e < quint32(dict.size()); ++e) {
        if (dict.kind(e) == Dict::Kind::Office) {
            p.offices.push_back(e);
        } else if (codesByAddress[dict.address(e).toString()].size() > 1) {
            p.ambiguous.push_back(e);
        } else if (dict.note(e).isEmpty()) {
            p.towns.push_back(e);
        }
    }
    if (older) {
        // Towns whose address the dictionary in use does not spell, and
        // codes it no longer has.
        const CheckData data{&dict, {older}};
        for (quint32 e = 0; e < quint32(older->size()) && p.old.size() < 5000; e += 7) {
            if (older->kind(e) != Dict::Kind::Town || !older->note(e).isEmpty())
                continue;
            const QString code = AddressKey::formatCode(older->code(e));
            CheckInput byCode{code, QString(), QString()};
            CheckInput byTown{QString(), older->address(e).toString() + QStringLiteral("1-2"), QString()};
            if (checkRow(data, 0, byCode).kind == CheckKind::Outdated)
                p.old.push_back(byCode);
            else if (checkRow(data, 0, byTown).kind == CheckKind::Outdated)
                p.old.push_back(byTown);
        }
    }
    return p;
}

std::vector<CheckInput> makeList(const Dict &dict, const Pools &p, int rows, std::vector<Case> &cases)
{
    std::mt19937 rng(20260529);
    std::discrete_distribution<int> pick(std::begin(Share), std::end(Share));
    const auto any = [&](const auto &pool) { return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(rng)]; };
    const auto zip = [&](quint32 e) { return AddressKey::formatCode(dict.code(e)); };
    std::vector<CheckInput> list;
    list.reserve(size_t(rows));
    cases.clear();
    for (int i = 0; i < rows; ++i) {
        auto c = Case(pick(rng));
        if ((c == Old && p.old.empty()) || (c == Ambiguous && p.ambiguous.empty()))
            c = Right;
        cases.push_back(c);
        CheckInput row;
        switch (c) {
        case Right: {
            // A quarter without the prefecture.
            const quint32 e = any(p.towns);
            const QStringView address = dict.address(e);
            const qsizetype from = i % 4 ? 0 : AddressKey::prefecture(AddressKey::prefectureAt(address)).size();
            row = {zip(e), address.sliced(from) + block(rng), {}};
            break;
        }
        case Office: {
            const quint32 e = any(p.offices);
            row = {zip(e), dict.address(e).toString(), dict.officeName(e).toString()};
            break;
        }
        case NoCode:
            row.add = dict.address(any(p.towns)) + block(rng);
            break;
        case NoAddress:
            row.zip = zip(any(p.towns));
            break;
        case Wrong:
            row = {zip(any(p.towns)), dict.address(any(p.towns)) + block(rng), {}};
            break;
        case Old:
            row = any(p.old);
            break;
        case IllFormed: {
            const quint32 e = any(p.towns);
            const QString code = zip(e);
            const QString forms[] = {code.chopped(1), QStringLiteral("〒") + code, code + u'1',
                                     code.left(5) + u'-' + code.mid(5)};
            row.zip = forms[std::uniform_int_distribution<int>(0, 3)(rng)];
            row.add = dict.address(e) + block(rng);
            break;
        }
        case Ambiguous:
            row.add = dict.address(any(p.ambiguous)).toString();
            break;
        case Unknown:
            row.add = QStringLiteral("架空県幻町%1").arg(i);
            break;
        case CaseCount:
            break;
        }
        list.push_back(std::move(row));
    }
    return list;
}

double cpuMs();
double loadAverage();

// ---- a list filled whole ----
// A list of institutions as people keep them, their codes removed, then
// checked and 郵便番号なし and 形式 applied in full: how many rows get their own
// code back and how many get another. The rows, in these shares:
//   11%  a large office with its own code: its address as Japan Post writes
//        it (丁目 and 番 or dashes, either width) and its name written loosely
//        (spaces dropped, 株式会社 as （株） or left out, a university hospital
//        as …大学病院)
//   62%  a clinic or shop at a town whose address decides the code, with a
//        block number, named as such; a fifth without the prefecture
//    8%  a town that Japan Post lists as named parts and the rest (その他),
//        at a place that is none of the parts
//    4%  the same at one of its named parts
//    3%  a town the data does not list, in a known city (its own code is
//        none Japan Post knows)
//    6%  the code kept but mangled by a spreadsheet (a code starting with 0
//        stored as a number)
//    6%  the town alone, with no block number
enum FillCase { FillOffice, FillTown, FillRest, FillPart, FillUnknown, FillMangled, FillTownAlone, FillCaseCount };
constexpr const char *FillNames[] = {"office", "town", "sonota", "named_part", "unlisted_town", "mangled_code",
                                     "town_alone"};
constexpr int FillShare[] = {11, 62, 8, 4, 3, 6, 6};

struct FillRow
{
    CheckInput row;
    quint32 code; // the row's own code; 0: none Japan Post knows
    FillCase kind;
};

QString looseName(QString name, std::mt19937 &rng)
{
    name.remove(u'\u3000');
    name.remove(u' ');
    const int pick = int(rng() % 3);
    name.replace(QStringLiteral("株式会社"), pick == 0 ? QStringLiteral("（株）") : pick == 1 ? QString() : QStringLiteral("株式会社"));
    if (rng() % 2)
        name.replace(QStringLiteral("医学部附属病院"), QStringLiteral("病院"));
    return name;
}

std::vector<FillRow> fillList(const Dict &dict, const Pools &p, int rows)
{
    std::mt19937 rng(20261208);
    std::discrete_distribution<int> pick(std::begin(FillShare), std::end(FillShare));
    const auto any = [&](const auto &pool) { return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(rng)]; };
    // Towns listed as parts and the rest: the その他 entry and the parts'.
    std::map<QString, std::vector<quint32>> byAddress;
    for (quint32 e = 0; e < quint32(dict.size()); ++e)
        if (dict.kind(e) == Dict::Kind::Town && !dict.address(e).isEmpty())
            byAddress[dict.address(e).toString()].push_back(e);
    std::vector<quint32> rest;  // その他 entries
    std::vector<std::pair<quint32, QString>> parts; // an entry and one named part of it
    std::vector<quint32> cityCatchAll;
    std::vector<quint32> zeroTowns; // towns of codes starting with 0
    for (const auto &[address, entries] : byAddress) {
        for (const quint32 e : entries) {
            const QStringView note = dict.note(e);
            // (Only where the parts are named or counted in 丁目: a lot
            // number after a place's name may be one of those a note lists.)
            if (note == u"その他"
                && std::none_of(entries.begin(), entries.end(), [&](quint32 o) {
                       const QString n = AddressKey::address(dict.note(o));
                       return n.contains(u'番') || (n.contains(QRegularExpression(QStringLiteral("[0-9]")))
                                                    && !n.contains(QStringLiteral("丁目")));
                   })) {
                rest.push_back(e);
            } else if (note.startsWith(u"以下に掲載がない場合")) {
                cityCatchAll.push_back(e);
            } else if (!note.isEmpty() && entries.size() > 1) {
                for (const QStringView part : note.split(u'、'))
                    if (part.size() >= 2 && part != u"その他" && !part.contains(u'～') && !part.contains(u'丁') && !part.contains(u'番')
                        && !part.contains(u'階') && !part.contains(u'除') && !part.contains(u'（')
                        && std::none_of(part.begin(), part.end(), [](QChar c) { return c.isDigit(); }))
                        parts.emplace_back(e, part.toString());
            }
        }
    }
    for (const quint32 e : p.towns)
        if (dict.code(e) < 1000000)
            zeroTowns.push_back(e);
    const QString clinics[] = {QStringLiteral("さくら内科クリニック"), QStringLiteral("みどり歯科医院"),
                               QStringLiteral("中央薬局"), QStringLiteral("ひまわり保育園"), QStringLiteral("山田整形外科")};
    const auto block = [&] {
        std::uniform_int_distribution<int> n(1, 40);
        switch (rng() % 3) {
        case 0: return QStringLiteral("%1-%2-%3").arg(n(rng)).arg(n(rng)).arg(n(rng));
        case 1: return QStringLiteral("%1丁目%2番%3号").arg(n(rng)).arg(n(rng)).arg(n(rng));
        default: return QStringLiteral("%1番地").arg(n(rng) * 37);
        }
    };
    std::vector<FillRow> list;
    for (int i = 0; i < rows; ++i) {
        const auto c = FillCase(pick(rng));
        FillRow r{{}, 0, c};
        switch (c) {
        case FillOffice: {
            const quint32 e = any(p.offices);
            r.row = {{}, dict.address(e).toString(), looseName(dict.officeName(e).toString(), rng)};
            r.code = dict.code(e);
            break;
        }
        case FillTown: {
            const quint32 e = any(p.towns);
            const QStringView a = dict.address(e);
            const qsizetype from = i % 5 ? 0 : AddressKey::prefecture(AddressKey::prefectureAt(a)).size();
            r.row = {{}, a.sliced(from) + block(), clinics[rng() % 5]};
            r.code = dict.code(e);
            break;
        }
        case FillRest: {
            const quint32 e = any(rest);
            r.row = {{}, dict.address(e) + QStringLiteral("字上ノ原%1").arg(rng() % 900 + 1), clinics[rng() % 5]};
            r.code = dict.code(e);
            break;
        }
        case FillPart: {
            const auto &[e, part] = any(parts);
            r.row = {{}, dict.address(e) + part + QString::number(rng() % 900 + 1), clinics[rng() % 5]};
            r.code = dict.code(e);
            break;
        }
        case FillUnknown: {
            const quint32 e = any(cityCatchAll);
            r.row = {{}, dict.address(e) + QStringLiteral("架空町%1").arg(rng() % 30 + 1) + block(), clinics[rng() % 5]};
            break;
        }
        case FillMangled: {
            const quint32 e = any(zeroTowns);
            r.row = {QString::number(dict.code(e)) + (rng() % 4 ? QString() : QStringLiteral(".0")),
                     dict.address(e) + block(), clinics[rng() % 5]};
            r.code = dict.code(e);
            break;
        }
        case FillTownAlone: {
            const quint32 e = any(p.towns);
            r.row = {{}, dict.address(e).toString(), clinics[rng() % 5]};
            r.code = dict.code(e);
            break;
        }
        case FillCaseCount:
            break;
        }
        list.push_back(std::move(r));
    }
    return list;
}

void measureFill(const CheckData &data, const Pools &p)
{
    const Dict &dict = *data.current;
    const std::vector<FillRow> list = fillList(dict, p, 20000);
    std::array<int, CheckKindCount> kinds{};
    std::array<std::array<int, 3>, FillCaseCount> perCase{}; // own, other, none
    std::array<int, FillCaseCount> rowsOf{};
    int known = 0, own = 0, other = 0;
    const bool show = qEnvironmentVariableIsSet("KOTOVEN_BENCH_SHOW");
    std::array<double, FillCaseCount> us{};
    for (const FillRow &f : list) {
        QElapsedTimer one;
        one.start();
        const CheckResult r = checkRow(data, 0, f.row);
        us[f.kind] += double(one.nsecsElapsed()) / 1000.0;
        ++kinds[size_t(r.kind)];
        ++rowsOf[f.kind];
        QString written;
        if (r.kind == CheckKind::NoCode || r.kind == CheckKind::BadFormat)
            if (const std::optional<CheckInput> out = applied(r, f.row))
                written = out->zip;
        const QString want = f.code ? AddressKey::formatCode(f.code) : QString();
        known += f.code != 0;
        const int outcome = written.isEmpty() ? 2 : written == want ? 0 : 1;
        own += outcome == 0;
        other += outcome == 1;
        ++perCase[f.kind][size_t(outcome)];
        if (show && outcome != 0)
            std::printf("  %s: %s | %s | %s -> %s %s (want %s)\n", FillNames[f.kind], qPrintable(f.row.zip),
                        qPrintable(f.row.add), qPrintable(f.row.cmp), qPrintable(caption(r.kind)),
                        qPrintable(proposalText(r).left(120)), qPrintable(want));
    }
    const double n = double(list.size());
    std::printf("\nfill list: %zu rows, %d with a code Japan Post knows\n", list.size(), known);
    for (int k = 0; k < CheckKindCount; ++k)
        std::printf("  share %s: %.2f %%\n", qPrintable(caption(CheckKind(k))), 100.0 * kinds[size_t(k)] / n);
    std::printf("case: own code / another code / none written (rows)\n");
    for (int c = 0; c < FillCaseCount; ++c)
        std::printf("  %-14s %5d: %5d / %4d / %4d   %.1f us a row on one thread\n", FillNames[c], rowsOf[size_t(c)],
                    perCase[size_t(c)][0], perCase[size_t(c)][1], perCase[size_t(c)][2],
                    rowsOf[size_t(c)] ? us[size_t(c)] / rowsOf[size_t(c)] : 0.0);
    std::printf("fill_own_code: %.1f %% of the rows with a known code\n", 100.0 * own / known);
    std::printf("fill_other_code: %.2f %% of all rows\n", 100.0 * other / n);
}

// 100,000 rows of such a list (a workplace on every row) through the runner.
void timeFill(const std::shared_ptr<Dict> &dict, const std::vector<std::shared_ptr<const Dict>> &older, const Pools &p)
{
    std::vector<CheckInput> rows;
    for (FillRow &f : fillList(*dict, p, 100000))
        rows.push_back(std::move(f.row));
    ListCheck check(dict, older);
    QElapsedTimer t;
    const double cpuBefore = cpuMs();
    t.start();
    check.start(rows);
    check.waitForFinished();
    std::printf("fill_rows_100000_wall: %.0f ms (aim 1000 ms), cpu %.0f ms (machine load %.1f)\n",
                double(t.nsecsElapsed()) / 1e6, cpuMs() - cpuBefore, loadAverage());
}

// CPU time of the whole process (every thread), in ms.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double(u.ru_utime.tv_sec) + double(u.ru_stime.tv_sec)) * 1e3
           + (double(u.ru_utime.tv_usec) + double(u.ru_stime.tv_usec)) / 1e3;
}

double loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').value(0).toDouble() : 0.0;
}

qsizetype stringBytes(const QString &s)
{
    return s.isEmpty() ? 0 : qsizetype(sizeof(QChar)) * s.capacity() + 16; // the data and its header
}

// The results' own memory: the vector and the proposals. The row texts they
// keep (`seen`) share their data with the list's strings.
qsizetype resultBytes(const std::vector<CheckResult> &results)
{
    qsizetype bytes = qsizetype(results.capacity() * sizeof(CheckResult));
    for (const CheckResult &r : results) {
        bytes += stringBytes(r.proposedZip) + stringBytes(r.proposedAdd);
        if (!r.candidates.isEmpty())
            bytes += r.candidates.capacity() * qsizetype(sizeof(QString)) + 16;
        for (const QString &c : r.candidates)
            bytes += stringBytes(c);
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString shipped = app.arguments().value(1, sourcePath(QStringLiteral("data/postal")));
    const QString skk = app.arguments().value(2, QStringLiteral("/usr/share/skk"));
    if (!QFile::exists(shipped + QStringLiteral("/ken_all.zip"))) {
        std::printf("list_check_bench: no ken_all.zip in %s\n", qPrintable(shipped));
        return 1;
    }
    QElapsedTimer t;
    t.start();
    auto dict = std::make_shared<Dict>();
    dict->sources.push_back(
        PostalReaders::readFile(shipped + QStringLiteral("/ken_all.zip"), PostalReaders::Format::KenAll, *dict));
    dict->sources.push_back(
        PostalReaders::readFile(shipped + QStringLiteral("/jigyosyo.zip"), PostalReaders::Format::Jigyosyo, *dict));
    dict->finish();
    const auto older = loadOlderData(QString(), skk);
    std::printf("load_dictionaries: %lld ms\n", qint64(t.elapsed()));
    std::printf("threads: %d\n", QThreadPool::globalInstance()->maxThreadCount());

    if (app.arguments().value(3) == u"--query") {
        // Lines of "code<TAB>address<TAB>workplace": each row's kind and proposal.
        CheckData data{dict.get(), {}};
        for (const auto &o : older)
            data.older.push_back(o.get());
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return 2;
        for (const QByteArray &line : in.readAll().split('\n')) {
            const QStringList parts = QString::fromUtf8(line).split(u'\t');
            if (line.isEmpty())
                continue;
            const CheckResult r = checkRow(data, 0, {parts.value(0), parts.value(1), parts.value(2)});
            std::printf("%s | %s | %s -> %s %s\n", qPrintable(r.seen.zip), qPrintable(r.seen.add), qPrintable(r.seen.cmp),
                        qPrintable(caption(r.kind)), qPrintable(proposalText(r)));
        }
        return 0;
    }
    const Pools p = pools(*dict, older.empty() ? nullptr : older.front().get());
    if (qEnvironmentVariableIsSet("KOTOVEN_BENCH_SHOW"))
        for (size_t i = 0; i < p.old.size(); i += 4)
            std::printf("  old %s | %s\n", qPrintable(p.old[i].zip), qPrintable(p.old[i].add));
    std::printf("pools: %zu towns, %zu offices, %zu ambiguous, %zu old rows\n", p.towns.size(), p.offices.size(),
                p.ambiguous.size(), p.old.size());

    {
        CheckData data{dict.get(), {}};
        for (const auto &o : older)
            data.older.push_back(o.get());
        measureFill(data, p);
        timeFill(dict, older, p);
    }

    ListCheck check(dict, older);
    const bool quick = qEnvironmentVariableIsSet("KOTOVEN_BENCH_QUICK");
    for (const int rows : {100000, 1000000}) {
        if (quick && rows > 100000)
            break;
        std::vector<Case> cases;
        std::vector<CheckInput> list = makeList(*dict, p, rows, cases);
        const double rssBefore = rssMiB();
        const double cpuBefore = cpuMs();
        t.start();
        check.start(list);
        check.waitForFinished();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        const double cpu = cpuMs() - cpuBefore;
        std::printf("\nrows_%d_wall: %.0f ms (aim %d ms)\n", rows, ms, rows / 100);
        std::printf("rows_%d_per_second: %.0f\n", rows, rows / ms * 1000.0);
        // The machine is shared: the CPU time the check took says what the
        // wall time would be on two idle cores.
        std::printf("rows_%d_cpu: %.0f ms, %.1f us per row (machine load %.1f)\n", rows, cpu, cpu * 1000.0 / rows,
                    loadAverage());
        std::printf("rows_%d_results: %zu\n", rows, check.results().size());
        std::printf("rows_%d_results_memory: %.1f MiB (process grew %.1f MiB)\n", rows,
                    double(resultBytes(check.results())) / (1 << 20), rssMiB() - rssBefore);
        for (int k = 0; k < CheckKindCount; ++k)
            std::printf("  share %s: %.2f %%\n", qPrintable(caption(CheckKind(k))),
                        100.0 * check.counts()[size_t(k)] / rows);
        if (rows == 100000) {
            // Each case against the kinds its rows were sorted into.
            std::vector<CheckKind> kinds(list.size(), CheckKind::Match);
            for (const CheckResult &r : check.results())
                kinds[size_t(r.row)] = r.kind;
            // One thread's time per row of each case, on the first 20,000.
            const CheckData data{dict.get(), {}};
            CheckData withOlder = data;
            for (const auto &o : older)
                withOlder.older.push_back(o.get());
            std::array<double, CaseCount> us{};
            std::array<int, CaseCount> seen{};
            QElapsedTimer one;
            for (int i = 0; i < 20000; ++i) {
                one.start();
                const CheckResult r = checkRow(withOlder, i, list[size_t(i)]);
                us[size_t(cases[size_t(i)])] += double(one.nsecsElapsed()) / 1000.0;
                ++seen[size_t(cases[size_t(i)])];
            }
            std::printf("case: mean time of one row on one thread\n");
            for (int c = 0; c < CaseCount; ++c)
                std::printf("  %-11s %.1f us\n", CaseNames[c], seen[size_t(c)] ? us[size_t(c)] / seen[size_t(c)] : 0.0);
            if (qEnvironmentVariableIsSet("KOTOVEN_BENCH_SHOW")) {
                int shown = 0;
                for (const CheckResult &r : check.results()) {
                    const Case c = cases[size_t(r.row)];
                    if ((c == Right || c == Office) && shown++ < 30)
                        std::printf("  %s %s | %s | %s -> %s %s\n", CaseNames[c], qPrintable(r.seen.zip),
                                    qPrintable(r.seen.add), qPrintable(r.seen.cmp), qPrintable(caption(r.kind)),
                                    qPrintable(proposalText(r)));
                }
            }
            std::printf("case: kinds found (rows)\n");
            for (int c = 0; c < CaseCount; ++c) {
                std::array<int, CheckKindCount> n{};
                for (size_t i = 0; i < cases.size(); ++i)
                    if (cases[i] == c)
                        ++n[size_t(kinds[i])];
                std::printf("  %-11s", CaseNames[c]);
                for (int k = 0; k < CheckKindCount; ++k)
                    if (n[size_t(k)])
                        std::printf(" %s %d", qPrintable(caption(CheckKind(k))), n[size_t(k)]);
                std::printf("\n");
            }
        }
    }
    return 0;
}
