#include "CsvWriter.h"

#include <QIODevice>
#include <QSaveFile>

#include <array>

namespace {

using Row = AddressTableModel::Row;

// The row's cells without their outer spaces; false when all are empty.
bool trimmedCells(const Row &row, std::array<QStringView, Csv::FieldCount> &cells)
{
    bool hasText = false;
    for (int c = 0; c < Csv::FieldCount; ++c) {
        cells[size_t(c)] = Csv::trimSpaces(row.cell(c));
        hasText = hasText || !cells[size_t(c)].isEmpty();
    }
    return hasText;
}

void appendQuoted(QString &out, QStringView cell)
{
    out.append(u'"');
    qsizetype from = 0;
    for (qsizetype quote = cell.indexOf(u'"'); quote >= 0; quote = cell.indexOf(u'"', from)) {
        out.append(cell.mid(from, quote + 1 - from));
        out.append(u'"'); // a quote inside is doubled
        from = quote + 1;
    }
    out.append(cell.mid(from));
    out.append(u'"');
}

qsizetype quotedLength(QStringView cell)
{
    return cell.size() + cell.count(u'"') + 2;
}

} // namespace

std::optional<QString> CsvWriter::text(const std::vector<Row> &rows, const Csv::Progress &progress)
{
    // One allocation: the cells, their quotes, the separators and line ends.
    qsizetype size = Csv::Header.size() + 2;
    for (const Row &row : rows)
        size += row.text.size() + 2 * Csv::FieldCount + Csv::FieldCount - 1 + 2;
    QString out;
    out.reserve(size);
    out.append(Csv::Header);
    out.append(u"\r\n");

    std::array<QStringView, Csv::FieldCount> cells;
    // Indexes, not iterators: the table may change between progress calls.
    for (size_t r = 0; r < rows.size(); ++r) {
        if (progress && r % Csv::ProgressRows == 0 && !progress(qint64(r), qint64(rows.size())))
            return std::nullopt;
        if (!trimmedCells(rows[r], cells))
            continue;
        for (int c = 0; c < Csv::FieldCount; ++c) {
            appendQuoted(out, cells[size_t(c)]);
            if (c < Csv::FieldCount - 1)
                out.append(u',');
        }
        out.append(u"\r\n");
    }
    return out;
}

CsvWriter::Cell CsvWriter::cellAt(const std::vector<Row> &rows, qsizetype index)
{
    qsizetype at = Csv::Header.size() + 2;
    std::array<QStringView, Csv::FieldCount> cells;
    for (size_t r = 0; r < rows.size() && at <= index; ++r) {
        if (!trimmedCells(rows[r], cells))
            continue;
        for (int c = 0; c < Csv::FieldCount; ++c) {
            const qsizetype length = quotedLength(cells[size_t(c)]);
            if (index > at && index < at + length - 1)
                return {int(r), c};
            at += length + (c < Csv::FieldCount - 1 ? 1 : 2);
        }
    }
    return {};
}

CsvWriter::Result CsvWriter::write(QIODevice &device, QByteArrayView bytes, const Csv::Progress &progress)
{
    // In pieces, so a big file reports progress and can be cancelled.
    constexpr qsizetype Piece = qsizetype(4) << 20;
    Result result;
    for (qsizetype done = 0; done < bytes.size();) {
        const qsizetype n = std::min(Piece, bytes.size() - done);
        if (device.write(bytes.data() + done, n) != n) {
            result.status = Result::Status::Failed;
            result.error = device.errorString();
            return result;
        }
        done += n;
        if (progress && !progress(done, bytes.size())) {
            result.status = Result::Status::Cancelled;
            return result;
        }
    }
    return result;
}

CsvWriter::Result CsvWriter::write(const QString &path, QByteArrayView bytes, const Csv::Progress &progress)
{
    Result result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.status = Result::Status::Failed;
        result.error = path + QStringLiteral(": ") + file.errorString();
        return result;
    }
    result = write(static_cast<QIODevice &>(file), bytes, progress);
    if (result.status != Result::Status::Written) {
        file.cancelWriting();
        if (result.status == Result::Status::Failed)
            result.error = path + QStringLiteral(": ") + result.error;
        return result;
    }
    if (!file.commit()) {
        result.status = Result::Status::Failed;
        result.error = path + QStringLiteral(": ") + file.errorString();
    }
    return result;
}
