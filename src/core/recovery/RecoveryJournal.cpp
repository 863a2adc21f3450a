#include "RecoveryJournal.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <span>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace RecoveryJournal {

namespace {

// 2: rows keep a fifth cell end, kept cells after it; the header the kept
// columns. A journal of the first form (four ends) is still read.
constexpr char Magic[] = "KOTOVEN-JOURNAL-2\n";
constexpr char FirstMagic[] = "KOTOVEN-JOURNAL-1\n";
constexpr qsizetype MagicSize = sizeof Magic - 1;
static_assert(sizeof FirstMagic == sizeof Magic);
// A StepRecord's steps are all rows; a GroupRecord's each begin with their
// kind (0: rows, else an operation's).
enum RecordType : quint8 { HeaderRecord = 1, SnapshotRecord = 2, StepRecord = 3, GroupRecord = 4 };
// Records larger than this are compressed (on the writer's thread).
constexpr qsizetype CompressFrom = 4096;
constexpr quint8 Compressed = 0x80;
// A record no writer makes: a damaged length.
constexpr quint32 RecordLimit = 1U << 30;

quint32 crc32(QByteArrayView bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFU;
    for (const char byte : bytes)
        crc = table[(crc ^ quint8(byte)) & 0xFFU] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFU;
}

void putRows(QDataStream &out, const AddressTableModel::Rows &rows, qsizetype from, qsizetype count,
             const Writer::Prefill &prefill)
{
    out << quint32(count);
    for (qsizetype i = from; i < from + count; ++i) {
        AddressTableModel::Row row = rows[i];
        if (i == prefill.row && row.cell(AddressTableModel::Add) == prefill.text)
            row.setCell(AddressTableModel::Add, {});
        out << row.text.toUtf8();
        if (!row.text.isEmpty())
            for (const quint32 end : row.ends)
                out << end;
    }
}

bool getRows(QDataStream &in, AddressTableModel::Rows &rows, bool firstForm)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > RecordLimit)
        return false;
    // Each row takes at least four bytes: a damaged count asks for no more.
    rows.reserve(qsizetype(std::min<qint64>(count, in.device()->bytesAvailable() / 4)));
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray text;
        in >> text;
        AddressTableModel::Row row;
        row.text = QString::fromUtf8(text);
        if (!row.text.isEmpty()) {
            quint32 last = 0;
            // The first form ends the last cell at the text's end.
            row.ends.back() = quint32(row.text.size());
            for (quint32 &end : std::span<quint32>(row.ends).first(row.ends.size() - (firstForm ? 1 : 0))) {
                in >> end;
                // Cell ends run forward inside the text.
                if (end < last || end > quint32(row.text.size()))
                    return false;
                last = end;
            }
        }
        rows.append(std::move(row));
    }
    return in.status() == QDataStream::Ok;
}

// Rows from..from+count-1 in a list of their own (mid() shares the whole
// list). Each row's text is shared, which writes to its count: the counts
// of rows further on are fetched ahead, so that a copy of a million rows
// does not wait for memory one row at a time.
// A list of many rows the writer is done with, kept with its memory for
// the next copy: a fresh list of a million rows costs more in first
// touches of its pages than in copying.
constexpr qsizetype SpareFrom = 64 * 1024;
struct Spare
{
    std::mutex mutex;
    AddressTableModel::Rows rows;
};
Spare &spare()
{
    static Spare kept;
    return kept;
}

void keepSpare(AddressTableModel::Rows &rows)
{
    if (rows.size() < SpareFrom || !rows.isDetached())
        return;
    rows.clear(); // keeps its memory
    Spare &kept = spare();
    const std::lock_guard lock(kept.mutex);
    if (rows.capacity() > kept.rows.capacity())
        kept.rows.swap(rows);
}

AddressTableModel::Rows copyRows(const AddressTableModel::Rows &rows, qsizetype from, qsizetype count)
{
    constexpr qsizetype Ahead = 24;
    AddressTableModel::Rows own;
    if (count >= SpareFrom) {
        Spare &kept = spare();
        const std::lock_guard lock(kept.mutex);
        if (kept.rows.capacity() >= count)
            own.swap(kept.rows);
    }
    own.reserve(count);
    const AddressTableModel::Row *row = rows.constData() + from;
    for (qsizetype i = 0; i < count; ++i) {
        if (i + Ahead < count) // the count sits just before the characters
            __builtin_prefetch(reinterpret_cast<const char *>(row[i + Ahead].text.constData()) - 16, 1);
        own.append(row[i]);
    }
    return own;
}

void putOperation(QDataStream &out, const TableOperation &op)
{
    out << quint8(op.kind);
    switch (op.kind) {
    case TableOperation::Kind::BlankRows: out << qint32(op.first) << qint32(op.removed) << qint32(op.added); break;
    case TableOperation::Kind::ClearCells:
        out << qint32(op.first) << qint32(op.removed) << qint32(op.left) << qint32(op.right);
        break;
    case TableOperation::Kind::Sort: out << qint32(op.column) << quint8(op.descending ? 1 : 0); break;
    }
}

// An operation of kind `kind`, read and checked against the table's rows.
bool getOperation(QDataStream &in, quint8 kind, qsizetype rows, TableOperation &op)
{
    qint32 a = 0;
    qint32 b = 0;
    qint32 c = 0;
    qint32 d = 0;
    quint8 descending = 0;
    switch (TableOperation::Kind(kind)) {
    case TableOperation::Kind::BlankRows:
        in >> a >> b >> c;
        op = TableOperation::blankRows(a, b, c);
        break;
    case TableOperation::Kind::ClearCells:
        in >> a >> b >> c >> d;
        op = TableOperation::clearCells(a, a + b - 1, c, d);
        break;
    case TableOperation::Kind::Sort:
        in >> a >> descending;
        op = TableOperation::sort(a, descending != 0);
        break;
    default:
        return false;
    }
    return in.status() == QDataStream::Ok && op.fits(rows);
}

// A group's step that swaps an operation's rows back (after the operations'
// kinds).
constexpr quint8 SwapStep = 16;

// What the reader keeps of an operation: the rows it replaced at `first`,
// and how many rows stand there instead, as the history's change does.
struct KeptRows
{
    int first = 0;
    AddressTableModel::Rows other;
    int count = 0;
};

KeptRows keptFor(const TableOperation &op, const AddressTableModel::Rows &rows)
{
    switch (op.kind) {
    case TableOperation::Kind::BlankRows: return {op.first, copyRows(rows, op.first, op.removed), op.added};
    case TableOperation::Kind::ClearCells: return {op.first, copyRows(rows, op.first, op.removed), op.removed};
    case TableOperation::Kind::Sort: return {0, rows, int(rows.size())};
    }
    return {};
}

// The table's size as a CSV file in code page 932, near enough.
qint64 csvSize(const AddressTableModel::Rows &rows)
{
    qint64 size = 0;
    for (const AddressTableModel::Row &row : rows) {
        if (row.text.isEmpty())
            continue;
        size += 12; // quotes, commas, line end
        for (const QChar c : row.text)
            size += c.unicode() < 0x80 ? 1 : 2;
    }
    return size;
}

QByteArray record(RecordType type, QByteArray body)
{
    quint8 kind = type;
    if (body.size() >= CompressFrom) {
        body = qCompress(body, 1);
        kind |= Compressed;
    }
    body.prepend(char(kind));
    return frame(body);
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QString &file)
{
    const int dir = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

QByteArray frame(const QByteArray &payload)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(payload.size()) << crc32(payload);
    bytes += payload;
    return bytes;
}

Recovered read(const QByteArray &bytes)
{
    Recovered result;
    const bool firstForm = bytes.startsWith(QByteArrayView(FirstMagic, MagicSize));
    if (!firstForm && !bytes.startsWith(QByteArrayView(Magic, MagicSize))) {
        result.damaged = !bytes.isEmpty();
        return result;
    }
    qsizetype at = MagicSize;
    bool header = false;
    KeptOperations book;
    std::deque<KeptRows> keptRows; // the book's operations'
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) {
            result.damaged = true;
            break;
        }
        QDataStream head(bytes.mid(at, 8));
        quint32 size = 0;
        quint32 crc = 0;
        head >> size >> crc;
        if (size == 0 || size > RecordLimit || bytes.size() - at - 8 < qsizetype(size)) {
            result.damaged = true;
            break;
        }
        QByteArray payload = bytes.mid(at + 8, size);
        if (crc32(payload) != crc) {
            result.damaged = true;
            break;
        }
        at += 8 + qsizetype(size);
        const auto kind = quint8(payload[0]);
        QByteArray body = payload.mid(1);
        if ((kind & Compressed) != 0)
            body = qUncompress(body);
        QDataStream in(body);
        bool good = true;
        switch (kind & ~Compressed) {
        case HeaderRecord:
            in >> result.source.host >> result.source.pid >> result.source.file >> result.source.size >>
                result.source.modifiedMs >> result.source.hash;
            if (!firstForm)
                in >> result.source.kept;
            good = in.status() == QDataStream::Ok;
            header = good;
            break;
        case SnapshotRecord: {
            AddressTableModel::Rows rows;
            good = header && getRows(in, rows, firstForm);
            if (good) {
                result.rows = std::move(rows);
                result.valid = true;
                result.steps = 0;
                book.clear();
                keptRows.clear();
            }
            break;
        }
        case StepRecord:
        case GroupRecord: {
            // A group applies whole or not at all.
            AddressTableModel::Rows rows = result.rows;
            quint32 count = 0;
            in >> count;
            good = result.valid && in.status() == QDataStream::Ok && count <= RecordLimit;
            for (quint32 i = 0; good && i < count; ++i) {
                quint8 stepKind = 0;
                if ((kind & ~Compressed) == GroupRecord)
                    in >> stepKind;
                if (stepKind == SwapStep) {
                    quint32 number = 0;
                    in >> number;
                    good = in.status() == QDataStream::Ok && book.has(number);
                    if (!good)
                        continue;
                    KeptRows &kept = keptRows[size_t(number - book.first())];
                    good = kept.first + qsizetype(kept.count) <= rows.size();
                    if (good) {
                        AddressTableModel::Rows other = copyRows(rows, kept.first, kept.count);
                        kept.count = int(kept.other.size());
                        rows.remove(kept.first, other.size());
                        rows.insert(kept.first, kept.other.size(), AddressTableModel::Row());
                        std::move(kept.other.begin(), kept.other.end(), rows.begin() + kept.first);
                        kept.other = std::move(other);
                    }
                    continue;
                }
                if (stepKind != 0) {
                    TableOperation op;
                    good = getOperation(in, stepKind, rows.size(), op);
                    if (good) {
                        const qint64 weight = KeptOperations::weight(op, rows.size());
                        keptRows.push_back(keptFor(op, rows));
                        op.apply(rows);
                        book.add(weight);
                        while (keptRows.size() > book.size())
                            keptRows.pop_front();
                    }
                    continue;
                }
                qint32 first = 0;
                qint32 removed = 0;
                AddressTableModel::Rows added;
                in >> first >> removed;
                good = getRows(in, added, firstForm) && first >= 0 && removed >= 0 && first <= rows.size() &&
                       removed <= rows.size() - first;
                if (good) {
                    rows.remove(first, removed);
                    rows.insert(first, added.size(), AddressTableModel::Row());
                    std::move(added.begin(), added.end(), rows.begin() + first);
                }
            }
            if (good) {
                result.rows = std::move(rows);
                ++result.steps;
            }
            break;
        }
        default:
            good = false;
        }
        if (!good) {
            result.damaged = true;
            break;
        }
    }
    return result;
}

Recovered read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return read(file.readAll());
}

bool inUse(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

Writer::Writer(QString path) : m_path(std::move(path)), m_thread([this] { run(); }) {}

Writer::~Writer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

void Writer::begin(const Source &source, const AddressTableModel::Rows &rows, const Prefill &prefill)
{
    m_active = true;
    {
        const std::lock_guard lock(m_mutex);
        Job job{Job::Begin, source, {}};
        // The table's rows, shared: the writer makes its own copy at once
        // and lets go of them, so that the next change on the window's
        // thread finds its list its own again.
        job.steps.push_back({0, 0, rows, 0, int(rows.size()), prefill, 0, {}});
        m_jobs.push_back(std::move(job));
        ++m_queued;
        m_hurry = true;
    }
    m_wake.notify_all();
}

Writer::Step Writer::step(int first, int removed, const AddressTableModel::Rows &rows, int from, int count,
                          const Prefill &prefill)
{
    return {first, removed, copyRows(rows, from, count), 0, count, {prefill.row - from, prefill.text}, from, {}};
}

qint64 KeptOperations::weight(const TableOperation &op, qsizetype rows)
{
    switch (op.kind) {
    case TableOperation::Kind::BlankRows: return std::max(op.removed, op.added);
    case TableOperation::Kind::ClearCells: return op.removed;
    case TableOperation::Kind::Sort: return rows;
    }
    return 0;
}

quint64 KeptOperations::add(qint64 weight)
{
    m_weights.push_back(weight);
    m_total += weight;
    const quint64 number = m_first + m_weights.size() - 1;
    while (!m_weights.empty() && (m_weights.size() > KeptCount || m_total > KeptRows)) {
        m_total -= m_weights.front();
        m_weights.pop_front();
        ++m_first;
    }
    return number;
}

Writer::Step Writer::swapOf(quint64 number)
{
    Step made;
    made.swap = number;
    return made;
}

Writer::Step Writer::step(const TableOperation &operation)
{
    Step made;
    made.operation = operation;
    return made;
}

void Writer::steps(std::vector<Step> group)
{
    if (!m_active || group.empty())
        return;
    const std::lock_guard lock(m_mutex);
    m_jobs.push_back({Job::Steps, {}, std::move(group)});
    ++m_queued;
}

void Writer::remove()
{
    m_active = false;
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Remove, {}, {}});
        ++m_queued;
        m_hurry = true;
    }
    m_wake.notify_all();
}

void Writer::flush()
{
    std::unique_lock lock(m_mutex);
    m_hurry = true;
    m_wake.notify_all();
    m_done.wait(lock, [this] { return m_written == m_queued; });
}

void Writer::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A batch at most SyncMs after its first step, sooner when asked.
        m_wake.wait_for(lock, std::chrono::milliseconds(SyncMs), [this] { return m_stop || m_hurry; });
        m_hurry = false;
        std::deque<Job> jobs;
        jobs.swap(m_jobs);
        const bool stop = m_stop;
        lock.unlock();
        for (Job &job : jobs)
            if (job.kind == Job::Begin)
                for (Step &table : job.steps)
                    table.rows = copyRows(table.rows, 0, table.rows.size());
        bool wrote = false;
        for (Job &job : jobs) {
            write(job);
            wrote = wrote || job.kind == Job::Steps;
        }
        if (wrote && m_fd >= 0)
            ::fdatasync(m_fd);
        jobs.clear(); // the shared rows go before the table changes again
        lock.lock();
        m_written = m_queued - m_jobs.size();
        m_done.notify_all();
        if (stop && m_jobs.empty())
            return;
    }
}

void Writer::write(Job &job)
{
    switch (job.kind) {
    case Job::Begin: {
        // A new file beside the old one, made whole and synced, then put in
        // its place.
        const QString fresh = m_path + u".new"_qs;
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        const int fd = ::open(QFile::encodeName(fresh).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        ::flock(fd, LOCK_EX);
        QByteArray header;
        QDataStream out(&header, QIODevice::WriteOnly);
        out << job.source.host << job.source.pid << job.source.file << job.source.size << job.source.modifiedMs
            << job.source.hash << job.source.kept;
        QByteArray snapshot;
        QDataStream rows(&snapshot, QIODevice::WriteOnly);
        Step &table = job.steps.front();
        putRows(rows, table.rows, 0, table.rows.size(), table.prefill);
        m_csvBytes = csvSize(table.rows);
        keepSpare(table.rows);
        job.steps.clear();
        const QByteArray bytes =
            QByteArray(Magic, MagicSize) + record(HeaderRecord, header) + record(SnapshotRecord, snapshot);
        if (!writeAll(fd, bytes) || ::fsync(fd) != 0 || ::rename(QFile::encodeName(fresh).constData(),
                                                                 QFile::encodeName(m_path).constData()) != 0) {
            ::close(fd);
            ::unlink(QFile::encodeName(fresh).constData());
            return;
        }
        syncFolder(m_path);
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
        m_fileBytes = bytes.size();
        return;
    }
    case Job::Steps: {
        if (m_fd < 0)
            return;
        QByteArray body;
        QDataStream out(&body, QIODevice::WriteOnly);
        out << quint32(job.steps.size());
        for (Step &step : job.steps) {
            if (step.operation) {
                putOperation(out, *step.operation);
                continue;
            }
            if (step.swap != 0) {
                out << SwapStep << quint32(step.swap);
                continue;
            }
            out << quint8(0) << qint32(step.first) << qint32(step.removed);
            putRows(out, step.rows, step.from, step.count, step.prefill);
            keepSpare(step.rows);
        }
        job.steps.clear();
        const QByteArray bytes = record(GroupRecord, body);
        if (writeAll(m_fd, bytes))
            m_fileBytes += bytes.size();
        return;
    }
    case Job::Remove:
        if (m_fd >= 0) {
            ::unlink(QFile::encodeName(m_path).constData());
            ::close(m_fd);
            m_fd = -1;
        }
        m_fileBytes = 0;
        return;
    }
}

} // namespace RecoveryJournal
