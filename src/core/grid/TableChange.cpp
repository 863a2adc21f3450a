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
