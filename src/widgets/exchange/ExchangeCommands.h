#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/grid/KeptColumns.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class AddressTable;
class Desktop;
class QAbstractItemModel;
class QStatusBar;

// What the commands need of the other subsystems: the question before the
// table is replaced (false keeps it), dropping the current file afterwards,
// and the listed results of the last 一括チェック (header first; none: empty).
struct TableFileHooks
{
    std::function<bool()> mayReplaceTable;
    std::function<void()> forgetFile;
    std::function<std::vector<QStringList>()> checkResults;
};

// 取り込み and 書き出し: lists in other programs' shapes. 取り込み reads an Excel
// workbook (.xlsx) or a CSV/TSV file of any column layout, maps its columns
// to the table's and replaces the table after the same question as 開く, the
// columns not mapped kept unseen in the rows; 書き出し writes the table as an
// .xlsx workbook or as CSV/TSV in a chosen encoding, a list taken in with
// other columns in its own layout. Neither changes the file 上書き保存 writes.
class ExchangeCommands final
{
public:
    ExchangeCommands(AddressTable &table, Desktop &desktop, TableFileHooks files, QStatusBar &status)
        : m_table(table), m_desktop(desktop), m_files(std::move(files)), m_status(status)
    {
    }
    Q_DISABLE_COPY_MOVE(ExchangeCommands)

    // Runs ﾌｧｲﾙ item `index`: 7 取り込み, 8 書き出し.
    void mnFile_Click(int index);

    void ImportList();
    // Takes in a file named from outside (an argument, a drop) after the
    // same question as 開く.
    void ImportFile(const QString &path);
    bool ExportList(); // true when written

    // Files 取り込み reads rather than 開く: workbooks.
    static bool isWorkbook(const QString &path);
    // A model's header and rows as text.
    static std::vector<QStringList> modelRows(const QAbstractItemModel &model);

    int progressDelayMs = 500; // a 取り込み running longer shows its progress

private:
    void importChosen(const QString &path);

    AddressTable &m_table;
    Desktop &m_desktop;
    TableFileHooks m_files;
    QStatusBar &m_status;
    QString m_lastImport; // the file dialogs offer the names chosen last
    QString m_lastExport;
};
