#include "core/grid/AddressTableModel.h"

// A table of plausible addresses that depends only on count and seed.
AddressTableModel::Rows generatedRows(int count, int seed)
{
    AddressTableModel::Rows rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString n = QString::number(i * 7 + seed);
        rows.append(AddressTableModel::Row::fromCells(
            QStringLiteral("100-%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
            QStringLiteral("東京都　千代田区丸の内　%1－%2").arg(seed).arg(n), QStringLiteral("株式会社サンプル%1").arg(seed),
            QStringLiteral("03-1234-%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
            QStringLiteral("http://map.yahoo.co.jp/pl?lat=35.%1&lon=139.%2").arg(n, n)));
    }
    return rows;
}
