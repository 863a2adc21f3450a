#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Writes lists as Excel workbooks (.xlsx): every cell as text (so no
// spreadsheet drops a code's or phone's leading zero), the first row bold and
// frozen, column widths from the content (East Asian wide characters count
// double). The workbook is made in a temporary file beside the target and
// takes the target's place only once it is complete.
namespace XlsxWriter {

struct Sheet
{
    QString name;
    std::vector<QStringList> rows; // the first one the header
};

// Empty when written; else why not (the target is then untouched).
QString write(const QString &path, const std::vector<Sheet> &sheets);

// The width of `text` in narrow character cells.
int displayWidth(QStringView text);

} // namespace XlsxWriter
