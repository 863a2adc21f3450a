#include "CellBlock.h"

using namespace Qt::StringLiterals;

namespace CellBlock {

namespace {

bool needsQuotes(const QString &cell)
{
    for (const QChar c : cell) {
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'"')
            return true;
    }
    return false;
}

void appendEscapedHtml(QString &out, const QString &cell)
{
    qsizetype i = 0;
    while (i < cell.size()) {
        const QChar c = cell[i];
        switch (c.unicode()) {
        case u'&': out += u"&amp;"_s; break;
        case u'<': out += u"&lt;"_s; break;
        case u'>': out += u"&gt;"_s; break;
        case u'"': out += u"&quot;"_s; break;
        case u'\r':
            if (i + 1 < cell.size() && cell[i + 1] == u'\n')
                ++i;
            out += u"<br>"_s;
            break;
        case u'\n': out += u"<br>"_s; break;
        default: out += c; break;
        }
        ++i;
    }
}

} // namespace

QString toText(const Block &block)
{
    QString out;
    for (const QStringList &row : block) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += u'\t';
            const QString &cell = row[c];
            if (needsQuotes(cell)) {
                out += u'"';
                out += QString(cell).replace(u'"', u"\"\""_s);
                out += u'"';
            } else {
                out += cell;
            }
        }
        out += u"\r\n"_s;
    }
    return out;
}

QString toHtml(const Block &block)
{
    QString out = u"<html><head><meta charset=\"utf-8\"></head><body><table>"_s;
    for (const QStringList &row : block) {
        out += u"<tr>"_s;
        for (const QString &cell : row) {
            out += u"<td>"_s;
            appendEscapedHtml(out, cell);
            out += u"</td>"_s;
        }
        out += u"</tr>"_s;
    }
    out += u"</table></body></html>"_s;
    return out;
}

Block fromText(QStringView text)
{
    Block block;
    QStringList row;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isLineEnd = [](QChar c) { return c == u'\r' || c == u'\n'; };
    // Past a line end (CR LF counts as one).
    auto skipLineEnd = [&](qsizetype at) {
        if (text[at] == u'\r' && at + 1 < n && text[at + 1] == u'\n')
            return at + 2;
        return at + 1;
    };
    while (i < n) {
        QString cell;
        qsizetype next = -1; // where the cell ends (at its separator or the end)
        if (text[i] == u'"') {
            // Quoted, if the closing quote is followed by a separator.
            qsizetype j = i + 1;
            while (j < n) {
                if (text[j] == u'"') {
                    if (j + 1 < n && text[j + 1] == u'"') {
                        cell += u'"';
                        j += 2;
                        continue;
                    }
                    if (j + 1 == n || text[j + 1] == u'\t' || isLineEnd(text[j + 1]))
                        next = j + 1;
                    break;
                }
                cell += text[j];
                ++j;
            }
        }
        if (next < 0) {
            // Taken as it is, up to the next tab or line end.
            cell.clear();
            next = i;
            while (next < n && text[next] != u'\t' && !isLineEnd(text[next]))
                ++next;
            cell = text.sliced(i, next - i).toString();
        }
        row.append(cell);
        if (next >= n) {
            i = n;
            break;
        }
        if (text[next] == u'\t') {
            i = next + 1;
            if (i == n)
                row.append(QString()); // a row ending in a tab ends in an empty cell
            continue;
        }
        block.append(row);
        row.clear();
        i = skipLineEnd(next);
    }
    if (!row.isEmpty())
        block.append(row);
    return block;
}

} // namespace CellBlock
