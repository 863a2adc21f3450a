// The postal dictionary on the shipped Japan Post data: loading it from the
// zips (cold), from its compiled form in the cache folder, its memory, and the
// time of each kind of lookup on it.
//
//     postal_data_bench [folder with ken_all.zip and jigyosyo.zip]
#include "core/lookup/AddressKey.h"
#include "core/lookup/PostalReaders.h"
#include "support/TestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "BenchMemory.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

void printTimes(const char *kind, std::vector<double> v, const char *unit)
{
    std::sort(v.begin(), v.end());
    const double p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    std::printf("%s_median: %.3f %s\n%s_p99: %.3f %s\n%s_max: %.3f %s\n", kind, v[v.size() / 2], unit, kind, p99,
                unit, kind, v.back(), unit);
}

template<typename F>
std::vector<double> timeEach(size_t n, double scale, F f)
{
    std::vector<double> t;
    t.reserve(n);
    QElapsedTimer timer;
    for (size_t i = 0; i < n; ++i) {
        timer.start();
        f(i);
        t.push_back(double(timer.nsecsElapsed()) / scale);
    }
    return t;
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    const QString shipped = app.arguments().value(1, sourcePath(QStringLiteral("data/postal")));
    if (!QFile::exists(shipped + QStringLiteral("/ken_all.zip"))) {
        std::printf("postal_data_bench: no ken_all.zip in %s\n", qPrintable(shipped));
        return 1;
    }
    QTemporaryDir cache;
    PostalReaders::Locations where;
    where.shippedFolders = {shipped};
    where.skkFolder = QStringLiteral("/usr/share/skk"); // older: only its date is looked at

    // Cold: the zips read and the dictionary built, without a cache.
    std::unique_ptr<PostalDictionary> dict;
    const double rssBefore = rssMiB();
    const auto cold = timeEach(3, 1e6, [&](size_t) {
        dict.reset();
        dict = PostalReaders::load(where);
    });
    const double rssAfter = rssMiB();
    printTimes("load_cold_from_zips", cold, "ms");
    for (const auto &s : dict->sources)
        std::printf("source_%s: %s %s records %lld skipped %lld\n", qPrintable(s.label), qPrintable(s.path),
                    qPrintable(s.date.toString(Qt::ISODate)), qlonglong(s.records), qlonglong(s.skipped));
    std::printf("towns: %lld entries\noffices: %lld entries\n", qlonglong(dict->townCount()),
                qlonglong(dict->officeCount()));
    std::printf("memory_dictionary: %.1f MiB\nmemory_rss_growth: %.1f MiB\n",
                double(dict->memoryBytes()) / (1024.0 * 1024.0), rssAfter - rssBefore);

    // The first start after a change: read, build and write the cache.
    where.cacheFolder = cache.path();
    const auto build = timeEach(1, 1e6, [&](size_t) { dict = PostalReaders::load(where); });
    std::printf("load_and_write_cache: %.1f ms\n", build.front());
    std::printf("cache_size: %.1f MiB\n",
                double(QFileInfo(cache.filePath(QStringLiteral("postal.dictionary"))).size()) / (1024.0 * 1024.0));
    // Every later start.
    const auto warm = timeEach(20, 1e6, [&](size_t) {
        dict.reset();
        dict = PostalReaders::load(where);
    });
    printTimes("load_from_cache", warm, "ms");
    if (!dict || dict->sources.size() != 2 || !dict->sources.front().path.endsWith(QStringLiteral("ken_all.zip"))) {
        std::printf("postal_data_bench: the cache did not give the shipped data\n");
        return 1;
    }

    // Lookups on the dictionary as loaded from the cache.
    std::mt19937 rng(20260529);
    std::vector<quint32> towns;
    std::vector<quint32> offices;
    for (quint32 e = 0; e < quint32(dict->size()); ++e)
        (dict->kind(e) == PostalDictionary::Kind::Town ? towns : offices).push_back(e);
    const size_t N = 10000;
    std::vector<QString> codes(N);
    std::vector<QString> typed(N);
    std::vector<QString> names(N);
    std::vector<quint32> want(N);
    for (size_t i = 0; i < N; ++i) {
        const quint32 town = towns[rng() % towns.size()];
        const quint32 office = offices[rng() % offices.size()];
        want[i] = dict->code(town);
        codes[i] = QStringLiteral("%1").arg(dict->code(town), 7, 10, QLatin1Char('0'));
        typed[i] = dict->address(town) + QStringLiteral("　１－２－３");
        const QString name = AddressKey::officeName(dict->officeName(office));
        const qsizetype len = std::min<qsizetype>(name.size(), 2 + qsizetype(rng() % 3));
        names[i] = name.mid(name.size() > len ? qsizetype(rng() % quint32(name.size() - len + 1)) : 0, len);
    }
    size_t found = 0;
    printTimes("lookup_code", timeEach(N, 1e3, [&](size_t i) { found += dict->findCode(codes[i], 1000).empty() ? 0 : 1; }),
               "us");
    std::printf("lookup_code_found: %zu of %zu\n", found, N);
    found = 0;
    printTimes("lookup_address", timeEach(N, 1e3, [&](size_t i) {
                   const auto r = dict->findAddress(typed[i]);
                   found += std::any_of(r.hits.begin(), r.hits.end(),
                                        [&](const auto &h) { return dict->code(h.entry) == want[i]; });
               }),
               "us");
    std::printf("lookup_address_listed: %zu of %zu\n", found, N);
    found = 0;
    printTimes("lookup_office", timeEach(N, 1e3, [&](size_t i) { found += dict->findOffice(names[i], 1000).empty() ? 0 : 1; }),
               "us");
    std::printf("lookup_office_found: %zu of %zu\n", found, N);
    return 0;
}
