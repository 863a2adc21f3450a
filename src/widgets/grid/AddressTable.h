#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/grid/TableState.h"

#include <QString>

#include <functional>
#include <memory>

class TableHistory;
class vAdd;

// The table as the commands see it: the grid and the state kept beside it.
// Every command reaches the records through this, never through the window.
class AddressTable final
{
public:
    AddressTable(vAdd &grid, TableState &state);
    ~AddressTable();
    Q_DISABLE_COPY_MOVE(AddressTable)

    vAdd &grid() const { return m_grid; }
    TableState &state() const { return m_state; }
    TableHistory &history() const { return *m_history; }

    // Makes a change of a command's one undoable step: `change` touches rows
    // first..first+count-1 (from 1) and may add or remove rows after them.
    void record(const QString &text, int first, int count, const std::function<void()> &change);

    // The grid's column number of a key "ZIP", "ADD", "CMP", "TEL" or "URL"
    // (any letter case); 0 for any other key.
    static int KeyCol(const QString &key);
    // The active row's cell, leading and trailing half-width spaces removed.
    QString GetRowVal(const QString &key) const;
    // Writes the active row's cell, trimmed the same way, as an undoable step.
    void SetRowVal(const QString &key, const QString &value);
    // The table's records as every reader takes them (a file, the clipboard,
    // the recovery journal, an export, a label): an untouched pre-fill is
    // no record and is left out, although the grid still shows it.
    AddressTableModel::Rows content() const;

    // Rows hold kept cells of a list taken in (its columns the table does
    // not show), changed since 書き出し last wrote them: only 書き出し keeps
    // them, a CSV file does not.
    bool keptUnwritten() const;

    // While a file command's question or progress is open, a change that
    // comes from outside the person's keys (a copied map link) waits: the
    // last one waiting runs once the command has finished. Otherwise `change`
    // runs now.
    void afterFileCommand(std::function<void()> change);
    // Holds such changes back while it lives.
    class FileCommandScope
    {
    public:
        explicit FileCommandScope(AddressTable &table) : m_table(table) { ++m_table.m_fileCommands; }
        ~FileCommandScope();
        Q_DISABLE_COPY_MOVE(FileCommandScope)

    private:
        AddressTable &m_table;
    };

    // Takes back an address pre-fill nobody typed into (the cell returns to
    // empty) and forgets it.
    void dropPrefill();

    // Remembers the block of rows the row commands act on (to 0: none) and
    // marks it in the grid's row header.
    void setBlock(int from, int to);

    // Runs a bulk change of the program's own with the grid's notifications
    // ignored.
    template<typename Change>
    void quietly(Change &&change)
    {
        const bool was = m_state.Quiet;
        m_state.Quiet = true;
        change();
        m_state.Quiet = was;
    }

private:
    vAdd &m_grid;
    TableState &m_state;
    std::unique_ptr<TableHistory> m_history;
    int m_fileCommands = 0;           // file commands under way
    std::function<void()> m_waiting;  // held back until they finish
};
