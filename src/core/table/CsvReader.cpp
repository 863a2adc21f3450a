#include "CsvReader.h"

#include "core/env/Cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <string>

namespace {

using Row = AddressTableModel::Row;

// One line of the file as the parser hands it on: the text of its first five
// fields one after another, where each ends, and how many fields it had.
struct Line
{
    std::u16string cells;
    std::array<quint32, Csv::FieldCount> ends{};
    int fields = 0;
    bool unterminated = false; // a quoted section ran to the end of the file

    void clear()
    {
        cells.clear();
        fields = 0;
        unterminated = false;
    }

    // The row holding the first `count` fields; the rest stay empty.
    Row toRow(int count) const
    {
        Row row;
        if (count <= 0)
            return row;
        const quint32 size = ends[size_t(std::min(count, Csv::FieldCount) - 1)];
        if (size > 0)
            row.text = QString(reinterpret_cast<const QChar *>(cells.data()), qsizetype(size));
        for (int c = 0; c < Csv::FieldCount - 1; ++c)
            row.ends[size_t(c)] = c < count ? ends[size_t(c)] : size;
        return row;
    }
};

class Parser
{
public:
    Parser(const char16_t *begin, const char16_t *end) : m_p(begin), m_end(end) {}

    bool atEnd() const { return m_p == m_end; }
    const char16_t *position() const { return m_p; }

    // Reads the next line (which may span several lines of text inside quotes).
    void next(Line &line)
    {
        line.clear();
        for (;;) {
            const bool keep = line.fields < Csv::FieldCount;
            const FieldEnd how = field(line, keep);
            if (keep)
                line.ends[size_t(line.fields)] = quint32(line.cells.size());
            ++line.fields;
            if (how != FieldEnd::Comma)
                return;
        }
    }

private:
    enum class FieldEnd { Comma, LineEnd, TextEnd };

    FieldEnd field(Line &line, bool keep)
    {
        if (m_p < m_end && *m_p == u'"') {
            ++m_p;
            if (!quotedSection(line, keep)) {
                line.unterminated = true;
                return FieldEnd::TextEnd;
            }
        }
        for (;;) {
            const char16_t *stop = m_p;
            while (stop < m_end && *stop != u',' && *stop != u'\n' && *stop != u'\r')
                ++stop;
            if (keep)
                line.cells.append(m_p, stop);
            m_p = stop;
            if (m_p == m_end)
                return FieldEnd::TextEnd;
            if (*m_p == u',') {
                ++m_p;
                return FieldEnd::Comma;
            }
            if (*m_p == u'\n') {
                ++m_p;
                return FieldEnd::LineEnd;
            }
            if (lineEndAt(m_p)) { // CR LF
                m_p += 2;
                return FieldEnd::LineEnd;
            }
            if (keep) // a lone CR is text
                line.cells.push_back(u'\r');
            ++m_p;
        }
    }

    // A CR LF or a lone LF starts at p.
    bool lineEndAt(const char16_t *p) const
    {
        return *p == u'\n' || (*p == u'\r' && p + 1 < m_end && p[1] == u'\n');
    }

    // The text after an opening quote: "" is one quote, a quote before a comma,
    // a line end or the end of the text closes the section, any other quote is
    // text (so an older file with a stray quote in a cell keeps its lines).
    // False when the text ends inside the section.
    bool quotedSection(Line &line, bool keep)
    {
        for (;;) {
            const qsizetype quote = QStringView(m_p, m_end).indexOf(u'"');
            const char16_t *stop = quote < 0 ? m_end : m_p + quote;
            if (keep)
                line.cells.append(m_p, stop);
            m_p = stop;
            if (m_p == m_end)
                return false;
            const char16_t *next = m_p + 1;
            if (next == m_end || *next == u',' || lineEndAt(next)) {
                m_p = next;
                return true;
            }
            if (keep)
                line.cells.push_back(u'"');
            m_p = *next == u'"' ? next + 1 : next;
        }
    }

    const char16_t *m_p;
    const char16_t *m_end;
};

// The line (from 1) of `text` holding position `index`: line ends are LFs.
template<typename Char>
int lineOf(const Char *text, qsizetype index)
{
    return int(std::count(text, text + index, Char('\n'))) + 1;
}

QString failure(const QString &path, const QString &reason)
{
    return path + QStringLiteral(": ") + reason;
}

} // namespace

CsvReader::Result CsvReader::parse(QStringView text, const Csv::Progress &progress)
{
    Result result;
    const char16_t *begin = text.utf16();
    const char16_t *end = begin + text.size();
    // Line ends at the end of the file go, whatever their number.
    while (end > begin && end[-1] == u'\n') {
        --end;
        if (end > begin && end[-1] == u'\r')
            --end;
    }
    if (begin == end)
        return result; // an empty file gives no rows

    Parser parser(begin, end);
    Line line;
    AddressTableModel::Rows &rows = result.rows;
    const qint64 total = end - begin;
    for (int number = 0; !parser.atEnd(); ++number) {
        parser.next(line);
        if (number > 0) {
            if (result.status == Result::Status::BadFormat) {
                rows.emplace_back(); // lines after a bad one stay blank
            } else if (line.fields >= Csv::FieldCount && !line.unterminated) {
                rows.push_back(line.toRow(Csv::FieldCount));
            } else {
                // The fields before the missing (or unterminated) one keep their text.
                rows.push_back(line.toRow(line.unterminated ? line.fields - 1 : line.fields));
                result.status = Result::Status::BadFormat;
                result.badLine = number;
            }
        } else if (line.unterminated) {
            result.status = Result::Status::BadFormat;
            result.badLine = 0;
        }
        if (progress && number % Csv::ProgressRows == 0 && !progress(parser.position() - begin, total)) {
            result = Result();
            result.status = Result::Status::Cancelled;
            return result;
        }
    }
    rows.emplace_back(); // n data lines give n + 1 rows
    return result;
}

CsvReader::Result CsvReader::read(QByteArray bytes, const Csv::Progress &progress)
{
    QString text;
    int undecodableLine = 0;
    qsizetype undecodableCount = 0;
    static constexpr char Bom[] = "\xEF\xBB\xBF";
    if (bytes.startsWith(QByteArrayView(Bom, 3))) {
        QStringDecoder utf8(QStringDecoder::Utf8); // drops the byte-order mark
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            const qsizetype at = text.indexOf(QChar::ReplacementCharacter);
            undecodableCount = text.count(QChar::ReplacementCharacter);
            undecodableLine = at < 0 ? 1 : lineOf(text.utf16(), at);
        }
    } else {
        Cp932::Decoded decoded = Cp932::decode(bytes);
        if (decoded.invalidCount > 0) {
            // 0x0A is never the second byte of a code page 932 character.
            undecodableLine = lineOf(bytes.constData(), decoded.firstInvalidByte);
            undecodableCount = decoded.invalidCount;
        }
        text = std::move(decoded.text);
    }
    bytes = QByteArray();
    if (progress && !progress(400, 1000)) {
        Result cancelled;
        cancelled.status = Result::Status::Cancelled;
        return cancelled;
    }
    Result result = parse(text, Csv::stage(progress, 0.4, 1.0));
    if (result.status != Result::Status::Cancelled) {
        result.undecodableLine = undecodableLine;
        result.undecodableCount = undecodableCount;
    }
    return result;
}

CsvReader::Result CsvReader::read(QIODevice &device, const Csv::Progress &progress)
{
    const Csv::Progress reading = Csv::stage(progress, 0.0, 0.3);
    QByteArray bytes;
    if (device.isSequential()) {
        bytes = device.readAll();
    } else {
        // In pieces, so a big file reports progress and can be cancelled.
        constexpr qint64 Piece = qint64(8) << 20;
        const qint64 size = std::max<qint64>(device.size() - device.pos(), 0);
        bytes.resize(size);
        qint64 got = 0;
        while (got < size) {
            const qint64 n = device.read(bytes.data() + got, std::min(Piece, size - got));
            if (n < 0) {
                Result result;
                result.status = Result::Status::Unreadable;
                result.error = device.errorString();
                return result;
            }
            if (n == 0)
                break;
            got += n;
            if (reading && !reading(got, size)) {
                Result result;
                result.status = Result::Status::Cancelled;
                return result;
            }
        }
        bytes.truncate(got);
        if (!device.atEnd())
            bytes += device.readAll(); // the file grew meanwhile
    }
    return read(std::move(bytes), Csv::stage(progress, 0.3, 1.0));
}

CsvReader::Result CsvReader::read(const QString &path, const Csv::Progress &progress)
{
    Result result;
    result.status = Result::Status::Unreadable;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.error = failure(path, QStringLiteral("No such file"));
        return result;
    }
    if (!info.isFile()) {
        result.error = failure(path, QStringLiteral("Not a regular file"));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = failure(path, file.errorString());
        return result;
    }
    result = read(file, progress);
    if (result.status == Result::Status::Unreadable)
        result.error = failure(path, result.error);
    return result;
}
