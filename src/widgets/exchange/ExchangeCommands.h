#pragma once

#include <QString>

#include <functional>

class AddressTable;
class Desktop;
class QStatusBar;

// What 取り込み needs of the file commands: the question before the table is
// replaced (false keeps it), and dropping the current file afterwards.
struct TableFileHooks
{
    std::function<bool()> mayReplaceTable;
    std::function<void()> forgetFile;
};

// 取り込み and 書き出し: lists in other programs' shapes. 取り込み reads an Excel
// workbook (.xlsx) or a CSV/TSV file of any column layout, maps its columns
// to the table's and replaces the table after the same question as 開く;
// 書き出し writes the table as an .xlsx workbook or as CSV/TSV in a chosen
// encoding. Neither changes the file 上書き保存 writes.
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

private:
    void importChosen(const QString &path);

    AddressTable &m_table;
    Desktop &m_desktop;
    TableFileHooks m_files;
    QStatusBar &m_status;
    QString m_lastImport; // the file dialogs offer the names chosen last
    QString m_lastExport;
};
