#pragma once

#include "core/env/FileIdentity.h"
#include "core/recovery/RecoveryJournal.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class AddressTable;
class Desktop;
class QStatusBar;
class QTimer;

// Keeps the table's unsaved changes in a recovery journal, and offers them
// back at the next start after a crash. The journal begins with the first
// change that leaves the table unsaved, takes every later change at once as
// a step (an operation the history announces, else the grid's model's
// changed rows), and goes when the table is saved clean or
// the window closes normally. Its writer is a thread of its own; a timer of
// the window's thread notices saves and clean states.
class TableJournal final : public QObject
{
    Q_OBJECT
public:
    static constexpr int CheckMs = 1000;

    TableJournal(AddressTable &table, Desktop &desktop, QStatusBar &status);
    ~TableJournal() override;
    Q_DISABLE_COPY_MOVE(TableJournal)

    // Keeps the journal in `folder` (named after this process).
    void enable(const QString &folder);
    // The file the table last came from or went to, as read or written.
    std::function<FileIdentity()> sourceFile;
    // Makes `path` the file 上書き保存 writes, as it was read.
    std::function<void(const QString &path, const FileIdentity &identity)> adoptFile;

    // Looks for journals whose writers are gone and asks about each.
    void offerRestore();
    // The window closes normally: the journal goes.
    void closeNormally();

    RecoveryJournal::Writer *writer() const { return m_writer.get(); }
    // Where "いいえ" keeps the changes it was offered.
    static QString keptFolder();

private:
    void changed(int first, int removed, int from, int count);
    void check();
    void restore(const QString &journal, RecoveryJournal::Recovered recovered);
    void keep(const QString &journal, const RecoveryJournal::Recovered &recovered);

    AddressTable &m_table;
    Desktop &m_desktop;
    QStatusBar &m_status;
    QString m_folder;
    std::unique_ptr<RecoveryJournal::Writer> m_writer;
    QTimer *m_timer = nullptr;
    std::vector<RecoveryJournal::Writer::Step> m_pending; // this command's changes
    bool m_operating = false; // the model's changes are an operation's
    RecoveryJournal::KeptOperations m_kept; // the operations the reader keeps
    quint64 m_generation = 1; // counts the journal's beginnings: operations' tags hold it
    bool m_checkQueued = false;
    int m_prefillRow = 0; // the pre-fill the journal left out last
    QString m_sourcePath; // the file the journal began from
    QByteArray m_sourceHash;
};
