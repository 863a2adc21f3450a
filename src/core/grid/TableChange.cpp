#include "TableChange.h"

bool TableChange::changesNothing(const AddressTableModel &model) const
{
    if (m_count != m_other.size())
        return false;
    for (int i = 0; i < m_count; ++i) {
        const AddressTableModel::Row &now = model.row(m_first + i);
        const AddressTableModel::Row &then = m_other[i];
        if (now.text != then.text || now.ends != then.ends)
            return false;
    }
    return true;
}

qint64 TableChange::bytes() const
{
    qint64 total = qint64(sizeof(TableChange)) + qint64(m_other.size()) * qint64(sizeof(AddressTableModel::Row));
    for (const AddressTableModel::Row &row : m_other)
        if (row.text.isDetached()) // a text shared with the table costs nothing more
            total += row.text.size() * qint64(sizeof(char16_t));
    return total;
}
