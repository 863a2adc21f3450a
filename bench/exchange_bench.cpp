// Lists from elsewhere at scale: 100,000 rows written as an .xlsx workbook,
// then read back and mapped into table rows; prints the times and the peak
// memory of the reading next to the table's UTF-16 size.
#include "BenchMemory.h"
#include "core/exchange/ColumnMapping.h"
#include "core/exchange/XlsxReader.h"
#include "core/exchange/XlsxWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The process's peak resident memory in MiB since the last reset.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// CPU seconds this process has used: on a busy machine the wall time also
// counts the time other programs held the cores.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

// Reads the workbook at `path` as 取り込み does and prints what it cost; run
// in a process of its own, so the writing's memory does not hide it.
int readBack(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    std::printf("xlsx_file_size: %.1f MiB\n", double(file.size()) / 1048576.0);

    const double before = rssMiB();
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    // The guess from the first rows, then the whole sheet streamed through
    // the mapping.
    const QByteArray bytes = file.readAll();
    const ColumnMapping mapping = ColumnMapping::guess(XlsxReader::read(bytes, 0, 200).table);
    RowMapper mapper(mapping);
    const QString error = XlsxReader::readRows(bytes, 0, [&mapper](const QStringList &cells) {
        mapper.add(cells);
        return true;
    });
    if (!error.isEmpty())
        return 1;
    const MappedRows &mapped = mapper.result();
    const double seconds = double(clock.elapsed()) / 1000.0;
    qint64 chars = 0;
    for (const AddressTableModel::Row &row : mapped.rows)
        chars += row.text.size();
    const double tableMiB = double(chars) * 2 / 1048576.0;
    const double peak = peakMiB() - before;
    std::printf("xlsx_read_%d_rows: %.2f s (cpu %.2f s, %lld rows mapped)\n", count, seconds,
                cpuSeconds() - cpuBefore, qlonglong(mapped.rows.size()));
    std::printf("table_utf16_size: %.1f MiB\n", tableMiB);
    std::printf("read_peak_memory: %.1f MiB (%.2f x the table)\n", peak, peak / tableMiB);
    return 0;
}

int main(int argc, char **argv)
{
    const QCoreApplication app(argc, argv);
    if (argc > 3 && std::strcmp(argv[1], "--read") == 0)
        return readBack(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.xlsx"));
    {
        XlsxWriter::Sheet sheet{QStringLiteral("名簿"), {}};
        sheet.rows.reserve(std::size_t(count) + 1);
        sheet.rows.push_back({QStringLiteral("氏名"), QStringLiteral("〒"), QStringLiteral("住所1"),
                              QStringLiteral("住所2"), QStringLiteral("会社名"), QStringLiteral("TEL")});
        for (int i = 0; i < count; ++i)
            sheet.rows.push_back({QStringLiteral("山田太郎%1").arg(i), QStringLiteral("%1").arg(600000 + i % 9999999),
                                  QStringLiteral("北海道札幌市中央区大通西%1丁目").arg(i % 30),
                                  QStringLiteral("%1-%2 札幌ビル%3階").arg(i % 20).arg(i % 7).arg(i % 12),
                                  QStringLiteral("株式会社山田商事 札幌支店%1").arg(i % 100),
                                  QStringLiteral("011-%1-%2").arg(200 + i % 700).arg(1000 + i % 9000)});
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuSeconds();
        const QString error = XlsxWriter::write(path, {sheet});
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("xlsx_write_%d_rows: %.2f s (cpu %.2f s)\n", count, double(clock.elapsed()) / 1000.0,
                    cpuSeconds() - cpuBefore);
    }
    std::fflush(stdout);
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray command = "'" + self + "' --read '" + QFile::encodeName(path) + "' " + QByteArray::number(count);
    return std::system(command.constData()) == 0 ? 0 : 1;
}
