// Loads both SKK zipcode dictionaries, then times the three kinds of lookup
// and the search window's list update per keystroke.
#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalSearch.h"

#ifdef KOTOVEN_BENCH_WIDGETS
#include "widgets/lookup/AddressLookupDialog.h"
#include <QApplication>
#include <QLineEdit>
#include <QKeyEvent>
#include <QTest>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include "BenchMemory.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
}

void printTimes(const char *kind, std::vector<double> &us)
{
    std::sort(us.begin(), us.end());
    const double median = us[us.size() / 2];
    const double p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    std::printf("%s_median: %.2f us\n%s_p99: %.2f us\n%s_max: %.2f us\n", kind, median, kind, p99, kind, us.back());
}

template<typename F>
std::vector<double> timeEach(size_t n, F f)
{
    std::vector<double> us;
    us.reserve(n);
    QElapsedTimer t;
    for (size_t i = 0; i < n; ++i) {
        t.start();
        f(i);
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    return us;
}

#ifdef KOTOVEN_BENCH_WIDGETS
// One key press as an input method delivers it: the text, no key code.
void typeChar(QWidget *field, QChar c)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &release);
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
#ifdef KOTOVEN_BENCH_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    PostalReaders::Locations where;
    where.skkFolder = app.arguments().value(1, QStringLiteral("/usr/share/skk"));
    const QString zipFile = where.skkFolder + QStringLiteral("/SKK-JISYO.zipcode");
    if (!QFile::exists(zipFile)) {
        std::printf("lookup_bench: %s not found (install skkdic-extra)\n", qPrintable(zipFile));
        return 1;
    }

    const double rssBefore = rssMiB();
    std::vector<double> loads;
    std::unique_ptr<PostalDictionary> dict;
    for (int i = 0; i < 5; ++i) {
        dict.reset();
        QElapsedTimer t;
        t.start();
        dict = PostalReaders::load(where);
        loads.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double rssAfter = rssMiB();
    print("load_first", loads.front(), "ms");
    std::sort(loads.begin(), loads.end());
    print("load_median", loads[loads.size() / 2], "ms");
    std::printf("towns: %lld entries\noffices: %lld entries\n", qlonglong(dict->townCount()),
                qlonglong(dict->officeCount()));
    for (const auto &s : dict->sources)
        std::printf("source_%s: %s %s skipped %lld\n", qPrintable(s.label), qPrintable(s.path),
                    qPrintable(s.date.toString(Qt::ISODate)), qlonglong(s.skipped));
    print("memory_dictionary", double(dict->memoryBytes()) / (1024.0 * 1024.0), "MiB");
    print("memory_rss_growth", rssAfter - rssBefore, "MiB");

    std::mt19937 rng(20240607);
    std::vector<quint32> towns;
    std::vector<quint32> offices;
    for (quint32 e = 0; e < quint32(dict->size()); ++e)
        (dict->kind(e) == PostalDictionary::Kind::Town ? towns : offices).push_back(e);
    const size_t N = 10000;
    std::vector<quint32> pickTown(N);
    std::vector<quint32> pickOffice(N);
    for (size_t i = 0; i < N; ++i) {
        pickTown[i] = towns[rng() % towns.size()];
        pickOffice[i] = offices.empty() ? 0 : offices[rng() % offices.size()];
    }

    // code -> towns
    std::vector<QString> codes(N);
    for (size_t i = 0; i < N; ++i)
        codes[i] = QStringLiteral("%1").arg(dict->code(pickTown[i]), 7, 10, QLatin1Char('0'));
    size_t codeFound = 0;
    auto codeTimes = timeEach(N, [&](size_t i) { codeFound += dict->findCode(codes[i], 1000).empty() ? 0 : 1; });
    printTimes("code_to_towns", codeTimes);
    std::printf("code_to_towns_found: %zu of %zu\n", codeFound, N);

    // address with block numbers -> code
    std::vector<QString> typed(N);
    for (size_t i = 0; i < N; ++i)
    {
        // A floor of a building is typed after the building's name.
        const QStringView note = dict->note(pickTown[i]);
        typed[i] = dict->address(pickTown[i]) + (note.endsWith(u'階') ? u"　" + note : QStringLiteral("　１－２－３"));
    }
    size_t top = 0;
    size_t listed = 0;
    size_t untied = 0;
    auto addressTimes = timeEach(N, [&](size_t i) {
        const auto r = dict->findAddress(typed[i]);
        const quint32 want = dict->code(pickTown[i]);
        if (!r.hits.empty() && dict->code(r.hits.front().entry) == want)
            ++top;
        if (std::any_of(r.hits.begin(), r.hits.end(), [&](const auto &h) { return dict->code(h.entry) == want; }))
            ++listed;
        // Where the first is another code, the wanted one should tie with it:
        // the dictionary itself gives one address several codes (floors of
        // one building, 南郷通 for both 南 and 北).
        if (!r.hits.empty() && dict->code(r.hits.front().entry) != want) {
            const int best = r.hits.front().score;
            if (std::none_of(r.hits.begin(), r.hits.end(),
                             [&](const auto &h) { return h.score == best && dict->code(h.entry) == want; }))
                ++untied;
        }
    });
    printTimes("address_to_code", addressTimes);
    std::printf("address_to_code_first: %zu of %zu\naddress_to_code_listed: %zu of %zu\n", top, N, listed, N);
    std::printf("address_to_code_wrong_first_not_tied: %zu\n", untied);

    // part of an office name -> offices
    if (!offices.empty()) {
        std::vector<QString> parts(N);
        for (size_t i = 0; i < N; ++i) {
            const QString name = AddressKey::officeName(dict->officeName(pickOffice[i]));
            const qsizetype len = std::min<qsizetype>(name.size(), 2 + qsizetype(rng() % 3));
            const qsizetype from = name.size() > len ? qsizetype(rng() % quint32(name.size() - len + 1)) : 0;
            parts[i] = name.mid(from, len);
        }
        size_t officeFound = 0;
        auto officeTimes = timeEach(N, [&](size_t i) { officeFound += dict->findOffice(parts[i], 1000).empty() ? 0 : 1; });
        printTimes("office_name_part", officeTimes);
        std::printf("office_name_part_found: %zu of %zu\n", officeFound, N);
    }

    // the window's whole search (three fields, list of at most 1000)
    auto searchTimes = timeEach(N, [&](size_t i) {
        PostalSearch::run(*dict, codes[i].left(3 + int(i % 5)), typed[i].left(4 + int(i % 12)), QString());
    });
    printTimes("window_search", searchTimes);

    // side by side with grep -c over the same file
    int agree = 0;
    double grepMs = 0;
    const int G = 20;
    for (int i = 0; i < G; ++i) {
        const QString code = codes[size_t(i) * 37];
        QProcess grep;
        QElapsedTimer t;
        t.start();
        grep.start(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("^") + code + u' ', zipFile});
        grep.waitForFinished();
        grepMs += double(t.nsecsElapsed()) / 1e6;
        const int lines = QString::fromLatin1(grep.readAllStandardOutput()).trimmed().toInt();
        qsizetype total = 0;
        const auto hits = dict->findCode(code, 1000, &total);
        const bool hasTown = std::any_of(hits.begin(), hits.end(), [&](const auto &h) {
            return dict->kind(h.entry) == PostalDictionary::Kind::Town;
        });
        if ((lines > 0) == hasTown)
            ++agree;
        if (i < 3)
            std::printf("grep_c %s: %d line(s); dictionary: %lld entr%s\n", qPrintable(code), lines,
                        qlonglong(total), total == 1 ? "y" : "ies");
    }
    std::printf("grep_c_agreement: %d of %d\n", agree, G);
    print("grep_c_per_lookup", grepMs / G, "ms");

#ifdef KOTOVEN_BENCH_WIDGETS
    // the search window: one keystroke = text edited, list rebuilt, view laid out and painted
    std::shared_ptr<const PostalDictionary> shared(std::move(dict));
    AddressLookupDialog dialog(shared, QString(), QString(), QString());
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        std::printf("lookup_bench: the search window was not shown\n");
    QLineEdit *address = dialog.addressField();
    const QString text = QStringLiteral("東京都千代田区丸の内１－１");
    std::vector<double> keyTimes;
    for (int round = 0; round < 20; ++round) {
        address->clear();
        for (const QChar c : text) {
            QElapsedTimer t;
            t.start();
            typeChar(address, c);
            dialog.repaint();
            keyTimes.push_back(double(t.nsecsElapsed()) / 1000.0);
        }
        QLineEdit *zip = dialog.zipField();
        for (const QChar c : QStringLiteral("1000005")) {
            QElapsedTimer t;
            t.start();
            typeChar(zip, c);
            dialog.repaint();
            keyTimes.push_back(double(t.nsecsElapsed()) / 1000.0);
        }
        zip->clear();
    }
    printTimes("window_keystroke", keyTimes);
#endif
    return 0;
}
