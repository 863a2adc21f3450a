#include "DelimitedText.h"

#include "core/env/Cp932.h"
#include "core/env/Utf8Check.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

using DelimitedText::Encoding;

// UTF-16 without a byte-order mark: most ASCII characters have a zero byte
// beside them. 0: no, 1: little endian, 2: big endian.
int utf16Order(QByteArrayView bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(1), 4096);
    if (n < 4)
        return 0;
    qsizetype evenZero = 0, oddZero = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        evenZero += bytes[i] == 0;
        oddZero += bytes[i + 1] == 0;
    }
    if (oddZero * 3 > n / 2 && evenZero == 0)
        return 1;
    if (evenZero * 3 > n / 2 && oddZero == 0)
        return 2;
    return 0;
}

QString decode(const QByteArray &bytes, Encoding &encoding, qsizetype &undecodable)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || utf16Order(bytes) != 0) {
        encoding = Encoding::Utf16;
        const bool big = bytes.startsWith("\xFE\xFF") || (!bytes.startsWith("\xFF\xFE") && utf16Order(bytes) == 2);
        QStringDecoder d(big ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        QString text = d.decode(bytes);
        if (text.startsWith(u'\uFEFF'))
            text.remove(0, 1);
        return text;
    }
    if (bytes.startsWith("\xEF\xBB\xBF") || Utf8Check::isUtf8(bytes)) {
        encoding = bytes.startsWith("\xEF\xBB\xBF") ? Encoding::Utf8Bom : Encoding::Utf8;
        QStringDecoder d(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString text = d.decode(bytes);
        if (text.startsWith(u'\uFEFF'))
            text.remove(0, 1);
        return text;
    }
    encoding = Encoding::Cp932;
    Cp932::Decoded d = Cp932::decode(bytes);
    undecodable = d.invalidCount;
    return std::move(d.text);
}

// The delimiter of the first line: tabs when it has more of them than commas.
QChar guessDelimiter(QStringView text)
{
    const QStringView line = text.left(text.indexOf(u'\n') < 0 ? text.size() : text.indexOf(u'\n'));
    return line.count(u'\t') > line.count(u',') ? QChar(u'\t') : QChar(u',');
}

} // namespace

namespace DelimitedText {

Read read(const QByteArray &bytes)
{
    Read out;
    const QString text = decode(bytes, out.encoding, out.undecodable);
    out.delimiter = guessDelimiter(text);
    std::vector<QStringList> &rows = out.table.rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"' && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
        } else if (c == out.delimiter) {
            row.append(std::exchange(field, QString()));
            fieldStarted = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            row.append(std::exchange(field, QString()));
            rows.push_back(std::exchange(row, QStringList()));
            fieldStarted = false;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !row.isEmpty()) {
        row.append(field);
        rows.push_back(row);
    }
    return out;
}

Written write(const std::vector<QStringList> &rows, QChar delimiter, Encoding encoding)
{
    QString text;
    for (const QStringList &row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += delimiter;
            const QString &f = row[c];
            if (f.contains(delimiter) || f.contains(u'"') || f.contains(u'\r') || f.contains(u'\n')) {
                text += u'"';
                text += QString(f).replace(u'"', QStringLiteral("\"\""));
                text += u'"';
            } else {
                text += f;
            }
        }
        text += QStringLiteral("\r\n");
    }
    Written out;
    switch (encoding) {
    case Encoding::Cp932: {
        Cp932::Encoded e = Cp932::encode(text);
        out.bytes = std::move(e.bytes);
        out.unmappableCount = e.unmappableCount;
        if (e.firstUnmappable >= 0) {
            // Where the first one is, in rows and columns.
            qsizetype row = 0, column = 0;
            bool quoted = false;
            for (qsizetype i = 0; i < e.firstUnmappable; ++i) {
                const QChar ch = text[i];
                if (ch == u'"')
                    quoted = !quoted;
                else if (!quoted && ch == delimiter)
                    ++column;
                else if (!quoted && ch == u'\n') {
                    ++row;
                    column = 0;
                }
            }
            out.firstUnmappableRow = row;
            out.firstUnmappableColumn = column;
        }
        break;
    }
    case Encoding::Utf8:
    case Encoding::Utf8Bom: {
        QStringEncoder e(QStringConverter::Utf8);
        const QByteArray body = e.encode(text);
        out.bytes = encoding == Encoding::Utf8Bom ? QByteArray("\xEF\xBB\xBF") + body : body;
        break;
    }
    case Encoding::Utf16: {
        QStringEncoder e(QStringConverter::Utf16LE);
        const QByteArray body = e.encode(text);
        out.bytes = QByteArray("\xFF\xFE") + body;
        break;
    }
    }
    return out;
}

} // namespace DelimitedText
