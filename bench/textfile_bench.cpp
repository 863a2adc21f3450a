// ReadTextFile and WriteTextFile on a generated 100 MB code page 932 file,
// side by side with iconv(1) doing the same conversions on the same file.
//
//   textfile_bench [megabytes]
#include "core/env/Cp932.h"
#include "core/env/TextFile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// CSV-like lines mixing ASCII, kanji, kana and half-width katakana, as an
// address list holds them.
QByteArray generate(qint64 size)
{
    const QString lines[] = {
        QStringLiteral("\"100-0005\",\"東京都千代田区丸の内　１－１\",\"株式会社ｺﾄｳﾞｪﾝ\",\"03-1234-5678\",\"\"\r\n"),
        QStringLiteral("\"530-0001\",\"大阪府大阪市北区梅田　３丁目\",\"髙﨑商事（株）\",\"06-0000-0000\",\"https://map.yahoo.co.jp/\"\r\n"),
        QStringLiteral("\"060-0001\",\"北海道札幌市中央区北一条西　～２\",\"\",\"011-000-0000\",\"\"\r\n"),
        QStringLiteral("\"900-0001\",\"沖縄県那覇市港町　①－②\",\"ｶﾌﾞｼｷｶﾞｲｼｬ\",\"098-000-0000\",\"\"\r\n"),
    };
    QByteArray block;
    for (int i = 0; i < 256; ++i)
        block += Cp932::encode(lines[i % 4]).bytes;
    QByteArray out;
    out.reserve(size + block.size());
    while (out.size() < size)
        out += block;
    out.truncate(size - size % block.size() + (size % block.size() > 0 ? block.size() : 0));
    return out;
}

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Runs iconv with its output to a file; the time includes the process start.
double runIconv(const QStringList &args, const QString &input, const QString &output)
{
    QProcess iconv;
    iconv.setStandardInputFile(input);
    iconv.setStandardOutputFile(output);
    QElapsedTimer timer;
    timer.start();
    iconv.start(QStringLiteral("iconv"), args);
    if (!iconv.waitForFinished(-1) || iconv.exitCode() != 0) {
        std::fprintf(stderr, "iconv %s failed: %s\n", qPrintable(args.join(u' ')),
                     iconv.readAllStandardError().constData());
        std::exit(1);
    }
    return seconds(timer);
}

double best(int runs, const std::function<double()> &run)
{
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i)
        fastest = std::min(fastest, run());
    return fastest;
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 100;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.csv"));
    const QString copy = dir.filePath(QStringLiteral("copy.csv"));
    const QString utf16 = dir.filePath(QStringLiteral("iconv.utf16"));
    const QString back = dir.filePath(QStringLiteral("iconv.csv"));
    {
        const QByteArray bytes = generate(megabytes * 1000 * 1000);
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
            return 1;
        }
    }
    const double mb = double(QFile(source).size()) / 1e6;
    const int runs = 3;

    QString text;
    const double readTime = best(runs, [&] {
        text.clear();
        QElapsedTimer timer;
        timer.start();
        text = ReadTextFile(source);
        return seconds(timer);
    });
    const double writeTime = best(runs, [&] {
        QElapsedTimer timer;
        timer.start();
        const TextFile::WriteResult result = WriteTextFile(copy, text);
        const double s = seconds(timer);
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
            std::exit(1);
        }
        return s;
    });
    const QStringList toUtf16{QStringLiteral("-f"), QStringLiteral("CP932"), QStringLiteral("-t"),
                              QStringLiteral("UTF-16LE")};
    const QStringList fromUtf16{QStringLiteral("-f"), QStringLiteral("UTF-16LE"), QStringLiteral("-t"),
                                QStringLiteral("CP932")};
    const double iconvRead = best(runs, [&] { return runIconv(toUtf16, source, utf16); });
    const double iconvWrite = best(runs, [&] { return runIconv(fromUtf16, utf16, back); });

    // The program's round trip must give back the very bytes.
    QFile a(source), b(copy), c(back);
    const bool same = a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && c.open(QIODevice::ReadOnly)
                      && a.readAll() == b.readAll() && (a.seek(0), a.readAll() == c.readAll());

    std::printf("file_size: %.1f MB\n", mb);
    std::printf("characters: %lld\n", static_cast<long long>(text.size()));
    std::printf("ReadTextFile: %.3f s\n", readTime);
    std::printf("iconv_cp932_to_utf16le: %.3f s\n", iconvRead);
    std::printf("read_ratio: %.2f x\n", readTime / iconvRead);
    std::printf("WriteTextFile: %.3f s\n", writeTime);
    std::printf("iconv_utf16le_to_cp932: %.3f s\n", iconvWrite);
    std::printf("write_ratio: %.2f x\n", writeTime / iconvWrite);
    std::printf("ReadTextFile_throughput: %.1f MB/s\n", mb / readTime);
    std::printf("WriteTextFile_throughput: %.1f MB/s\n", mb / writeTime);
    std::printf("round_trip_identical: %d bool\n", same ? 1 : 0);
    return same ? 0 : 1;
}
