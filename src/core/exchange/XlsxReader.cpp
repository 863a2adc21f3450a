#include "XlsxReader.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>

#include "core/env/ZipArchive.h"

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

using ZipArchive::Archive;
using ZipArchive::Entry;

const QString Damaged = QStringLiteral("ブックが壊れています (%1)");

Archive openArchive(const QByteArray &bytes, QString *error)
{
    ZipArchive::Opened opened = ZipArchive::open(bytes);
    if (!opened.archive)
        *error = Damaged.arg(opened.errorText);
    return std::move(opened.archive);
}

// An XML entry of the archive read a piece at a time.
class XmlEntry final
{
public:
    XmlEntry(zip_t *za, const QString &name)
    {
        const QByteArray n = name.toUtf8();
        const zip_int64_t index = zip_name_locate(za, n.constData(), 0);
        if (index >= 0)
            m_file.reset(zip_fopen_index(za, zip_uint64_t(index), 0));
    }
    bool exists() const { return bool(m_file); }

    // The next token; false at the end or on an error (then `error()`).
    bool next()
    {
        for (;;) {
            m_xml.readNext();
            if (m_xml.tokenType() == QXmlStreamReader::EndDocument)
                return false;
            if (!m_xml.hasError())
                return true;
            if (m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || !feed())
                return false;
        }
    }
    QString error() const
    {
        if (!m_readError.isEmpty())
            return m_readError;
        return m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError
            ? m_xml.errorString()
            : QString();
    }
    QXmlStreamReader &xml() { return m_xml; }
    bool isStart(QStringView name) const { return m_xml.isStartElement() && m_xml.name() == name; }
    bool isEnd(QStringView name) const { return m_xml.isEndElement() && m_xml.name() == name; }
    QString attribute(QLatin1StringView name) const { return m_xml.attributes().value(name).toString(); }
    QStringView attributeView(QLatin1StringView name) const { return m_xml.attributes().value(name); }

private:
    bool feed()
    {
        if (!m_file || m_ended)
            return false;
        QByteArray piece(1 << 16, Qt::Uninitialized);
        const zip_int64_t n = zip_fread(m_file.get(), piece.data(), zip_uint64_t(piece.size()));
        if (n < 0) {
            m_readError = QString::fromUtf8(zip_file_strerror(m_file.get()));
            return false;
        }
        if (n == 0) {
            m_ended = true;
            return false;
        }
        piece.truncate(qsizetype(n));
        m_xml.addData(piece);
        return true;
    }

    Entry m_file;
    QXmlStreamReader m_xml;
    QString m_readError;
    bool m_ended = false;
};

// The text of the string item or inline string the reader stands at the
// start of (element `end`): its <t> texts, phonetic runs left out.
QString stringItem(XmlEntry &in, QStringView end)
{
    QString text;
    int phonetic = 0;
    bool inText = false;
    while (in.next()) {
        if (in.isEnd(end))
            break;
        if (in.isStart(u"rPh"))
            ++phonetic;
        else if (in.isEnd(u"rPh"))
            --phonetic;
        else if (in.isStart(u"t"))
            inText = true;
        else if (in.isEnd(u"t"))
            inText = false;
        else if (inText && phonetic == 0 && in.xml().isCharacters())
            text += in.xml().text();
    }
    return text;
}

// "B12" → column 1 (from 0) and row 11; false when it is no reference.
bool parseReference(QStringView ref, int &column, qint64 &row)
{
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref[i] >= u'A' && ref[i] <= u'Z' && c < 100000)
        c = c * 26 + (ref[i++].unicode() - u'A' + 1);
    if (i == 0 || i == ref.size() || c > 16384)
        return false;
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (!ok || r < 1)
        return false;
    column = int(c - 1);
    row = r - 1;
    return true;
}

bool builtinDate(int id)
{
    return (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

// A format code with its quoted texts, escapes and colours taken out.
QString bareFormat(const QString &code)
{
    QString bare;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            quoted = c != u'"';
        } else if (bracket) {
            bracket = c != u']';
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            bracket = true;
        } else if (c == u'\\') {
            if (++i < code.size())
                bare += code[i];
        } else if (c == u'_' || c == u'*') {
            ++i;
        } else {
            bare += c;
        }
    }
    return bare;
}

// A date format code as a QDate format, when it shows only the date in the
// Western calendar; empty otherwise (era formats among them).
QString dateFormat(const QString &code, bool &isDate)
{
    const QString bare = bareFormat(code.section(u';', 0, 0)).toLower();
    isDate = bare != u"general" && (bare.contains(u'y') || bare.contains(u'd') || bare.contains(u'g'));
    if (!isDate || bare.contains(u'g') || bare.contains(u'e') || bare.contains(u'h') || bare.contains(u's'))
        return {};
    QString out;
    for (qsizetype i = 0; i < bare.size();) {
        const QChar c = bare[i];
        qsizetype n = 1;
        while (i + n < bare.size() && bare[i + n] == c)
            ++n;
        if (c == u'y')
            out += n <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
        else if (c == u'm')
            out += n == 1 ? QStringLiteral("M") : n == 2 ? QStringLiteral("MM") : QStringLiteral("MMM");
        else if (c == u'd')
            out += n == 1 ? QStringLiteral("d") : QStringLiteral("dd");
        else if (c.isLetter())
            return {};
        else
            out += QString(n, c);
        i += n;
    }
    return out;
}

// Thousands separated by commas.
QString grouped(double value, int decimals)
{
    QLocale c = QLocale::c();
    c.setNumberOptions({});
    return c.toString(value, 'f', decimals);
}

QString generalNumber(double value)
{
    if (std::isfinite(value) && std::fabs(value) < 1e15 && value == std::floor(value))
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

} // namespace

namespace XlsxReader {

QString shownNumber(double value, int formatId, const QString &formatCode, bool date1904)
{
    if (!std::isfinite(value))
        return generalNumber(value);
    bool isDate = builtinDate(formatId);
    QString qtFormat;
    if (formatId == 14)
        qtFormat = QStringLiteral("yyyy/M/d");
    else if (!formatCode.isEmpty() && !isDate)
        qtFormat = dateFormat(formatCode, isDate);
    if (isDate) {
        const QDate epoch = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
        const QDate date = epoch.addDays(qint64(std::floor(value)));
        if (!date.isValid() || value < 0)
            return generalNumber(value);
        return date.toString(qtFormat.isEmpty() ? QStringLiteral("yyyy-MM-dd") : qtFormat);
    }
    if (formatId == 1)
        return QString::number(qint64(std::llround(value)));
    if (formatId == 2)
        return QString::number(value, 'f', 2);
    if (formatId == 3 || formatId == 4)
        return grouped(value, formatId == 3 ? 0 : 2);
    // A format of zeros (and literal text between them): the whole number's
    // digits, padded with zeros, laid into the zeros' places.
    const QString bare = bareFormat(formatCode.section(u';', 0, 0));
    const qsizetype zeros = bare.count(u'0');
    if (zeros > 0 && !bare.contains(u'.') && !bare.contains(u'#') && !bare.contains(u',')
        && value == std::floor(value) && value >= 0 && value < 1e15) {
        QString digits = QString::number(qint64(value));
        if (digits.size() <= zeros) {
            digits = QString(zeros - digits.size(), u'0') + digits;
            QString out;
            qsizetype d = 0;
            for (const QChar c : bare)
                out += c == u'0' ? digits[d++] : c;
            return out;
        }
    }
    // Fixed decimals ("0.00", "#,##0.0").
    const qsizetype point = bare.indexOf(u'.');
    if (point >= 0 && bare.contains(u'0')) {
        qsizetype decimals = 0;
        while (point + 1 + decimals < bare.size() && bare[point + 1 + decimals] == u'0')
            ++decimals;
        QString text = QString::number(value, 'f', int(decimals));
        if (bare.left(point).contains(u','))
            text = grouped(value, int(decimals));
        return text;
    }
    if (bare.contains(QStringLiteral("#,##0")) || bare.contains(QStringLiteral("#,#")))
        return grouped(value, 0);
    return generalNumber(value);
}

QString notXlsx(const QByteArray &bytes)
{
    if (bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        const QByteArray encrypted = QStringLiteral("EncryptedPackage").toUtf8();
        QByteArray wide;
        for (const char c : encrypted) {
            wide += c;
            wide += '\0';
        }
        if (bytes.contains(wide))
            return QStringLiteral("パスワードで暗号化されたブックは読めません。パスワードを外して保存し直してください");
        return QStringLiteral("Excel のブックではありません (ブックのない OLE2 形式のファイルです)");
    }
    if (!bytes.startsWith("PK"))
        return QStringLiteral("Excel のブック (.xlsx) ではありません");
    if (bytes.contains("application/vnd.oasis.opendocument"))
        return QStringLiteral("OpenDocument 形式 (.ods) は読めません。.xlsx に保存し直してください");
    if (bytes.contains("Index/Document.iwa") || bytes.contains(".iwa"))
        return QStringLiteral("Numbers 形式 (.numbers) は読めません。.xlsx に保存し直してください");
    return {};
}

namespace {

struct Parts
{
    QString error;
    std::vector<SheetInfo> sheets;
    QStringList sheetPaths;
    bool date1904 = false;
};

Parts workbookParts(zip_t *za)
{
    Parts parts;
    QHash<QString, QString> targets; // relationship id → part name
    {
        XmlEntry rels(za, QStringLiteral("xl/_rels/workbook.xml.rels"));
        while (rels.next())
            if (rels.isStart(u"Relationship")) {
                QString target = rels.attribute("Target"_L1);
                target = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
                targets.insert(rels.attribute("Id"_L1), target);
            }
    }
    XmlEntry book(za, QStringLiteral("xl/workbook.xml"));
    if (!book.exists()) {
        parts.error = QStringLiteral("Excel のブックではありません (xl/workbook.xml がありません)");
        return parts;
    }
    while (book.next()) {
        if (book.isStart(u"workbookPr")) {
            const QString v = book.attribute("date1904"_L1);
            parts.date1904 = v == u"1" || v == u"true";
        } else if (book.isStart(u"sheet")) {
            const QString state = book.attribute("state"_L1);
            parts.sheets.push_back({book.attribute("name"_L1), !state.isEmpty() && state != u"visible"});
            QString id;
            for (const QXmlStreamAttribute &a : book.xml().attributes())
                if (a.name() == u"id")
                    id = a.value().toString();
            parts.sheetPaths.append(targets.value(id));
        }
    }
    if (!book.error().isEmpty())
        parts.error = Damaged.arg(book.error());
    else if (parts.sheets.empty())
        parts.error = QStringLiteral("ブックにシートがありません");
    return parts;
}

QStringList sharedStrings(zip_t *za, QString &error)
{
    QStringList strings;
    XmlEntry in(za, QStringLiteral("xl/sharedStrings.xml"));
    while (in.next())
        if (in.isStart(u"si"))
            strings.append(stringItem(in, u"si"));
    if (!in.error().isEmpty())
        error = Damaged.arg(in.error());
    return strings;
}

struct Style
{
    int formatId = 0;
    QString code;
};

std::vector<Style> cellStyles(zip_t *za)
{
    std::vector<Style> styles;
    QHash<int, QString> codes;
    XmlEntry in(za, QStringLiteral("xl/styles.xml"));
    bool inCellXfs = false;
    while (in.next()) {
        if (in.isStart(u"numFmt")) {
            codes.insert(in.attribute("numFmtId"_L1).toInt(), in.attribute("formatCode"_L1));
        } else if (in.isStart(u"cellXfs")) {
            inCellXfs = true;
        } else if (in.isEnd(u"cellXfs")) {
            inCellXfs = false;
        } else if (inCellXfs && in.isStart(u"xf")) {
            const int id = in.attribute("numFmtId"_L1).toInt();
            styles.push_back({id, codes.value(id)});
        }
    }
    return styles;
}

} // namespace

Book sheets(const QByteArray &bytes)
{
    Book book;
    book.error = notXlsx(bytes);
    if (!book.error.isEmpty())
        return book;
    const Archive za = openArchive(bytes, &book.error);
    if (!za)
        return book;
    Parts parts = workbookParts(za.get());
    book.error = parts.error;
    book.sheets = std::move(parts.sheets);
    return book;
}

QString readRows(const QByteArray &bytes, int sheetIndex, const RowSink &sink)
{
    struct
    {
        QString error;
    } sheet;
    sheet.error = notXlsx(bytes);
    if (!sheet.error.isEmpty())
        return sheet.error;
    const Archive za = openArchive(bytes, &sheet.error);
    if (!za)
        return sheet.error;
    const Parts parts = workbookParts(za.get());
    if (!parts.error.isEmpty()) {
        sheet.error = parts.error;
        return sheet.error;
    }
    if (sheetIndex < 0 || sheetIndex >= parts.sheetPaths.size()) {
        sheet.error = QStringLiteral("シートがありません");
        return sheet.error;
    }
    const QStringList strings = sharedStrings(za.get(), sheet.error);
    if (!sheet.error.isEmpty())
        return sheet.error;
    const std::vector<Style> styles = cellStyles(za.get());

    XmlEntry in(za.get(), parts.sheetPaths[sheetIndex]);
    if (!in.exists()) {
        sheet.error = QStringLiteral("シート %1 がブックにありません").arg(parts.sheets[std::size_t(sheetIndex)].name);
        return sheet.error;
    }
    // Rows go to the sink as each ends, the gaps between them as empty rows.
    qint64 row = -1;     // the row being read
    qint64 given = 0;    // rows handed to the sink
    QStringList cells;   // of the row being read
    bool stopped = false;
    const auto flush = [&] {
        if (row < 0 || stopped)
            return;
        for (; given < row && !stopped; ++given)
            stopped = !sink(QStringList());
        if (!stopped)
            stopped = !sink(cells);
        ++given;
        cells.clear();
    };
    int nextColumn = 0;
    while (!stopped && in.next()) {
        if (in.isStart(u"row")) {
            flush();
            if (stopped)
                break;
            bool ok = false;
            const qint64 r = in.attributeView("r"_L1).toLongLong(&ok);
            row = ok ? r - 1 : row + 1;
            nextColumn = 0;
            if (row >= MaxRows) {
                sheet.error = QStringLiteral("シートの行が %1 行を超えています").arg(MaxRows);
                return sheet.error;
            }
            if (row < given)
                row = given; // rows out of order: appended
        } else if (in.isStart(u"c") && row >= 0) {
            int column = nextColumn;
            qint64 cellRow = row;
            const QXmlStreamAttributes attributes = in.xml().attributes();
            const QString ref = attributes.value("r"_L1).toString();
            if (!ref.isEmpty() && (!parseReference(ref, column, cellRow) || cellRow != row)) {
                sheet.error = Damaged.arg(ref);
                return sheet.error;
            }
            nextColumn = column + 1;
            const QString type = attributes.value("t"_L1).toString();
            const int styleIndex = attributes.value("s"_L1).toInt();
            QString value;
            QString inlineText;
            bool isInline = false;
            bool inValue = false;
            while (in.next() && !in.isEnd(u"c")) {
                if (in.isStart(u"v")) {
                    inValue = true;
                } else if (in.isEnd(u"v")) {
                    inValue = false;
                } else if (in.isStart(u"is")) {
                    inlineText = stringItem(in, u"is");
                    isInline = true;
                } else if (inValue && in.xml().isCharacters()) {
                    value += in.xml().text();
                    if (value.size() > MaxCellChars)
                        break;
                }
            }
            QString shown;
            if (isInline) {
                shown = inlineText;
            } else if (type == u"s") {
                bool ok = false;
                const qsizetype i = value.trimmed().toLongLong(&ok);
                if (!ok || i < 0 || i >= strings.size()) {
                    sheet.error = Damaged.arg(ref);
                    return sheet.error;
                }
                shown = strings[i];
            } else if (type == u"b") {
                shown = value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            } else if (type == u"str" || type == u"e" || value.isEmpty()) {
                shown = value;
            } else {
                bool ok = false;
                const double number = value.trimmed().toDouble(&ok);
                if (ok) {
                    const Style style = styleIndex >= 0 && std::size_t(styleIndex) < styles.size()
                        ? styles[std::size_t(styleIndex)]
                        : Style();
                    shown = shownNumber(number, style.formatId, style.code, parts.date1904);
                } else {
                    shown = value;
                }
            }
            if (shown.size() > MaxCellChars) {
                sheet.error = QStringLiteral("%1 のセルが %2 文字を超えています").arg(ref).arg(MaxCellChars);
                return sheet.error;
            }
            if (!shown.isEmpty()) {
                while (cells.size() <= column)
                    cells.append(QString());
                cells[column] = shown;
            }
        }
    }
    if (!in.error().isEmpty()) {
        sheet.error = Damaged.arg(in.error());
        return sheet.error;
    }
    flush();
    return {};
}

Sheet read(const QByteArray &bytes, int sheetIndex, qsizetype limit)
{
    Sheet sheet;
    std::vector<QStringList> &rows = sheet.table.rows;
    sheet.error = readRows(bytes, sheetIndex, [&](const QStringList &cells) {
        if (limit >= 0 && qsizetype(rows.size()) >= limit)
            return false;
        rows.push_back(cells);
        return true;
    });
    if (!sheet.error.isEmpty())
        rows.clear();
    while (!rows.empty() && rows.back().isEmpty())
        rows.pop_back();
    return sheet;
}

} // namespace XlsxReader
