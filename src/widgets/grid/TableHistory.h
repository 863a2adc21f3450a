#pragma once

#include "core/grid/TableChange.h"
#include "core/table/TableOperation.h"

#include <QObject>
#include <QUndoStack>

#include <functional>

class AddressTable;

// Where the person was: the active cell and the remembered block (from 1).
struct TablePlace
{
    int col = 0;
    int row = 0;
    int blockFrom = 0;
    int blockTo = 0;
};

// The table's history: every change to the table is one step, undone and
// made again by splicing its rows back. Typing into a cell becomes a step by
// itself (through the model); the commands make theirs with record().
// Opening a file starts a new history; the state last loaded or saved is the
// clean one, and the table is dirty exactly when the history stands elsewhere.
class TableHistory final : public QObject
{
    Q_OBJECT
public:
    static constexpr int StepLimit = 100;
    // The history also keeps no more memory than the larger of this and twice
    // the table's own text; the oldest steps done go first.
    static constexpr qint64 MemoryFloor = qint64(512) << 20;

    explicit TableHistory(AddressTable &table);
    Q_DISABLE_COPY_MOVE(TableHistory)

    QUndoStack &stack() { return m_stack; }

    // Makes `change` one step. It touches rows first..first+count-1 (from 1)
    // and may add or remove rows after them. Nested records are one step.
    void record(const QString &text, int first, int count, const std::function<void()> &change);
    // A change already made, as one step.
    void push(const QString &text, TableChange change, const TablePlace &before);

    // Runs `change`, which makes `operation` through the model: whoever
    // keeps the table's changes takes the operation instead of its rows, and
    // may give back a tag for it (0: none), which the step keeps. One that
    // does not fit the table is run as a plain change.
    quint64 announce(const TableOperation &operation, const std::function<void()> &change);
    // Makes `operation` so; the rows it replaced, for the history.
    TableChange operate(const TableOperation &operation);

    // Undo and redo finish the typing in progress and take back an untouched
    // pre-fill first.
    void undo();
    void redo();

    // A new history (a file was opened): clean when the table holds the whole
    // file.
    void startOver(bool clean);
    // Changes with every step made, undone or made again.
    quint64 position() const { return m_moves; }
    // The table as it stood at `writtenAt` (a position) was saved; when the
    // history has moved since, the table stays dirty.
    void markSaved(quint64 writtenAt);

    // Memory the steps keep, and the most they may keep for the table as it
    // is now.
    qint64 memory() const;
    qint64 memoryBound() const;
    qint64 memoryFloor = MemoryFloor; // tests make it small

    TablePlace place() const;
    void restore(const TablePlace &place);
    // Puts the other side of `change` into the table and goes to `place`.
    void replay(TableChange &change, const TablePlace &place);

    // While the steps are moved to a new stack nothing may be replayed.
    bool rebuilding() const { return m_rebuilding; }

Q_SIGNALS:
    // The model's changes from here until operated() are `operation`.
    void operationBegins();
    void operated(const TableOperation &operation, quint64 &tag);
    // A step tagged so is undone or made again: whoever tagged it takes it
    // as such (`taken`) instead of its rows, until replayed().
    void replaying(quint64 tag, bool &taken);
    void replayed(quint64 tag);

private:
    void cellAboutToBeEdited(int row, int column, const QString &text);
    void pushStep(QUndoCommand *step);
    void keepWithinBound();

    AddressTable &m_table;
    QUndoStack m_stack;
    int m_recording = 0;
    int m_announced = 0;   // operations announced in the step being recorded
    quint64 m_lastTag = 0; // the last one's tag
    quint64 m_moves = 0;
    bool m_rebuilding = false;
};
