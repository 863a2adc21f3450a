// Loads and saves a 1,000,000-row code page 932 address file the way the File
// commands do (reader into the real table model; writer, encoder and atomic
// file write from it), side by side with iconv converting the same file to
// UTF-16 and back, and reports the times and the peak memory of each, the
// peaks also as a multiple of the text's UTF-16 size.
//
//   csv_bench [rows] [folder]
#include "CsvBenchFile.h"
#include "core/env/Cp932.h"
#include "core/grid/AddressTableModel.h"
#include "core/table/CsvReader.h"
#include "core/table/CsvWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

using CsvBenchFile::generate;
using CsvBenchFile::iconv;
using CsvBenchFile::seconds;

// Peak resident memory since the last reset, in bytes.
qint64 peakResident()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return -1;
}

qint64 resident()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return -1;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir temp(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/csv_bench-XXXXXX")
                                : QString());
    if (!temp.isValid())
        qFatal("no temporary folder");
    const QString csv = temp.filePath(QStringLiteral("addresses.csv"));
    const QString utf16 = temp.filePath(QStringLiteral("addresses.utf16"));
    const QString back = temp.filePath(QStringLiteral("addresses.back.csv"));
    const QString saved = temp.filePath(QStringLiteral("saved.csv"));

    const qint64 fileBytes = generate(csv, rows);
    const qint64 before = resident();

    // Warm the page cache for everyone alike; then the two sides take turns,
    // so a busy machine slows both alike, and the best of five counts.
    iconv(QStringLiteral("CP932"), QStringLiteral("UTF-16LE"), csv, utf16);
    const qint64 utf16Bytes = QFileInfo(utf16).size();
    double iconvLoad = 1e9, iconvSave = 1e9, load = 1e9, save = 1e9;
    double encode = 1e9, write = 1e9;
    qint64 loadPeak = 0, savePeak = 0, modelResident = 0;
    AddressTableModel model;
    model.setRowCountTo(50);
    for (int i = 0; i < 5; ++i) {
        iconvLoad = std::min(iconvLoad, iconv(QStringLiteral("CP932"), QStringLiteral("UTF-16LE"), csv, utf16));
        model.replaceRows({});
        resetPeak();
        load = std::min(load, seconds([&] {
                            CsvReader::Result result = CsvReader::read(csv);
                            if (result.status != CsvReader::Result::Status::Loaded)
                                qFatal("load failed");
                            model.replaceRows(std::move(result.rows));
                        }));
        loadPeak = std::max(loadPeak, peakResident());
        modelResident = resident();

        iconvSave = std::min(iconvSave, iconv(QStringLiteral("UTF-16LE"), QStringLiteral("CP932"), utf16, back));
        resetPeak();
        QElapsedTimer clock;
        clock.start();
        const std::optional<CsvWriter::Encoded> encoded = CsvWriter::encode(model.rows());
        const qint64 encodedNs = clock.nsecsElapsed();
        if (CsvWriter::write(saved, encoded->bytes).status != CsvWriter::Result::Status::Written)
            qFatal("save failed");
        const qint64 savedNs = clock.nsecsElapsed();
        save = std::min(save, double(savedNs) / 1e9);
        encode = std::min(encode, double(encodedNs) / 1e9);
        write = std::min(write, double(savedNs - encodedNs) / 1e9);
        savePeak = std::max(savePeak, peakResident());
    }
    QFile::remove(back);
    QFile original(csv), written(saved);
    original.open(QIODevice::ReadOnly);
    written.open(QIODevice::ReadOnly);
    const bool same = original.readAll() == written.readAll();

    constexpr double MiB = 1024.0 * 1024.0;
    print("rows", rows, "rows");
    print("file_size", double(fileBytes) / MiB, "MiB");
    print("utf16_size", double(utf16Bytes) / MiB, "MiB");
    print("iconv_load_time", iconvLoad, "s");
    print("load_time", load, "s");
    print("load_ratio_to_iconv", load / iconvLoad, "x");
    print("iconv_save_time", iconvSave, "s");
    print("save_time", save, "s");
    print("save_ratio_to_iconv", save / iconvSave, "x");
    print("save_text_and_encode_time", encode, "s");
    print("save_write_time", write, "s");
    print("resident_before_load", double(before) / MiB, "MiB");
    print("resident_with_table", double(modelResident) / MiB, "MiB");
    print("peak_resident_load", double(loadPeak) / MiB, "MiB");
    print("peak_resident_save", double(savePeak) / MiB, "MiB");
    print("load_peak_ratio_to_utf16_size", double(loadPeak) / double(utf16Bytes), "x");
    print("save_peak_ratio_to_utf16_size", double(savePeak) / double(utf16Bytes), "x");
    print("peak_ratio_to_utf16_size", double(std::max(loadPeak, savePeak)) / double(utf16Bytes), "x");
    print("saved_file_identical", same ? 1 : 0, "bool");
    return same ? 0 : 1;
}
