#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/table/TableOperation.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The recovery journal: the table's unsaved changes on disk, so that a crash,
// a killed session or a power cut loses at most the last two seconds.
//
// A journal file is a row of records, each framed by its length and a CRC-32
// so that a partly written or damaged end is cut off at the last whole
// record: a header (the writer's host and process, the file the table came
// from with its size, time and hash, and the columns kept from a list taken
// in), a snapshot of the table's rows,
// then steps in groups, each either an operation made again from the table
// before it (a sort, 初期化, a row command, clearing cells) or "rows
// first..first+removed-1 give way to these rows" (typing, a paste).
// Taking back or making again one of the latest operations is a step of
// its own, "swap the rows of operation n" (the reader keeps the rows each
// replaced, as the history does). Large records are compressed.
namespace RecoveryJournal {

// The file the table came from, as it stood when the journal began.
struct Source
{
    QString host;
    qint64 pid = 0;
    QString file; // empty: none
    qint64 size = -1;
    qint64 modifiedMs = 0;
    QByteArray hash;
    QString kept{}; // the columns of a list taken in that rows keep unseen (KeptColumns::toText)
};

// The latest operations since the journal began whose rows the reader
// keeps, so that undoing or redoing one is a step by its number: at most
// KeptCount of them, weighing KeptRows rows in all. The writer keeps the
// same count, so it knows which numbers the reader has.
class KeptOperations
{
public:
    static constexpr size_t KeptCount = 100;
    static constexpr qint64 KeptRows = qint64(4) << 20;

    // The rows the reader keeps for `op` made on a table of `rows` rows.
    static qint64 weight(const TableOperation &op, qsizetype rows);
    // Numbers an operation (1, 2, … from the journal's beginning) and
    // forgets the oldest beyond the bounds.
    quint64 add(qint64 weight);
    bool has(quint64 number) const { return number >= m_first && number - m_first < m_weights.size(); }
    quint64 first() const { return m_first; }
    size_t size() const { return m_weights.size(); }
    void clear() { *this = {}; }

private:
    std::deque<qint64> m_weights;
    quint64 m_first = 1;
    qint64 m_total = 0;
};

// A journal read back: the table up to the last whole step.
struct Recovered
{
    bool valid = false; // a header and a snapshot were read
    Source source;
    AddressTableModel::Rows rows;
    int steps = 0;        // steps after the snapshot
    bool damaged = false; // something after the last whole record was cut off
};

Recovered read(const QByteArray &bytes);
Recovered read(const QString &path);

// The bytes of one framed record (the writer's and the tests' own).
QByteArray frame(const QByteArray &payload);

// Whether another live process holds the journal at `path` open for writing.
bool inUse(const QString &path);

// A journal written on a thread of its own: the window's thread hands over
// records at once (rows shared, never copied there), the writer serialises
// them and syncs them to disk in batches at most `SyncMs` apart.
class Writer final
{
public:
    static constexpr int SyncMs = 500;

    explicit Writer(QString path);
    ~Writer(); // writes what is queued; keeps the file (see remove())
    Q_DISABLE_COPY_MOVE(Writer)

    // An untouched pre-fill: the address `text` of row `row` (from 0) is no
    // content and is left out.
    struct Prefill
    {
        int row = -1;
        QString text;
    };
    // Starts the journal over from `rows` (the table now) and `source`.
    void begin(const Source &source, const AddressTableModel::Rows &rows, const Prefill &prefill);
    // One change: rows first..first+removed-1 (from 0) gave way to
    // rows.mid(from, count) of `rows` (the table as it stood after it), or
    // an operation.
    struct Step
    {
        int first = 0;
        int removed = 0;
        AddressTableModel::Rows rows;
        int from = 0;
        int count = 0;
        Prefill prefill; // its row counted in `rows`
        int base = 0;    // the table's row of rows[0]
        std::optional<TableOperation> operation; // set: the step is this operation
        quint64 swap = 0; // not 0: the step swaps the rows of operation `swap` back
    };
    // Copies the step's rows (their texts stay shared): the table's own list
    // is never shared with the writer, so that the next change to the table
    // never copies the whole list on the window's thread.
    static Step step(int first, int removed, const AddressTableModel::Rows &rows, int from, int count,
                     const Prefill &prefill);
    static Step step(const TableOperation &operation);
    static Step swapOf(quint64 number);
    // Changes that together lead from one state of the table to the next:
    // written as one record, so that the journal never ends between them.
    void steps(std::vector<Step> group);
    // Ends the journal and removes its file.
    void remove();
    // Waits until everything handed over is on disk (tests, benchmarks).
    void flush();

    bool active() const { return m_active; }
    const QString &path() const { return m_path; }
    // Bytes in the file, and the table's size as a CSV file when it began.
    qint64 fileBytes() const { return m_fileBytes; }
    qint64 csvBytes() const { return m_csvBytes; }
    // The journal has grown past twice the table's size: begin() again.
    bool wantsRestart() const { return m_active && m_fileBytes > 2 * std::max<qint64>(m_csvBytes, 64 * 1024); }

private:
    struct Job
    {
        enum Kind { Begin, Steps, Remove } kind = Begin;
        Source source;
        std::vector<Step> steps; // Begin: one, the whole table
    };
    void run();
    void write(Job &job);

    QString m_path;
    bool m_active = false; // the window's thread's view
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Job> m_jobs;
    quint64 m_queued = 0;
    quint64 m_written = 0;
    bool m_stop = false;
    bool m_hurry = false; // write the queue now
    int m_fd = -1; // the writer's thread's own
    std::atomic<qint64> m_fileBytes{0};
    std::atomic<qint64> m_csvBytes{0};
    std::thread m_thread;
};

} // namespace RecoveryJournal
