#pragma once

#include "core/env/FileIdentity.h"

#include <QDateTime>
#include <QString>

#include <functional>

class AddressTable;
class Desktop;
class QStatusBar;
class QWidget;

// The ﾌｧｲﾙ menu's commands: CSV files and the table on the clipboard, and the
// question about unsaved changes before the window closes.
class FileCommands final
{
public:
    FileCommands(AddressTable &table, Desktop &desktop, QWidget &window, QStatusBar &status)
        : m_table(table), m_desktop(desktop), m_window(window), m_status(status)
    {
    }
    Q_DISABLE_COPY_MOVE(FileCommands)

    // Runs menu item `index`: 0 open, 1 save, 2 save as, 4 copy the table.
    void mnFile_Click(int index);

    enum class LoadResult {
        Loaded,    // the whole file is in the table
        BadFormat, // stopped at a malformed line; the table holds what came before
        Unfaithful, // read whole, but writing the table back would change the file
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
    // A change that came in while it was asked (a copied map link) is asked
    // about again.
    bool ConfirmClose();
    // The window was activated: when the file was changed by another program
    // and the table is unchanged, asks once per change whether to read it again.
    void CheckFileOnDisk();

    // Before the table is replaced (open, import): commits the cell being
    // typed and asks about unsaved changes; false to keep the table.
    bool mayReplaceTable();
    // The table no longer stands for a file (a list was taken in from
    // elsewhere): a plain save asks for a name.
    void forgetFile();

    // The file as last read or written.
    const FileIdentity &fileIdentity() const { return m_identity; }
    // Changes restored after a crash were made to `identity`'s file, which
    // still holds those bytes: it is the file 上書き保存 writes again.
    void adoptFile(const FileIdentity &identity)
    {
        m_identity = identity;
        m_declinedSize = -1;
    }

    // 書き出し, for the kept columns of a list taken in when closing: true
    // when written.
    std::function<bool()> exportKept;

    int progressDelayMs = 500; // a load or save running longer shows its progress

private:
    void openChosen(const QString &chosen);
    // 上書き保存 when `dirty`, then 書き出し while kept columns are unwritten;
    // false when either was cancelled or failed.
    bool saveAll(bool dirty);
    // Before a plain save over `name`: true to write there, false to cancel;
    // `askName` set when a new name is to be chosen instead.
    bool mayOverwrite(const QString &name, bool &askName);

    AddressTable &m_table;
    Desktop &m_desktop;
    QWidget &m_window;        // parent of the progress dialog
    QStatusBar &m_status;     // short notices after a load or save
    QString m_lastFileName;   // the file dialog offers the name chosen last, in either mode
    FileIdentity m_identity;  // the current file as read or written
    qint64 m_declinedSize = -1; // the change on disk last declined for reading again
    QDateTime m_declinedTime;
    bool m_checking = false;
};
