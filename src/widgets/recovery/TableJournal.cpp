#include "TableJournal.h"

#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/exchange/DelimitedText.h"
#include "core/exchange/ExportRows.h"
#include "core/grid/KeptColumns.h"
#include "core/table/CsvWriter.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStatusBar>
#include <QSysInfo>
#include <QTimer>

namespace {

const QString Question = QStringLiteral("前回、保存されずに終了した変更があります。復元しますか");
const QString Kept = QStringLiteral("復元しなかった変更を次のファイルに残しました\r%1");
const QString KeepFailed = QStringLiteral("復元しなかった変更を %1 に残せませんでした\r%2");
const QString FileChanged =
    QStringLiteral("変更を復元しました。%1 はその後変更されているため、上書き保存では名前を尋ねます");
const QString Restored = QStringLiteral("変更を復元しました");
constexpr int NoticeMs = 5000;
const QString Suffix = QStringLiteral(".journal");

} // namespace

TableJournal::TableJournal(AddressTable &table, Desktop &desktop, QStatusBar &status)
    : m_table(table), m_desktop(desktop), m_status(status)
{
    AddressTableModel *model = m_table.grid().table();
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        const int count = to.row() - from.row() + 1;
        changed(from.row(), count, from.row(), count);
    });
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { changed(first, 0, first, last - first + 1); });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { changed(first, last - first + 1, first, 0); });
    // An operation's changes to the model are the operation: its rows give
    // way to it.
    connect(&m_table.history(), &TableHistory::operationBegins, this, [this] { m_operating = true; });
    connect(&m_table.history(), &TableHistory::operated, this, [this](const TableOperation &operation, quint64 &tag) {
        m_operating = false;
        if (!m_writer || !m_writer->active())
            return;
        m_pending.push_back(RecoveryJournal::Writer::step(operation));
        const qint64 weight = RecoveryJournal::KeptOperations::weight(operation, m_table.grid().table()->rowCount());
        tag = (m_generation << 32) | m_kept.add(weight);
    });
    // Undoing or redoing an operation the reader still keeps is a step by
    // its number.
    connect(&m_table.history(), &TableHistory::replaying, this, [this](quint64 tag, bool &taken) {
        taken = m_writer && m_writer->active() && tag >> 32 == m_generation && m_kept.has(tag & 0xFFFFFFFFU);
        m_operating = taken;
    });
    connect(&m_table.history(), &TableHistory::replayed, this, [this](quint64 tag) {
        m_operating = false;
        m_pending.push_back(RecoveryJournal::Writer::swapOf(tag & 0xFFFFFFFFU));
    });
    // A whole new table (a file read): the journal starts over, if it is kept.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_pending.clear();
        if (m_writer && m_writer->active())
            m_writer->remove();
        changed(0, 0, 0, 0);
    });
}

TableJournal::~TableJournal() = default;

void TableJournal::enable(const QString &folder)
{
    m_folder = folder;
    QDir().mkpath(folder);
    m_writer = std::make_unique<RecoveryJournal::Writer>(
        QDir(folder).filePath(QString::number(QCoreApplication::applicationPid()) + Suffix));
    m_timer = new QTimer(this);
    m_timer->setInterval(CheckMs);
    connect(m_timer, &QTimer::timeout, this, &TableJournal::check);
    m_timer->start();
}

void TableJournal::changed(int first, int removed, int from, int count)
{
    if (!m_writer)
        return;
    const TableState &state = m_table.state();
    if (m_writer->active() && !m_operating)
        m_pending.push_back(RecoveryJournal::Writer::step(first, removed, m_table.grid().table()->rows(), from,
                                                          count, {state.PrefillRow - 1, state.PrefillText}));
    // Whether the table is unsaved is known once the command has ended.
    if (!std::exchange(m_checkQueued, true))
        QTimer::singleShot(0, this, &TableJournal::check);
}

void TableJournal::check()
{
    m_checkQueued = false;
    if (!m_writer)
        return;
    const TableState &state = m_table.state();
    const AddressTableModel::Rows &rows = m_table.grid().table()->rows();
    const RecoveryJournal::Writer::Prefill prefill{state.PrefillRow - 1, state.PrefillText};
    // The changes of one command (or one typed cell) go to the writer as
    // one group, without the pre-fill the command has left.
    for (RecoveryJournal::Writer::Step &step : m_pending)
        step.prefill = {state.PrefillRow - 1 - step.base, state.PrefillText};
    m_writer->steps(std::exchange(m_pending, {}));
    // Kept columns no 書き出し has written are unsaved even in a saved table.
    if (!state.Dirty && !m_table.keptUnwritten()) {
        if (m_writer->active())
            m_writer->remove();
        return;
    }
    FileIdentity file = sourceFile ? sourceFile() : FileIdentity();
    if (file.isNull() || file.path() != state.CurrentFile)
        file = {};
    // A save after which the table stays changed: the journal starts again
    // from the file as saved.
    const bool saved = file.bytesHash() != m_sourceHash || file.path() != m_sourcePath;
    if (!m_writer->active() || m_writer->wantsRestart() || saved) {
        m_sourceHash = file.bytesHash();
        m_sourcePath = file.path();
        RecoveryJournal::Source source;
        source.host = QSysInfo::machineHostName();
        source.pid = QCoreApplication::applicationPid();
        if (state.Kept.any())
            source.kept = state.Kept.toText();
        if (!file.isNull()) {
            source.file = file.path();
            source.size = file.size();
            source.modifiedMs = file.modified().toMSecsSinceEpoch();
            source.hash = file.bytesHash();
        }
        m_writer->begin(source, rows, prefill);
        m_kept.clear();
        ++m_generation;
    } else if (m_prefillRow != state.PrefillRow && m_prefillRow > 0 && m_prefillRow <= rows.size()) {
        // A pre-fill left out of the journal became the row's content.
        m_writer->steps({RecoveryJournal::Writer::step(m_prefillRow - 1, 1, rows, m_prefillRow - 1, 1, prefill)});
    }
    m_prefillRow = state.PrefillRow;
}

void TableJournal::closeNormally()
{
    if (m_writer && m_writer->active())
        m_writer->remove();
    m_writer.reset(); // waits for the removal
}

QString TableJournal::keptFolder() { return Program().UserDataFolder + u"recovery"_qs; }

void TableJournal::offerRestore()
{
    if (m_folder.isEmpty())
        return;
    const QString own = m_writer ? m_writer->path() : QString();
    QFileInfoList journals = QDir(m_folder).entryInfoList({u"*"_qs + Suffix}, QDir::Files, QDir::Time);
    for (const QFileInfo &info : journals) {
        const QString path = info.absoluteFilePath();
        if (path == QFileInfo(own).absoluteFilePath() || RecoveryJournal::inUse(path))
            continue;
        RecoveryJournal::Recovered recovered = RecoveryJournal::read(path);
        // A journal cut before its snapshot holds nothing to give back.
        if (!recovered.valid) {
            QFile::remove(path);
            continue;
        }
        if (m_desktop.ask(Question, Desktop::Buttons::YesNo) == Desktop::Answer::Yes)
            restore(path, std::move(recovered));
        else
            keep(path, recovered);
    }
}

void TableJournal::restore(const QString &journal, RecoveryJournal::Recovered recovered)
{
    const RecoveryJournal::Source &source = recovered.source;
    m_table.quietly([&] {
        m_table.grid().table()->replaceRows(std::move(recovered.rows));
        m_table.state().Kept = KeptColumns::fromText(source.kept).value_or(KeptColumns());
        m_table.state().ExportedAt.reset();
        m_table.state().PrefillRow = 0;
        if (m_table.grid().RowCount() == 0)
            m_table.grid().SetRowCount(1);
    });
    m_table.history().startOver(false);
    // The file comes back as the one 上書き保存 writes only when it still
    // holds what the changes were made to.
    FileIdentity file;
    if (!source.file.isEmpty()) {
        QFile bytes(source.file);
        if (bytes.open(QIODevice::ReadOnly)) {
            const QByteArray hash = FileIdentity::hash(bytes.readAll());
            if (hash == source.hash && bytes.size() == source.size)
                file = FileIdentity::of(source.file, hash);
        }
    }
    m_table.state().CurrentFile = file.isNull() ? QString() : source.file;
    if (!file.isNull() && adoptFile)
        adoptFile(source.file, file);
    m_status.showMessage(source.file.isEmpty() || !file.isNull() ? Restored : FileChanged.arg(source.file),
                         NoticeMs);
    QFile::remove(journal);
    check();
}

void TableJournal::keep(const QString &journal, const RecoveryJournal::Recovered &recovered)
{
    const QString folder = keptFolder();
    // Several journals declined at once each keep a file of their own.
    const QString stem = QDir(folder).filePath(
        u"kotoven-"_qs + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss-zzz"_qs));
    QString name = stem + u".csv"_qs;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + u'-' + QString::number(n) + u".csv"_qs;
    // UTF-8 with a byte-order mark: nothing is lost to code page 932. A list
    // taken in whose rows keep other columns goes out as 書き出し writes it
    // (its own header and layout, for 取り込み); otherwise as 開く reads it.
    std::optional<QByteArray> bytes;
    const KeptColumns columns = KeptColumns::fromText(recovered.source.kept).value_or(KeptColumns());
    if (columns.any()) {
        bytes = DelimitedText::write(exportRows(recovered.rows, columns), u',', DelimitedText::Encoding::Utf8Bom).bytes;
    } else if (const std::optional<QString> text = CsvWriter::text(recovered.rows)) {
        bytes = "\xEF\xBB\xBF" + text->toUtf8();
    }
    QSaveFile file(name);
    const bool kept = QDir().mkpath(folder) && bytes && file.open(QIODevice::WriteOnly)
                      && file.write(*bytes) == bytes->size() && file.commit();
    if (!kept) {
        m_desktop.message(KeepFailed.arg(name, file.errorString()));
        return; // the journal stays for the next start
    }
    m_desktop.message(Kept.arg(name));
    QFile::remove(journal);
}
