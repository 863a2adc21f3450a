#include "ColumnMapping.h"

#include "core/lookup/AddressKey.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

using Column = AddressTableModel::Column;

QString folded(QStringView text)
{
    return text.toString().normalized(QString::NormalizationForm_KC).toLower().remove(u' ');
}

bool looksLikeCode(QStringView cell)
{
    static const QRegularExpression code(QStringLiteral("^〒?\\d{3}-?\\d{4}$"));
    const QString f = folded(cell);
    bool repaired = false;
    repairedCode(f, repaired);
    return code.match(f).hasMatch() || repaired;
}

bool looksLikePhone(QStringView cell)
{
    static const QRegularExpression phone(QStringLiteral("^0\\d{1,4}[-(]?\\d{1,4}[-)]?\\d{3,4}$"));
    return phone.match(folded(cell)).hasMatch();
}

bool looksLikeUrl(QStringView cell)
{
    return cell.startsWith(u"http://") || cell.startsWith(u"https://");
}

} // namespace

int ColumnMapping::columnOfName(QStringView name)
{
    const QString n = folded(name);
    if (n.isEmpty())
        return -1;
    if (n.contains(u"郵便") || n.contains(u'〒') || n.contains(u"zip") || n.contains(u"postal"))
        return Column::Zip;
    if (n.contains(u"電話") || n.contains(u"tel") || n.contains(u"phone"))
        return Column::Tel;
    if (n.contains(u"url") || n.contains(u"地図") || n.contains(u"map"))
        return Column::Url;
    if (n.contains(u"住所") || n.contains(u"所在地") || n.contains(u"address"))
        return Column::Add;
    if (n.contains(u"会社") || n.contains(u"勤務先") || n.contains(u"施設") || n.contains(u"名称")
        || n.contains(u"事業所") || n.contains(u"法人") || n.contains(u"company"))
        return Column::Cmp;
    return -1;
}

ColumnMapping ColumnMapping::guess(const SourceTable &source)
{
    ColumnMapping m;
    const qsizetype columns = source.columnCount();
    if (source.rows.empty())
        return m;
    const QStringList &first = source.rows.front();
    std::vector<bool> taken(std::size_t(columns), false);
    for (qsizetype c = 0; c < first.size(); ++c) {
        const int target = columnOfName(first[c]);
        if (target < 0)
            continue;
        m.header = true;
        // Only 住所 joins several columns (住所1, 住所2, 住所3); the others take
        // the first column of their name.
        if (m.sources[std::size_t(target)].empty() || target == Column::Add) {
            m.sources[std::size_t(target)].push_back(int(c));
            taken[std::size_t(c)] = true;
        }
    }
    // The content of the first rows, for the columns the header left.
    const std::size_t from = m.header ? 1 : 0;
    const std::size_t to = std::min(source.rows.size(), from + 50);
    for (qsizetype c = 0; c < columns; ++c) {
        if (taken[std::size_t(c)])
            continue;
        qsizetype filled = 0, codes = 0, phones = 0, urls = 0;
        for (std::size_t r = from; r < to; ++r) {
            const QStringList &row = source.rows[r];
            if (c >= row.size() || row[c].trimmed().isEmpty())
                continue;
            ++filled;
            codes += looksLikeCode(row[c]);
            phones += looksLikePhone(row[c]);
            urls += looksLikeUrl(row[c]);
        }
        if (filled == 0)
            continue;
        int target = -1;
        if (codes * 10 >= filled * 8)
            target = Column::Zip;
        else if (phones * 10 >= filled * 8)
            target = Column::Tel;
        else if (urls * 10 >= filled * 8)
            target = Column::Url;
        if (target >= 0 && m.sources[std::size_t(target)].empty())
            m.sources[std::size_t(target)].push_back(int(c));
    }
    return m;
}

QString ColumnMapping::toText() const
{
    QStringList parts{header ? QStringLiteral("h") : QStringLiteral("-")};
    for (const std::vector<int> &s : sources) {
        QStringList numbers;
        for (const int c : s)
            numbers.append(QString::number(c));
        parts.append(numbers.join(u'+'));
    }
    return parts.join(u';');
}

std::optional<ColumnMapping> ColumnMapping::fromText(const QString &text, qsizetype sourceColumns)
{
    const QStringList parts = text.split(u';');
    if (parts.size() != 1 + AddressTableModel::ColumnCount || (parts[0] != u"h" && parts[0] != u"-"))
        return std::nullopt;
    ColumnMapping m;
    m.header = parts[0] == u"h";
    for (int t = 0; t < AddressTableModel::ColumnCount; ++t) {
        if (parts[t + 1].isEmpty())
            continue;
        for (const QString &number : parts[t + 1].split(u'+')) {
            bool ok = false;
            const int c = number.toInt(&ok);
            if (!ok || c < 0 || c >= sourceColumns)
                return std::nullopt;
            m.sources[std::size_t(t)].push_back(c);
        }
    }
    return m;
}

QString ColumnMapping::rememberKey(const QStringList &headerRow)
{
    const QByteArray hash = QCryptographicHash::hash(headerRow.join(u'\t').toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("ColumnMapping/") + QString::fromLatin1(hash.toHex().left(16));
}

QString repairedCode(const QString &cell, bool &repaired)
{
    repaired = false;
    const QString trimmed = cell.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(u'-'))
        return cell;
    const QString digits = AddressKey::spreadsheetCode(trimmed);
    if (digits.size() != 7 || digits == trimmed)
        return cell;
    repaired = true;
    return digits.left(3) + u'-' + digits.mid(3);
}

QString repairedPhone(const QString &cell, bool &repaired)
{
    repaired = false;
    const QString trimmed = cell.trimmed();
    // Japanese numbers have ten digits (eleven for mobiles and 0120 lines)
    // with their 0: one digit short and no 0 is a number a spreadsheet made.
    if ((trimmed.size() != 9 && trimmed.size() != 10) || trimmed.startsWith(u'0'))
        return cell;
    for (const QChar c : trimmed)
        if (c < u'0' || c > u'9')
            return cell;
    repaired = true;
    return u'0' + trimmed;
}

RowMapper::RowMapper(const ColumnMapping &mapping, qsizetype columns)
    : m_mapping(mapping), m_skip(mapping.header ? 1 : 0), m_columns(columns)
{
    for (const std::vector<int> &from : m_mapping.sources)
        for (const int c : from) {
            if (std::size_t(c) >= m_mapped.size())
                m_mapped.resize(std::size_t(c) + 1, false);
            m_mapped[std::size_t(c)] = true;
        }
    m_out.layout.header = mapping.header;
    m_out.layout.mapped = mapping.sources;
}

MappedRows &RowMapper::result()
{
    // Every column the list has that no table column takes is kept.
    m_out.layout.kept.clear();
    for (qsizetype c = 0; c < m_columns; ++c)
        if (std::size_t(c) >= m_mapped.size() || !m_mapped[std::size_t(c)])
            m_out.layout.kept.push_back(int(c));
    return m_out;
}

void RowMapper::add(const QStringList &row)
{
    m_columns = std::max(m_columns, row.size());
    if (m_skip > 0) {
        --m_skip;
        m_out.layout.names = row;
        return;
    }
    std::array<QString, AddressTableModel::ColumnCount> cells;
    bool any = false;
    for (int t = 0; t < AddressTableModel::ColumnCount; ++t) {
        QString cell;
        for (const int c : m_mapping.sources[std::size_t(t)]) {
            if (c >= row.size())
                continue;
            const QString part = row[c].trimmed();
            if (part.isEmpty())
                continue;
            if (!cell.isEmpty())
                cell += ColumnJoin::Separator;
            cell += part;
        }
        // A cell holds one line: line breaks inside a spreadsheet's cell
        // become spaces.
        if (cell.contains(u'\n') || cell.contains(u'\r'))
            cell.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
        bool repaired = false;
        if (t == Column::Zip) {
            cell = repairedCode(cell, repaired);
            m_out.repairedCodes += repaired;
        } else if (t == Column::Tel) {
            cell = repairedPhone(cell, repaired);
            m_out.repairedPhones += repaired;
        }
        any = any || !cell.isEmpty();
        cells[std::size_t(t)] = std::move(cell);
    }
    // The other columns as they were, up to the last one holding anything;
    // a row of such a list without any keeps one empty cell, which marks it
    // as taken in with them.
    QStringList kept;
    bool unmapped = false;
    for (qsizetype c = 0; c < m_columns; ++c) {
        if (std::size_t(c) < m_mapped.size() && m_mapped[std::size_t(c)])
            continue;
        unmapped = true;
        if (c >= row.size())
            break;
        kept.append(row[c]);
        any = any || !kept.back().isEmpty();
    }
    while (!kept.isEmpty() && kept.back().isEmpty())
        kept.removeLast();
    if (unmapped && kept.isEmpty())
        kept.append(QString());
    if (any)
        m_out.rows.append(AddressTableModel::Row::fromCells(cells[0], cells[1], cells[2], cells[3], cells[4],
                                                            AddressTableModel::Row::keptText(kept)));
}

MappedRows applyMapping(const SourceTable &source, const ColumnMapping &mapping, qsizetype limit)
{
    RowMapper mapper(mapping, source.columnCount());
    for (const QStringList &row : source.rows) {
        if (limit >= 0 && mapper.result().rows.size() >= limit)
            break;
        mapper.add(row);
    }
    return std::move(mapper.result());
}
