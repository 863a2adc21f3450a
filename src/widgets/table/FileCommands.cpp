#include "FileCommands.h"

#include "core/app/FileNames.h"
#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/TextFile.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/BusyProgress.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"
#include "core/table/CsvReader.h"
#include "core/table/CsvWriter.h"
#include "core/table/ReadVerdict.h"
#include "core/table/TableClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QStatusBar>

namespace {

const QString OpenQuestion = QStringLiteral("現在のﾃﾞｰﾀｰを更新しますか");
const QString ReplaceQuestion = QStringLiteral("%1 は既にあります\r置き換えますか");
const QString CloseQuestion = QStringLiteral("現在のﾃﾞｰﾀｰを保存しますか");
const QString KeptNotSaved = QStringLiteral("。取り込んだほかの列は書き出しでだけ保存されます");
const QString BadFormat = QStringLiteral(" の形式が不正です");
const QString BadLine = QStringLiteral("%1 行目を読み込めません");
const QString Copied = QStringLiteral("表の内容をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました");
const QString ReadFailed = QStringLiteral("読み込めませんでした\r");
const QString SaveFailed = QStringLiteral("保存できませんでした\r");
const QString Undecodable = QStringLiteral(" の %1 行目などに読み込めない文字があります");
const QString Shifted = QStringLiteral(" の %1 行目などは列がずれているかもしれません");
const QString Unmappable = QStringLiteral("%1 行目 %2 列目など %3 文字はﾌｧｲﾙに保存できない文字です\r"
                                          "? に置き換えて保存しますか");
const QString Loading = QStringLiteral("読み込んでいます");
const QString Saving = QStringLiteral("保存しています");
const QString SaveAndOpen = QStringLiteral("保存して開く");
const QString OpenWithoutSaving = QStringLiteral("保存せずに開く");
const QString CancelButton = QStringLiteral("キャンセル");
const QString ChangedBeforeSave = QStringLiteral("%1 は開いた後で他のプログラムによって変更されています");
const QString ChangedOnDisk = QStringLiteral("%1 は他のプログラムによって変更されています\r読み込み直しますか");
const QString SaveButton = QStringLiteral("上書き保存");
const QString SaveAsButton = QStringLiteral("名を付けて保存");
const QString Loaded = QStringLiteral("%1 行を読み込みました");
const QString LoadedUtf8 = QStringLiteral("%1 行を読み込みました (UTF-8)");
const QString Saved = QStringLiteral("保存しました (%1 行)");
constexpr int NoticeMs = 5000;

// The one file dialog of Open and Save As; it offers the name chosen last.
QString chooseCsvFile(Desktop &desktop, Desktop::FileMode mode, QString &lastName)
{
    Desktop::FileRequest request;
    request.mode = mode;
    // The executable's own name: a trailing "_dv" stays here.
    request.title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    request.folder = Program().UserDataFolder;
    request.startName = lastName;
    request.filter = QStringLiteral("CSVﾃｷｽﾄﾌｧｲﾙ (*.csv)");
    QString name = desktop.chooseFile(request);
    if (!name.isEmpty())
        lastName = name;
    return name;
}

} // namespace

void FileCommands::mnFile_Click(int index)
{
    switch (index) {
    case 0: OpenCsv(); break;
    case 1: SaveCsv(false); break;
    case 2: SaveCsv(true); break;
    case 4: CopyTable(); break;
    default: break;
    }
}

// Text being typed into a cell belongs to the table before it is saved,
// copied or replaced: every command commits it first.
void FileCommands::OpenCsv()
{
    // A link copied meanwhile goes into the table that is there afterwards.
    AddressTable::FileCommandScope hold(m_table);
    if (!mayReplaceTable())
        return;
    const QString name = chooseCsvFile(m_desktop, Desktop::FileMode::Open, m_lastFileName);
    if (!name.isEmpty())
        openChosen(name);
}

void FileCommands::OpenFile(const QString &path)
{
    AddressTable::FileCommandScope hold(m_table);
    if (path.isEmpty() || !mayReplaceTable())
        return;
    m_lastFileName = path; // the dialog offers it next time
    openChosen(path);
}

bool FileCommands::mayReplaceTable()
{
    m_table.grid().CommitEdit();
    const bool dirty = m_table.state().Dirty;
    if (!dirty && !m_table.keptUnwritten())
        return true;
    // The buttons say what they do; a cancelled or failed save opens nothing.
    switch (m_desktop.choose(OpenQuestion, {SaveAndOpen, OpenWithoutSaving, CancelButton})) {
    case 0: return saveAll(dirty);
    case 1: return true;
    default: return false;
    }
}

bool FileCommands::saveAll(bool dirty)
{
    if (dirty && !SaveCsv(false))
        return false;
    // Kept columns of a list taken in are saved by 書き出し alone.
    return !m_table.keptUnwritten() || (exportKept && exportKept());
}

void FileCommands::forgetFile()
{
    m_table.state().CurrentFile.clear();
    m_identity = {};
    m_declinedSize = -1;
}

void FileCommands::openChosen(const QString &chosen)
{
    // A typed name without its extension means the CSV file of that name.
    const QString name = FileNames::openName(chosen, [](const QString &file) { return QFileInfo::exists(file); });
    // A name that does not exist yet is taken as it stands: the next Save
    // creates the file.
    if (!QFileInfo::exists(name)) {
        m_table.state().CurrentFile = name;
        m_table.state().ReadAsUtf8 = false;
        m_identity = {};
        return;
    }
    switch (LoadCsv(name)) {
    case LoadResult::Loaded:
        m_table.state().CurrentFile = name;
        break;
    case LoadResult::BadFormat:
    case LoadResult::Unfaithful:
        // A partly loaded table must not replace any file by a plain Save.
        m_table.state().CurrentFile.clear();
        break;
    case LoadResult::NotLoaded:
        break;
    }
}

FileCommands::LoadResult FileCommands::LoadCsv(const QString &path)
{
    EnsureFileSystem();
    AddressTable::FileCommandScope hold(m_table);
    CsvReader::Result result;
    bool faithful = false;
    {
        BusyProgress busy(&m_window, Loading, progressDelayMs);
        result = CsvReader::read(path, busy.progress(0.0, 1.0));
        faithful = ReadVerdict::writableBack(result);
        if (result.status == CsvReader::Result::Status::Loaded
            || result.status == CsvReader::Result::Status::BadFormat)
            m_table.quietly([&] {
                m_table.grid().table()->replaceRows(std::move(result.rows));
                m_table.state().Kept = {}; // a CSV file keeps no other columns
                m_table.state().PrefillRow = 0;
                m_table.state().ReadAsUtf8 = result.encoding == CsvReader::Result::Encoding::Utf8;
                // An empty file still leaves a row to type into.
                if (m_table.grid().RowCount() == 0)
                    m_table.grid().SetRowCount(1);
            });
        // A new history; the table is the file only when it was read whole.
        if (result.status == CsvReader::Result::Status::Loaded
            || result.status == CsvReader::Result::Status::BadFormat)
            m_table.history().startOver(result.status == CsvReader::Result::Status::Loaded);
    }

    Desktop &desktop = m_desktop;
    LoadResult outcome = LoadResult::Loaded;
    switch (result.status) {
    case CsvReader::Result::Status::Cancelled:
        return LoadResult::NotLoaded;
    case CsvReader::Result::Status::Unreadable:
        desktop.message(ReadFailed + result.error);
        return LoadResult::NotLoaded;
    case CsvReader::Result::Status::BadFormat:
        desktop.message(path + BadFormat + u'\r' + BadLine.arg(result.badLine + 1));
        outcome = LoadResult::BadFormat;
        break;
    case CsvReader::Result::Status::Loaded:
        m_table.setBlock(0, 0);
        // Cells that may stand in the wrong column: the verdict keeps them
        // from going back over the file unasked.
        if (result.shiftedLine >= 0)
            desktop.message(path + Shifted.arg(result.shiftedLine + 1));
        break;
    }
    m_identity = faithful ? FileIdentity::of(path, result.hash) : FileIdentity();
    m_declinedSize = -1;
    const qsizetype records = ReadVerdict::records(m_table.grid().table()->rows());
    m_status.showMessage((result.encoding == CsvReader::Result::Encoding::Utf8 ? LoadedUtf8 : Loaded).arg(records),
                         NoticeMs);
    if (result.undecodableCount > 0)
        desktop.message(path + Undecodable.arg(result.undecodableLine));
    if (outcome == LoadResult::Loaded && !faithful)
        outcome = LoadResult::Unfaithful;
    return outcome;
}

bool FileCommands::SaveCsv(bool askName)
{
    Desktop &desktop = m_desktop;
    TableState &state = m_table.state();
    // Nothing else may change the table while its questions or its progress
    // are open: the state written is the one marked saved.
    AddressTable::FileCommandScope hold(m_table);
    m_table.grid().CommitEdit();
    // With no current file, Save asks for a name as Save As does.
    QString name = state.CurrentFile;
    if (!askName && !name.isEmpty() && !mayOverwrite(name, askName))
        return false;
    if (askName || name.isEmpty()) {
        // The dialog neither adds the extension nor asks before replacing.
        name = FileNames::withCsvExtension(chooseCsvFile(desktop, Desktop::FileMode::Save, m_lastFileName));
        if (name.isEmpty())
            return false;
        m_lastFileName = name;
        if (QFileInfo::exists(name)
            && desktop.ask(ReplaceQuestion.arg(name), Desktop::Buttons::YesNo) != Desktop::Answer::Yes)
            return false;
    }
    EnsureFileSystem();

    BusyProgress busy(&m_window, Saving, progressDelayMs);
    const quint64 taken = m_table.history().position();
    const AddressTableModel::Rows content = m_table.content();
    std::optional<CsvWriter::Encoded> encoded = CsvWriter::encode(content, busy.progress(0.0, 0.5));
    if (!encoded)
        return false;
    if (encoded->unmappableCount > 0) {
        const CsvWriter::Cell cell = encoded->firstUnmappable;
        const QString question = Unmappable.arg(cell.row + 1).arg(cell.column + 1).arg(encoded->unmappableCount);
        if (desktop.ask(question, Desktop::Buttons::YesNo) != Desktop::Answer::Yes)
            return false;
    }
    if (!busy.step(500, 1000))
        return false;
    const CsvWriter::Result written = CsvWriter::write(name, encoded->bytes, busy.progress(0.5, 1.0));
    switch (written.status) {
    case CsvWriter::Result::Status::Cancelled:
        return false;
    case CsvWriter::Result::Status::Failed:
        desktop.message(SaveFailed + written.error);
        return false;
    case CsvWriter::Result::Status::Written:
        break;
    }
    state.CurrentFile = name;
    state.ReadAsUtf8 = false; // written in code page 932
    m_identity = FileIdentity::of(name, FileIdentity::hash(encoded->bytes));
    m_declinedSize = -1;
    m_table.history().markSaved(taken);
    m_status.showMessage(Saved.arg(ReadVerdict::records(content)) + (m_table.keptUnwritten() ? KeptNotSaved : QString()),
                         NoticeMs);
    return true;
}

bool FileCommands::mayOverwrite(const QString &name, bool &askName)
{
    // A file deleted meanwhile is simply written again.
    if (m_identity.path() != name || m_identity.check() != FileIdentity::State::Changed)
        return true;
    switch (m_desktop.choose(ChangedBeforeSave.arg(name), {SaveButton, SaveAsButton, CancelButton})) {
    case 0: return true;
    case 1: askName = true; return true;
    default: return false;
    }
}

void FileCommands::CheckFileOnDisk()
{
    const QString name = m_table.state().CurrentFile;
    if (m_checking || name.isEmpty() || m_identity.path() != name || m_table.state().Dirty)
        return;
    if (m_identity.check() != FileIdentity::State::Changed)
        return;
    // Once per change: the same change declined is not asked about again.
    const QFileInfo now(name);
    if (now.size() == m_declinedSize && now.lastModified().toUTC() == m_declinedTime)
        return;
    m_checking = true;
    AddressTable::FileCommandScope hold(m_table);
    const bool reload = m_desktop.ask(ChangedOnDisk.arg(name), Desktop::Buttons::YesNo) == Desktop::Answer::Yes;
    m_checking = false;
    if (!reload) {
        m_declinedSize = now.size();
        m_declinedTime = now.lastModified().toUTC();
        return;
    }
    // A change made while it was asked keeps the table.
    if (!m_table.state().Dirty)
        openChosen(name);
}

void FileCommands::CopyTable()
{
    m_table.grid().CommitEdit();
    const QString all = TableClipboard::text(m_table.content());
    if (all.isEmpty())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(all, QClipboard::Clipboard);
    m_desktop.message(Copied);
}

bool FileCommands::ConfirmClose()
{
    m_table.grid().CommitEdit();
    // A link copied while the question or the save was open is taken once
    // they are over, and asked about again.
    // Columns kept from a list taken in are asked about too, even after a
    // save: only 書き出し keeps them.
    while (m_table.state().Dirty || m_table.keptUnwritten()) {
        AddressTable::FileCommandScope hold(m_table);
        switch (m_desktop.ask(CloseQuestion, Desktop::Buttons::YesNoCancel)) {
        case Desktop::Answer::Yes:
            // A cancelled or failed save keeps the window open.
            if (!saveAll(m_table.state().Dirty))
                return false;
            break;
        case Desktop::Answer::No:
            return true;
        default:
            return false;
        }
    }
    return true;
}
