#pragma once

#include <QString>

class AddressTable;
class Desktop;
class QWidget;

// The ﾌｧｲﾙ menu's commands: CSV files and the table on the clipboard, and the
// question about unsaved changes before the window closes.
class FileCommands final
{
public:
    FileCommands(AddressTable &table, Desktop &desktop, QWidget &window)
        : m_table(table), m_desktop(desktop), m_window(window)
    {
    }
    Q_DISABLE_COPY_MOVE(FileCommands)

    // Runs menu item `index`: 0 open, 1 save, 2 save as, 4 copy the table.
    void mnFile_Click(int index);

    enum class LoadResult {
        Loaded,    // the whole file is in the table
        BadFormat, // stopped at a malformed line; the table holds what came before
        Doubtful,  // the whole file is in the table, but some cells may have moved column
        NotLoaded, // unreadable or cancelled: the table is as it was
    };
    void OpenCsv();
    // Opens a file named from outside the dialog (the program's argument, a
    // file dropped on the window, another start of the program) the way Open
    // does once a name is chosen, after the same question.
    void OpenFile(const QString &path);
    LoadResult LoadCsv(const QString &path);
    bool SaveCsv(bool askName); // true when the file was written
    void CopyTable();
    // Asks about unsaved changes before the window closes; false keeps it open.
    bool ConfirmClose();

    int progressDelayMs = 500; // a load or save running longer shows its progress

private:
    bool mayReplaceTable();
    void openChosen(const QString &chosen);

    AddressTable &m_table;
    Desktop &m_desktop;
    QWidget &m_window;        // parent of the progress dialog
    QString m_lastFileName;   // the file dialog offers the name chosen last, in either mode
};
