// Saves a generated address table to a CSV file the way the main window does
// (encode, then write through QSaveFile), announcing on stdout when the write
// starts. The fault-injection test kills it while it writes.
#include "core/table/CsvWriter.h"

#include <QCoreApplication>

#include <cstdio>

AddressTableModel::Rows generatedRows(int count, int seed);

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const AddressTableModel::Rows rows = generatedRows(atoi(argv[2]), atoi(argv[3]));
    const std::optional<CsvWriter::Encoded> encoded = CsvWriter::encode(rows);
    if (!encoded)
        return 3;
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    return CsvWriter::write(path, encoded->bytes).status == CsvWriter::Result::Status::Written ? 0 : 1;
}
