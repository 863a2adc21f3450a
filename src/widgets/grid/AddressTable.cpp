#include "AddressTable.h"

#include "core/grid/CellText.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"

#include <algorithm>
#include <utility>

AddressTable::AddressTable(vAdd &grid, TableState &state)
    : m_grid(grid), m_state(state), m_history(std::make_unique<TableHistory>(*this))
{
    // An untouched pre-fill is a suggestion until typed into.
    m_grid.SetSuggestion([this](int col, int row) {
        return row >= 1 && row == m_state.PrefillRow && col == vAdd::gridColumn(AddressTableModel::Add)
               && m_grid.GetCell(col, row) == m_state.PrefillText;
    });
}

AddressTable::~AddressTable()
{
    m_grid.SetSuggestion({});
}

void AddressTable::record(const QString &text, int first, int count, const std::function<void()> &change)
{
    m_history->record(text, first, count, change);
}

int AddressTable::KeyCol(const QString &key)
{
    static constexpr struct
    {
        char16_t key[4];
        AddressTableModel::Column column;
    } Keys[] = {{u"ZIP", AddressTableModel::Zip},
                {u"ADD", AddressTableModel::Add},
                {u"CMP", AddressTableModel::Cmp},
                {u"TEL", AddressTableModel::Tel},
                {u"URL", AddressTableModel::Url}};
    for (const auto &entry : Keys)
        if (key.compare(QStringView(entry.key), Qt::CaseInsensitive) == 0)
            return vAdd::gridColumn(entry.column);
    return 0;
}

QString AddressTable::GetRowVal(const QString &key) const
{
    return CellText::trimSpaces(m_grid.GetCell(KeyCol(key), m_grid.CurRow())).toString();
}

void AddressTable::SetRowVal(const QString &key, const QString &value)
{
    const int col = KeyCol(key);
    const int row = m_grid.CurRow();
    if (col == 0 || row == 0)
        return;
    // An address the program writes is no suggestion any more.
    if (col == vAdd::gridColumn(AddressTableModel::Add) && row == m_state.PrefillRow) {
        m_state.PrefillRow = 0;
        m_grid.viewport()->update(); // no longer drawn as a suggestion
    }
    const QString trimmed = CellText::trimSpaces(value).toString();
    if (m_grid.GetCell(col, row) == trimmed)
        return;
    record(QStringLiteral("変更"), row, 1, [&] { m_grid.SetCell(col, row, trimmed); });
}

AddressTableModel::Rows AddressTable::content() const
{
    AddressTableModel::Rows rows = m_grid.table()->rows(); // shared, not copied
    const int at = m_state.PrefillRow - 1;
    if (at >= 0 && at < rows.size() && rows[at].cell(AddressTableModel::Add) == m_state.PrefillText)
        rows[at].setCell(AddressTableModel::Add, {});
    return rows;
}

bool AddressTable::keptUnwritten() const
{
    if (!m_state.Kept.any() || m_state.ExportedAt == m_history->position())
        return false;
    const AddressTableModel::Rows &rows = m_grid.table()->rows();
    return std::any_of(rows.begin(), rows.end(), [](const AddressTableModel::Row &row) { return row.hasKept(); });
}

void AddressTable::afterFileCommand(std::function<void()> change)
{
    if (m_fileCommands > 0)
        m_waiting = std::move(change);
    else
        change();
}

AddressTable::FileCommandScope::~FileCommandScope()
{
    if (--m_table.m_fileCommands == 0)
        if (std::function<void()> change = std::exchange(m_table.m_waiting, {}))
            change();
}

void AddressTable::dropPrefill()
{
    const int row = std::exchange(m_state.PrefillRow, 0);
    const QString text = std::exchange(m_state.PrefillText, {});
    const int col = vAdd::gridColumn(AddressTableModel::Add);
    if (row >= 1 && m_grid.GetCell(col, row) == text)
        quietly([&] { m_grid.SetCell(col, row, QString()); });
}

void AddressTable::setBlock(int from, int to)
{
    m_state.SelRowFrom = from;
    m_state.SelRowTo = to;
    m_grid.SetMarkedRows(from, to);
}

