#include "CsvWriter.h"

#include "core/env/Cp932.h"

#include <QIODevice>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace {

using Row = AddressTableModel::Row;

qsizetype quotedLength(QStringView cell)
{
    return cell.size() + (cell.contains(u'"') ? cell.count(u'"') : 0) + 2;
}

// Writes the cell in quotes at `out`, doubling every quote inside; returns
// the end.
char16_t *writeQuoted(char16_t *out, QStringView cell)
{
    *out++ = u'"';
    qsizetype from = 0;
    for (qsizetype quote = cell.indexOf(u'"'); quote >= 0; quote = cell.indexOf(u'"', from)) {
        std::copy(cell.utf16() + from, cell.utf16() + quote + 1, out);
        out += quote + 1 - from;
        *out++ = u'"';
        from = quote + 1;
    }
    out = std::copy(cell.utf16() + from, cell.utf16() + cell.size(), out);
    *out++ = u'"';
    return out;
}

constexpr qsizetype Punctuation = 2 * Csv::FieldCount + Csv::FieldCount - 1 + 2; // quotes, commas, CR LF

// Writes lines into a text through a pointer; the text grows only when a
// line does not fit (doubled quotes, or a chunk that is full).
class LineWriter
{
public:
    explicit LineWriter(qsizetype capacity) : m_out(capacity, Qt::Uninitialized) {}

    void put(QStringView text)
    {
        reserve(text.size());
        std::copy(text.utf16(), text.utf16() + text.size(), data() + m_at);
        m_at += text.size();
    }

    // False for a row whose cells are all blank: nothing is written.
    bool putRow(const Row &row)
    {
        std::array<QStringView, Csv::FieldCount> cells;
        if (row.isEmpty() || !Csv::exportCells(row, cells))
            return false;
        qsizetype need = Punctuation;
        for (const QStringView cell : cells)
            need += quotedLength(cell) - 2;
        reserve(need);
        char16_t *p = data() + m_at;
        for (int c = 0; c < Csv::FieldCount; ++c) {
            p = writeQuoted(p, cells[size_t(c)]);
            *p++ = c < Csv::FieldCount - 1 ? u',' : u'\r';
        }
        *p++ = u'\n';
        m_at = p - data();
        return true;
    }

    qsizetype size() const { return m_at; }
    QStringView written() const { return QStringView(m_out).first(m_at); }
    void clear() { m_at = 0; }
    QString take()
    {
        m_out.truncate(m_at);
        return std::move(m_out);
    }

private:
    char16_t *data() { return reinterpret_cast<char16_t *>(m_out.data()); }
    void reserve(qsizetype need)
    {
        if (m_at + need > m_out.size())
            m_out.resize(std::max(m_out.size() + m_out.size() / 2, m_at + need));
    }

    QString m_out;
    qsizetype m_at = 0;
};

// Where `index` of the text of rows [first, ...) stands; `at` is where row
// `first` begins in that text.
CsvWriter::Cell locate(const AddressTableModel::Rows &rows, qsizetype first, qsizetype at, qsizetype index)
{
    std::array<QStringView, Csv::FieldCount> cells;
    for (qsizetype r = first; r < rows.size() && at <= index; ++r) {
        if (rows[r].isEmpty() || !Csv::exportCells(rows[r], cells))
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

} // namespace

std::optional<QString> CsvWriter::text(const AddressTableModel::Rows &rows, const Csv::Progress &progress)
{
    // One allocation: the cells, their quotes, the separators and the line
    // ends; only doubled quotes can outgrow it.
    qsizetype size = Csv::Header.size() + 2;
    for (const Row &row : rows)
        size += row.isEmpty() ? 0 : row.text.size() + Punctuation;
    LineWriter out(size);
    out.put(Csv::Header);
    out.put(u"\r\n");
    // Indexes, not iterators: the table may change between progress calls.
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (progress && r % Csv::ProgressRows == 0 && !progress(qint64(r), qint64(rows.size())))
            return std::nullopt;
        out.putRow(rows[r]);
    }
    return out.take();
}

std::optional<CsvWriter::Encoded> CsvWriter::encode(const AddressTableModel::Rows &rows, const Csv::Progress &progress)
{
    // The text is made and encoded a piece at a time, so the whole of it never
    // stands in memory beside the table and the bytes.
    constexpr qsizetype Piece = qsizetype(1) << 20;
    Encoded result;
    qsizetype chars = Csv::Header.size() + 2;
    for (const Row &row : rows)
        chars += row.isEmpty() ? 0 : row.text.size() + Punctuation;
    result.bytes.reserve(2 * chars); // address space only: pages come as they are written

    LineWriter piece(Piece + Piece / 4);
    qsizetype pieceRow = 0; // the first row in the piece
    const auto flush = [&](qsizetype nextRow) {
        // Straight onto the end of the file's bytes.
        Cp932::Encoded bytes = Cp932::encode(piece.written(), std::move(result.bytes));
        if (bytes.unmappableCount > 0 && result.unmappableCount == 0) {
            const qsizetype start = pieceRow == 0 ? Csv::Header.size() + 2 : 0;
            result.firstUnmappable = locate(rows, pieceRow, start, bytes.firstUnmappable);
        }
        result.unmappableCount += bytes.unmappableCount;
        result.bytes = std::move(bytes.bytes);
        piece.clear();
        pieceRow = nextRow;
    };
    piece.put(Csv::Header);
    piece.put(u"\r\n");
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (progress && r % Csv::ProgressRows == 0 && !progress(qint64(r), qint64(rows.size())))
            return std::nullopt;
        piece.putRow(rows[r]);
        if (piece.size() >= Piece)
            flush(r + 1);
    }
    flush(rows.size());
    return result;
}

CsvWriter::Cell CsvWriter::cellAt(const AddressTableModel::Rows &rows, qsizetype index)
{
    return locate(rows, 0, Csv::Header.size() + 2, index);
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
    // Unbuffered: a buffered QSaveFile holds a small file in its write buffer
    // until commit(), which does not report a short write (disk full,
    // file-size limit) and so would replace the old file with a cut-off one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
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
