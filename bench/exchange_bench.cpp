// Lists from elsewhere at scale: 100,000 rows written as an .xlsx workbook,
// then read back and mapped into table rows; prints the times and the peak
// memory of the reading next to the table's UTF-16 size.
#include "BenchMemory.h"
#include "core/exchange/ColumnMapping.h"
#include "core/exchange/XlsxReader.h"
#include "core/exchange/XlsxWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

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

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char **argv)
{
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
        const QString error = XlsxWriter::write(path, {sheet});
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("xlsx_write_%d_rows: %.2f s\n", count, double(clock.elapsed()) / 1000.0);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    std::printf("xlsx_file_size: %.1f MiB\n", double(file.size()) / 1048576.0);

    const double before = rssMiB();
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    const QByteArray bytes = file.readAll();
    XlsxReader::Sheet sheet = XlsxReader::read(bytes, 0);
    const ColumnMapping mapping = ColumnMapping::guess(sheet.table);
    const MappedRows mapped = applyMapping(sheet.table, mapping);
    sheet = {};
    const double seconds = double(clock.elapsed()) / 1000.0;
    qint64 chars = 0;
    for (const AddressTableModel::Row &row : mapped.rows)
        chars += row.text.size();
    const double tableMiB = double(chars) * 2 / 1048576.0;
    std::printf("xlsx_read_%d_rows: %.2f s (%lld rows mapped)\n", count, seconds, qlonglong(mapped.rows.size()));
    std::printf("table_utf16_size: %.1f MiB\n", tableMiB);
    std::printf("read_peak_memory: %.1f MiB (%.2f x the table)\n", peakMiB() - before,
                (peakMiB() - before) / tableMiB);
    return 0;
}
