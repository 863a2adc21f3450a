#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// A list as another program laid it out: rows of cells as the person saw
// them, the first row usually the header. Rows may differ in length.
struct SourceTable
{
    std::vector<QStringList> rows;
    qsizetype numericCells = 0; // cells that held numbers (for the repair count)

    qsizetype columnCount() const
    {
        qsizetype n = 0;
        for (const QStringList &row : rows)
            n = std::max(n, row.size());
        return n;
    }
};

// A sheet of a workbook.
struct SheetInfo
{
    QString name;
    bool hidden = false;
};
