#include "CsvReader.h"

#include "core/env/Cp932.h"
#include "core/env/FileIdentity.h"
#include "core/env/Utf8Check.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <iterator>
#include <string>
#include <utility>

namespace {

using Row = AddressTableModel::Row;

// Bytes read and decoded at a time: the decoded text of one piece stays small
// beside the rows, and a piece is parsed while it is still in the cache.
constexpr qint64 Piece = qint64(1) << 20;

// What ends a line: LF, with any CRs before it, in a file that holds an LF;
// a lone CR in a file that has none ("CSV (Macintosh)").
enum class LineEnds { Lf, Cr };

constexpr char16_t lineEndChar(LineEnds ends)
{
    return ends == LineEnds::Lf ? u'\n' : u'\r';
}

// One record of the file as the parser hands it on: the text of its first
// five fields one after another, where each ends, and how many fields it had.
struct Line
{
    std::u16string cells;
    std::array<quint32, Csv::FieldCount> ends{};
    int fields = 0;
    bool unterminated = false; // a quoted section ran to the end of the text
    bool lineEnded = false;    // ended at a line end, not at the end of the text
    bool abandoned = false;    // not read to its end: it cannot be a record of the standard form

    void clear()
    {
        cells.clear();
        fields = 0;
        unterminated = false;
        lineEnded = false;
        abandoned = false;
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
        for (int c = 0; c < Csv::FieldCount; ++c)
            row.ends[size_t(c)] = c < count ? ends[size_t(c)] : size;
        return row;
    }
};

// Reads records the standard way. A record that runs over a line end inside
// quotes is of the standard form only with five fields and no stray quote;
// once it has both crossed a line end and met a stray quote or a sixth field,
// it is abandoned at once. That keeps the work linear when such records are
// read again line by line: a line inside an abandoned record never again
// runs far past its own end.
class Parser
{
public:
    Parser(const char16_t *begin, const char16_t *end, LineEnds ends) : m_p(begin), m_end(end), m_ends(ends) {}

    bool atEnd() const { return m_p == m_end; }
    const char16_t *position() const { return m_p; }
    void seek(const char16_t *p) { m_p = p; }

    // Reads the next record (which may span several lines of text inside quotes).
    void next(Line &line)
    {
        line.clear();
        m_start = m_p;
        m_suspect = false;
        for (;;) {
            const bool keep = line.fields < Csv::FieldCount;
            const FieldEnd how = field(line, keep);
            if (how == FieldEnd::Abandoned) {
                line.abandoned = true;
                return;
            }
            if (keep)
                line.ends[size_t(line.fields)] = quint32(line.cells.size());
            ++line.fields;
            if (how != FieldEnd::Comma) {
                line.lineEnded = how == FieldEnd::LineEnd;
                return;
            }
            if (line.fields == Csv::FieldCount && suspect()) { // a sixth field follows
                line.abandoned = true;
                return;
            }
        }
    }

private:
    enum class FieldEnd { Comma, LineEnd, TextEnd, Abandoned };
    enum class Section { Closed, Unterminated, Abandoned };

    FieldEnd field(Line &line, bool keep)
    {
        if (m_p < m_end && *m_p == u'"') {
            ++m_p;
            switch (quotedSection(line, keep)) {
            case Section::Closed: break;
            case Section::Unterminated: line.unterminated = true; return FieldEnd::TextEnd;
            case Section::Abandoned: return FieldEnd::Abandoned;
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
            if (const char16_t *after = lineEndAt(m_p)) {
                m_p = after;
                return FieldEnd::LineEnd;
            }
            // CRs that end no line are text, the whole run at once.
            const char16_t *run = crRunEnd(m_p);
            if (keep)
                line.cells.append(m_p, run);
            m_p = run;
        }
    }

    // Just after the line end that starts at p, or null. In a file with LF,
    // a line ends at LF and at CRs followed by LF (CR LF, or CR CR LF after
    // one more conversion); in a file without LF, at each CR.
    const char16_t *lineEndAt(const char16_t *p) const
    {
        if (p == m_end)
            return nullptr;
        if (m_ends == LineEnds::Cr)
            return *p == u'\r' ? p + 1 : nullptr;
        if (*p == u'\n')
            return p + 1;
        const char16_t *run = crRunEnd(p);
        return run != p && run < m_end && *run == u'\n' ? run + 1 : nullptr;
    }

    const char16_t *crRunEnd(const char16_t *p) const
    {
        while (p < m_end && *p == u'\r')
            ++p;
        return p;
    }

    // The first line-end character at or after m_p (LF, or CR in a file
    // without LF), or the end of the text: found once and kept until m_p
    // passes it, so a record's quoted sections do not search the rest of the
    // text each.
    const char16_t *nextLineEnd()
    {
        if (m_p < m_searchedFrom || m_p > m_lineEnd) {
            m_searchedFrom = m_p;
            m_lineEnd = std::find(m_p, m_end, lineEndChar(m_ends));
        }
        return m_lineEnd;
    }

    // The record met what only a file of the older writer holds; true when it
    // has crossed a line end already. From now on a line end inside quotes
    // abandons it.
    bool suspect()
    {
        if (m_suspect)
            return false; // crossing would have abandoned it already
        m_suspect = true;
        return std::find(m_start, m_p, lineEndChar(m_ends)) != m_p;
    }

    // The text after an opening quote: "" is one quote, a quote before a comma,
    // a line end or the end of the text closes the section, any other quote is
    // text (so an older file with a stray quote in a cell keeps its lines).
    Section quotedSection(Line &line, bool keep)
    {
        for (;;) {
            const char16_t *limit = m_suspect ? nextLineEnd() : m_end;
            const qsizetype quote = QStringView(m_p, limit).indexOf(u'"');
            const char16_t *stop = quote < 0 ? limit : m_p + quote;
            if (keep)
                line.cells.append(m_p, stop);
            m_p = stop;
            if (m_p == m_end)
                return Section::Unterminated;
            if (quote < 0)
                return Section::Abandoned; // a line end inside quotes
            const char16_t *next = m_p + 1;
            if (next == m_end || *next == u',' || lineEndAt(next) != nullptr) {
                m_p = next;
                return Section::Closed;
            }
            if (keep)
                line.cells.push_back(u'"');
            if (*next == u'"') {
                m_p = next + 1;
            } else {
                m_p = next;
                if (suspect())
                    return Section::Abandoned;
            }
        }
    }

    const char16_t *m_p;
    const char16_t *m_end;
    LineEnds m_ends;
    const char16_t *m_start = nullptr; // of the record being read
    bool m_suspect = false;
    const char16_t *m_searchedFrom = nullptr; // nextLineEnd() holds for m_p in [m_searchedFrom, m_lineEnd]
    const char16_t *m_lineEnd = nullptr;
};

// Just after the first line end at or after p, or end.
const char16_t *afterLineEnd(const char16_t *p, const char16_t *end, LineEnds ends)
{
    const char16_t *at = std::find(p, end, lineEndChar(ends));
    return at == end ? end : at + 1;
}

// [begin, end) less the line end at its end: CRs before a final LF go with it.
const char16_t *withoutLineEnd(const char16_t *begin, const char16_t *end, LineEnds ends)
{
    if (end == begin || end[-1] != lineEndChar(ends))
        return end;
    --end;
    if (ends == LineEnds::Lf) {
        while (end > begin && end[-1] == u'\r')
            --end;
    }
    return end;
}

// The line [begin, end) as the older program read it: every double quote
// dropped, a field ending at every comma.
void readOlderLine(const char16_t *begin, const char16_t *end, Line &line)
{
    line.clear();
    for (const char16_t *p = begin;;) {
        const char16_t *stop = std::find(p, end, u',');
        if (line.fields < Csv::FieldCount) {
            std::copy_if(p, stop, std::back_inserter(line.cells), [](char16_t c) { return c != u'"'; });
            line.ends[size_t(line.fields)] = quint32(line.cells.size());
        }
        ++line.fields;
        if (stop == end)
            return;
        p = stop + 1;
    }
}

// Turns text into rows a record at a time; the text may come in pieces.
//
// A record is read the standard way (quotes around a field, "" for a quote,
// commas and line breaks inside quotes are text) when that gives five fields,
// or at least five on one line. Otherwise it comes from the older writer,
// which left quotes inside a cell as they stood: abc" went out as "abc"",
// which read the standard way runs on over the line end into the next
// record. Such a record is read again as the older program read it, its first
// line alone (quotes dropped, a field ending at every comma), and the next
// line starts a record of its own.
class Loader
{
public:
    explicit Loader(CsvReader::Result &result) : m_result(result) {}

    // Reads the records of [begin, end) known to be whole and returns how
    // many characters they took: the rest is handed in again with the text
    // after it. -1 when the progress callback cancelled. `last`: nothing
    // follows and the line ends at the end of the file are gone. `firstLine`:
    // the line (from 0) that begins at `begin`.
    qsizetype read(const char16_t *begin, const char16_t *end, bool last, qint64 firstLine, LineEnds ends,
                   const Csv::Progress &progress)
    {
        Parser parser(begin, end, ends);
        qint64 line = firstLine; // of the record's start
        const char16_t *counted = begin;
        while (!parser.atEnd()) {
            const char16_t *start = parser.position();
            if (!last) {
                // Empty lines in the middle of the file are faults, at its end
                // they go: which it is shows only from the text after them.
                const char16_t *p = start;
                while (p < end && (*p == u'\r' || *p == u'\n'))
                    ++p;
                if (p == end)
                    return start - begin;
            }
            parser.next(m_line);
            if (!last && !m_line.lineEnded && !m_line.abandoned)
                return start - begin; // the record runs on into text still to come
            const bool header = m_records == 0;
            // Five fields (more only on one line, as the parser abandons the
            // rest); the header, never looked at, only needs to stay on its line.
            const bool standard = !m_line.unterminated && !m_line.abandoned
                                  && (m_line.fields >= Csv::FieldCount
                                      || (header && afterLineEnd(start, parser.position(), ends) == parser.position()));
            // Counted on from the last record's start, so once over the text.
            // After a bad line the rows stay blank: only where each record
            // ends still matters, not its line number nor its fields.
            const bool blank = m_result.status == CsvReader::Result::Status::BadFormat;
            if (!blank) {
                line += std::count(counted, start, lineEndChar(ends));
                counted = start;
            }
            if (!standard) {
                const char16_t *next = afterLineEnd(start, end, ends);
                if (!blank)
                    readOlderLine(start, withoutLineEnd(start, next, ends), m_line);
                parser.seek(next);
                if (!blank && !header && m_line.fields > Csv::FieldCount && m_result.shiftedLine < 0)
                    m_result.shiftedLine = int(line);
            }
            if (!header)
                take(line);
            if (progress && m_records % Csv::ProgressRows == 0 && !progress(parser.position() - begin, end - begin))
                return -1;
            ++m_records;
        }
        return end - begin;
    }

    // n data records give n + 1 rows; an empty file gives none.
    void finish()
    {
        if (m_records > 0)
            m_result.rows.emplace_back();
    }

private:
    void take(qint64 line)
    {
        AddressTableModel::Rows &rows = m_result.rows;
        if (m_result.status == CsvReader::Result::Status::BadFormat) {
            rows.emplace_back(); // lines after a bad one stay blank
        } else if (m_line.fields >= Csv::FieldCount) {
            rows.push_back(m_line.toRow(Csv::FieldCount));
        } else {
            // The fields before the missing one keep their text.
            rows.push_back(m_line.toRow(m_line.fields));
            m_result.status = CsvReader::Result::Status::BadFormat;
            m_result.badLine = int(line);
        }
    }

    CsvReader::Result &m_result;
    Line m_line;
    qint64 m_records = 0; // header included
};

// Line ends at the end of the file go, whatever their number.
const char16_t *withoutFinalLineEnds(const char16_t *begin, const char16_t *end, LineEnds ends)
{
    for (const char16_t *less = withoutLineEnd(begin, end, ends); less != end; less = withoutLineEnd(begin, end, ends))
        end = less;
    return end;
}

CsvReader::Result cancelled()
{
    CsvReader::Result result;
    result.status = CsvReader::Result::Status::Cancelled;
    return result;
}

QString failure(const QString &path, const QString &reason)
{
    return path + QStringLiteral(": ") + reason;
}

} // namespace

CsvReader::Result CsvReader::parse(QStringView text, const Csv::Progress &progress)
{
    Result result;
    Loader loader(result);
    const char16_t *begin = text.utf16();
    const LineEnds ends = text.contains(u'\n') ? LineEnds::Lf : LineEnds::Cr;
    if (loader.read(begin, withoutFinalLineEnds(begin, begin + text.size(), ends), true, 0, ends, progress) < 0)
        return cancelled();
    loader.finish();
    return result;
}

CsvReader::Result CsvReader::read(QByteArray bytes, const Csv::Progress &progress)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, progress);
}

CsvReader::Result CsvReader::read(QIODevice &device, const Csv::Progress &progress)
{
    if (device.isSequential()) {
        QByteArray all = device.readAll();
        return read(std::move(all), progress);
    }
    // Read, decoded and parsed a piece at a time, each piece ending at a line
    // end, so the file's bytes and its whole text never stand in memory beside
    // the rows. 0x0A is never part of a code page 932 or UTF-8 character.
    Result result;
    Loader loader(result);
    const qint64 total = std::max<qint64>(device.size() - device.pos(), 1);
    // Room for as many rows as the file could hold at 16 bytes a line, so the
    // table is neither moved while it grows nor when the model takes it.
    result.rows = AddressTableModel::withRoom(qsizetype(std::min<qint64>(total / 16, 1 << 24)));
    const auto share = [total](qint64 bytes) { return std::min(double(bytes) / double(total), 1.0); };
    enum class Encoding { Unknown, Cp932, Utf8 } encoding = Encoding::Unknown;
    // Bytes that are UTF-8 throughout (a code page 932 file stops the scan at
    // its first kanji) are read as UTF-8 even without a byte-order mark.
    const bool utf8Text = Utf8Check::isUtf8(device);
    QCryptographicHash hash(FileIdentity::Algorithm);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QByteArray bytes; // read, not yet decoded: the start of a line
    QString rest;     // decoded, not yet parsed: the start of a record
    qint64 decoded = 0; // bytes
    qint64 lines = 0;   // line ends decoded
    QString spare;      // one decode buffer for every piece, not a fresh one each time
    for (bool last = false; !last;) {
        // A record still open after a whole piece gets a larger one next, so
        // it is not parsed over and over; so does a line still open.
        const qsizetype have = bytes.size();
        const qint64 want = std::max<qint64>(Piece, std::max(rest.size(), have));
        bytes.resize(have + want);
        const qint64 n = device.read(bytes.data() + have, want);
        if (n < 0) {
            result = Result();
            result.status = Result::Status::Unreadable;
            result.error = device.errorString();
            return result;
        }
        bytes.truncate(have + n);
        hash.addData(QByteArrayView(bytes.constData() + have, n));
        last = n == 0;
        if (encoding == Encoding::Unknown) {
            static constexpr char Bom[] = "\xEF\xBB\xBF";
            if (bytes.size() < 3 && !last)
                continue;
            const bool bom = bytes.startsWith(QByteArrayView(Bom, 3));
            encoding = bom || utf8Text ? Encoding::Utf8 : Encoding::Cp932;
            if (bom)
                bytes.remove(0, 3);
            if (encoding == Encoding::Utf8)
                result.encoding = Result::Encoding::Utf8;
        }
        // The bytes before the ones just read hold no LF: only these are searched.
        const qsizetype fresh = std::min<qsizetype>(qsizetype(n), bytes.size());
        const qsizetype lf = last ? -1 : QByteArrayView(bytes).last(fresh).lastIndexOf('\n');
        const qsizetype cut = last ? bytes.size() : lf < 0 ? 0 : bytes.size() - fresh + lf + 1;
        if (cut == 0 && !last)
            continue;
        const QByteArrayView piece(bytes.constData(), cut);

        QString text;
        if (encoding == Encoding::Utf8) {
            text = utf8.decode(piece);
            if (utf8.hasError()) {
                const qsizetype at = text.indexOf(QChar::ReplacementCharacter);
                if (at >= 0 && result.undecodableCount == 0)
                    result.undecodableLine = int(lines + std::count(text.utf16(), text.utf16() + at, u'\n') + 1);
                result.undecodableCount += at < 0 ? 0 : text.count(QChar::ReplacementCharacter);
            }
        } else {
            Cp932::Decoded d = Cp932::decode(piece, std::move(spare));
            if (d.invalidCount > 0 && result.undecodableCount == 0)
                result.undecodableLine = int(lines + std::count(piece.begin(), piece.begin() + d.firstInvalidByte, '\n') + 1);
            result.undecodableCount += d.invalidCount;
            text = std::move(d.text);
        }
        const qint64 before = decoded;
        decoded += cut;
        const qint64 firstLine = lines - std::count(rest.utf16(), rest.utf16() + rest.size(), u'\n');
        lines += std::count(piece.begin(), piece.end(), '\n');
        bytes.remove(0, cut);
        if (!rest.isEmpty()) {
            rest.append(text);
            text = std::exchange(rest, QString());
        }

        // Nothing is parsed before the first LF: a file that has none comes
        // whole, with the last piece.
        const LineEnds ends = lines == 0 ? LineEnds::Cr : LineEnds::Lf;
        const char16_t *begin = QStringView(text).utf16();
        const char16_t *end = begin + text.size();
        if (last)
            end = withoutFinalLineEnds(begin, end, ends);
        const qsizetype done =
            loader.read(begin, end, last, firstLine, ends, Csv::stage(progress, share(before), share(decoded)));
        if (done < 0)
            return cancelled();
        if (done < end - begin)
            rest = QString(reinterpret_cast<const QChar *>(begin + done), end - begin - done);
        spare = std::move(text);
    }
    loader.finish();
    result.hash = hash.result();
    return result;
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
