#include "AddressTableModel.h"

#include <algorithm>

QStringView AddressTableModel::Row::cell(int column) const
{
    const quint32 begin = column == 0 ? 0 : ends[size_t(column - 1)];
    const quint32 end = ends[size_t(column)];
    return QStringView(text).mid(begin, end - begin);
}

QStringList AddressTableModel::Row::keptCells() const
{
    QStringList cells;
    const QStringView kept = QStringView(text).sliced(ends[ColumnCount - 1]);
    for (qsizetype at = 0; at + 2 <= kept.size();) {
        const qsizetype length = (qsizetype(kept[at].unicode()) << 16) | qsizetype(kept[at + 1].unicode());
        at += 2;
        const qsizetype take = std::min(length, kept.size() - at);
        cells.append(kept.sliced(at, take).toString());
        at += take;
    }
    return cells;
}

QString AddressTableModel::Row::keptText(const QStringList &cells)
{
    QString kept;
    qsizetype size = 0;
    for (const QString &cell : cells)
        size += 2 + cell.size();
    kept.reserve(size);
    for (const QString &cell : cells) {
        const auto length = quint32(cell.size());
        kept.append(QChar(char16_t(length >> 16)));
        kept.append(QChar(char16_t(length & 0xFFFFU)));
        kept.append(cell);
    }
    return kept;
}

void AddressTableModel::Row::setCell(int column, QStringView value)
{
    std::array<QStringView, ColumnCount> cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells[size_t(c)] = c == column ? value : cell(c);
    *this = fromCells(cells[0], cells[1], cells[2], cells[3], cells[4], QStringView(text).sliced(ends[ColumnCount - 1]));
}

AddressTableModel::Row AddressTableModel::Row::fromCells(QStringView zip, QStringView add, QStringView cmp,
                                                         QStringView tel, QStringView url, QStringView kept)
{
    Row row;
    row.text.reserve(zip.size() + add.size() + cmp.size() + tel.size() + url.size() + kept.size());
    const std::array<QStringView, ColumnCount> cells{zip, add, cmp, tel, url};
    for (int c = 0; c < ColumnCount; ++c) {
        row.text.append(cells[size_t(c)]);
        row.ends[size_t(c)] = quint32(row.text.size());
    }
    row.text.append(kept);
    if (row.text.isEmpty())
        row.text = QString(); // blank rows hold no buffer
    else
        row.text.squeeze();
    return row;
}

AddressTableModel::AddressTableModel(QObject *parent) : QAbstractTableModel(parent) {}

int AddressTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AddressTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AddressTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cell(index.row(), index.column()).toString();
    return {};
}

bool AddressTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const QString text = value.toString();
    if (cell(index.row(), index.column()) == text)
        return false;
    Q_EMIT cellAboutToBeEdited(index.row(), index.column(), text);
    setCell(index.row(), index.column(), text);
    Q_EMIT cellEdited(index.row(), index.column());
    return true;
}

QVariant AddressTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == MarkedRole)
        return orientation == Qt::Vertical && section >= m_markedFirst && section <= m_markedLast;
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return caption(section);
    return section + 1;
}

void AddressTableModel::setMarkedRows(int first, int last)
{
    if (first == m_markedFirst && last == m_markedLast)
        return;
    const int rows = rowCount();
    const int from = std::min({m_markedFirst, first, rows - 1});
    const int to = std::min(std::max(m_markedLast, last), rows - 1);
    m_markedFirst = first;
    m_markedLast = last;
    if (from >= 0 && to >= from)
        Q_EMIT headerDataChanged(Qt::Vertical, std::max(from, 0), to);
}

Qt::ItemFlags AddressTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QString AddressTableModel::caption(int column)
{
    switch (column) {
    case Zip: return QStringLiteral("郵便番号");
    case Add: return QStringLiteral("住所");
    case Cmp: return QStringLiteral("勤務先等");
    case Tel: return QStringLiteral("電話番号");
    case Url: return QStringLiteral("Map URL");
    default: return {};
    }
}

void AddressTableModel::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount)
        return;
    m_rows[row].setCell(column, text);
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
}

void AddressTableModel::setRowCountTo(int count)
{
    count = std::max(count, 0);
    const int now = rowCount();
    if (count > now) {
        beginInsertRows({}, now, count - 1);
        m_rows.resize(count);
        endInsertRows();
    } else if (count < now) {
        beginRemoveRows({}, count, now - 1);
        m_rows.resize(count);
        endRemoveRows();
    }
}

void AddressTableModel::clearCells(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    firstRow = std::max(firstRow, 0);
    firstColumn = std::max(firstColumn, 0);
    lastRow = std::min(lastRow, rowCount() - 1);
    lastColumn = std::min(lastColumn, ColumnCount - 1);
    if (firstRow > lastRow || firstColumn > lastColumn)
        return;
    const bool wholeRows = firstColumn == 0 && lastColumn == ColumnCount - 1;
    QList<QString> dropped;
    for (int r = firstRow; r <= lastRow; ++r) {
        Row &row = m_rows[r];
        if (row.isEmpty())
            continue;
        if (wholeRows) {
            dropped.append(std::move(row.text));
            row = Row();
        } else {
            for (int c = firstColumn; c <= lastColumn; ++c)
                row.setCell(c, {});
        }
    }
    releaseLater(std::move(dropped));
    Q_EMIT dataChanged(index(firstRow, firstColumn), index(lastRow, lastColumn), {Qt::DisplayRole, Qt::EditRole});
}

void AddressTableModel::releaseLater(QList<QString> texts)
{
    // Freeing a million row texts takes longer than the command itself; a
    // large batch is freed on a helper thread while the table goes on.
    constexpr qsizetype FreeInPlace = 16 * 1024;
    if (texts.size() < FreeInPlace)
        return;
    if (m_release.valid())
        m_release.wait();
    m_release = std::async(std::launch::async, [dropped = std::move(texts)]() mutable { dropped = {}; });
}

AddressTableModel::~AddressTableModel()
{
    if (m_release.valid())
        m_release.wait();
}

void AddressTableModel::clearAll()
{
    clearCells(0, 0, rowCount() - 1, ColumnCount - 1);
}

void AddressTableModel::insertBlankRows(int row, int count)
{
    row = std::clamp(row, 0, rowCount());
    if (count <= 0)
        return;
    beginInsertRows({}, row, row + count - 1);
    m_rows.insert(row, count, Row());
    endInsertRows();
}

void AddressTableModel::removeRowsAt(int row, int count)
{
    if (row < 0 || row >= rowCount())
        return;
    count = std::min(count, rowCount() - row);
    if (count <= 0)
        return;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.remove(row, count);
    endRemoveRows();
}

void AddressTableModel::replaceRows(Rows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    reserveHeadroom();
    endResetModel();
}

AddressTableModel::Rows AddressTableModel::spliceRows(int first, int count, Rows rows)
{
    first = std::clamp(first, 0, rowCount());
    count = std::clamp(count, 0, rowCount() - first);
    const int added = int(rows.size());
    if (added == count) {
        // As many rows come as go: the list that brought them takes the old
        // ones back, the whole table by swapping the lists themselves.
        if (first == 0 && count == rowCount())
            m_rows.swap(rows);
        else
            for (int i = 0; i < count; ++i)
                std::swap(m_rows[first + i], rows[i]);
        if (count > 0)
            Q_EMIT dataChanged(index(first, 0), index(first + count - 1, ColumnCount - 1), {Qt::DisplayRole, Qt::EditRole});
        return rows;
    }
    const int common = std::min(count, added);
    Rows old;
    old.reserve(count);
    for (int i = 0; i < common; ++i) {
        old.append(std::move(m_rows[first + i]));
        m_rows[first + i] = std::move(rows[i]);
    }
    if (common > 0)
        Q_EMIT dataChanged(index(first, 0), index(first + common - 1, ColumnCount - 1), {Qt::DisplayRole, Qt::EditRole});
    if (added > count) {
        const int at = first + common;
        beginInsertRows({}, at, first + added - 1);
        m_rows.insert(at, added - count, Row());
        for (int i = common; i < added; ++i)
            m_rows[first + i] = std::move(rows[i]);
        endInsertRows();
    } else if (count > added) {
        const int at = first + common;
        beginRemoveRows({}, at, first + count - 1);
        for (int i = at; i < first + count; ++i)
            old.append(std::move(m_rows[i]));
        m_rows.remove(at, count - added);
        endRemoveRows();
    }
    return old;
}

AddressTableModel::Rows AddressTableModel::withRoom(qsizetype rows)
{
    const qsizetype front = std::max<qsizetype>(512, rows / 8);
    const qsizetype capacity = rows + std::max<qsizetype>(1024, rows / 4) + front;
    auto [header, data] = QTypedArrayData<Row>::allocate(capacity);
    if (!header)
        return {};
    return Rows(QArrayDataPointer<Row>(header, data + front, 0));
}

void AddressTableModel::reserveHeadroom()
{
    // Room for more rows at both ends: inserting rows after a large load
    // moves the rows on one side of them, instead of first copying the whole
    // table elsewhere (at the end) or to the middle of its block (at the top).
    const qsizetype wanted = m_rows.size() + std::max<qsizetype>(1024, m_rows.size() / 4);
    if (m_rows.capacity() < wanted)
        m_rows.reserve(wanted);
    // A row put in front and taken away again leaves half the room in front
    // (where there is room in front, it only takes a place and gives it back).
    m_rows.prepend(Row());
    m_rows.removeFirst();
}
