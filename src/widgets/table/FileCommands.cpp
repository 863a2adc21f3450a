#include "FileCommands.h"

#include "core/app/FileNames.h"
#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/TextFile.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"
#include "core/table/CsvReader.h"
#include "core/table/CsvWriter.h"
#include "core/table/TableClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>

namespace {

const QString OpenQuestion = QStringLiteral("現在のﾃﾞｰﾀｰを更新しますか");
const QString ReplaceQuestion = QStringLiteral("%1 は既にあります\r置き換えますか");
const QString CloseQuestion = QStringLiteral("現在のﾃﾞｰﾀｰを保存しますか");
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

// The wait cursor for the whole of a load or save, and a progress dialog with
// a cancel button once it has run longer than the delay.
class Busy final
{
public:
    Busy(QWidget *window, const QString &label, int delayMs) : m_window(window), m_label(label), m_delayMs(delayMs)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_clock.start();
    }
    ~Busy()
    {
        delete m_dialog;
        QApplication::restoreOverrideCursor();
    }
    Q_DISABLE_COPY_MOVE(Busy)

    // Share of the whole in thousandths; false once the person cancelled.
    bool step(qint64 done, qint64 total)
    {
        if (!m_dialog) {
            if (m_clock.elapsed() < m_delayMs)
                return true;
            m_dialog = new QProgressDialog(m_label, QString(), 0, 1000, m_window);
            m_dialog->setCancelButtonText(QProgressDialog::tr("Cancel"));
            m_dialog->setWindowTitle(Program().title());
            m_dialog->setWindowModality(Qt::WindowModal);
            m_dialog->setMinimumDuration(0);
            m_dialog->setAutoClose(false);
            m_dialog->setAutoReset(false);
            m_dialog->show();
        }
        // Lets the dialog paint and take its cancel click.
        m_dialog->setValue(int(total > 0 ? done * 1000 / total : 0));
        QCoreApplication::processEvents();
        return !m_dialog->wasCanceled();
    }

    Csv::Progress progress(double from, double to)
    {
        return Csv::stage([this](qint64 done, qint64 total) { return step(done, total); }, from, to);
    }

private:
    QWidget *m_window;
    QString m_label;
    int m_delayMs;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog; // owned here although parented to the window
};

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
    if (!mayReplaceTable())
        return;
    const QString name = chooseCsvFile(m_desktop, Desktop::FileMode::Open, m_lastFileName);
    if (!name.isEmpty())
        openChosen(name);
}

void FileCommands::OpenFile(const QString &path)
{
    if (path.isEmpty() || !mayReplaceTable())
        return;
    m_lastFileName = path; // the dialog offers it next time
    openChosen(path);
}

bool FileCommands::mayReplaceTable()
{
    m_table.grid().CommitEdit();
    return !m_table.state().Dirty || m_desktop.ask(OpenQuestion, Desktop::Buttons::YesNo) == Desktop::Answer::Yes;
}

void FileCommands::openChosen(const QString &chosen)
{
    // A typed name without its extension means the CSV file of that name.
    const QString name = FileNames::openName(chosen, [](const QString &file) { return QFileInfo::exists(file); });
    // A name that does not exist yet is taken as it stands: the next Save
    // creates the file.
    if (!QFileInfo::exists(name)) {
        m_table.state().CurrentFile = name;
        return;
    }
    switch (LoadCsv(name)) {
    case LoadResult::Loaded:
        m_table.state().CurrentFile = name;
        break;
    case LoadResult::BadFormat:
    case LoadResult::Doubtful:
        // A partly or doubtfully loaded table must not replace any file by a plain Save.
        m_table.state().CurrentFile.clear();
        break;
    case LoadResult::NotLoaded:
        break;
    }
}

FileCommands::LoadResult FileCommands::LoadCsv(const QString &path)
{
    EnsureFileSystem();
    CsvReader::Result result;
    {
        Busy busy(&m_window, Loading, progressDelayMs);
        result = CsvReader::read(path, busy.progress(0.0, 1.0));
        if (result.status == CsvReader::Result::Status::Loaded
            || result.status == CsvReader::Result::Status::BadFormat)
            m_table.quietly([&] {
                m_table.grid().table()->replaceRows(std::move(result.rows));
                m_table.state().PrefillRow = 0;
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
        // Cells that may stand in the wrong column must not go back over the
        // file unasked.
        if (result.shiftedLine >= 0) {
            desktop.message(path + Shifted.arg(result.shiftedLine + 1));
            outcome = LoadResult::Doubtful;
        }
        break;
    }
    if (result.undecodableCount > 0)
        desktop.message(path + Undecodable.arg(result.undecodableLine));
    return outcome;
}

bool FileCommands::SaveCsv(bool askName)
{
    Desktop &desktop = m_desktop;
    TableState &state = m_table.state();
    m_table.grid().CommitEdit();
    // With no current file, Save asks for a name as Save As does.
    QString name = state.CurrentFile;
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

    Busy busy(&m_window, Saving, progressDelayMs);
    std::optional<CsvWriter::Encoded> encoded = CsvWriter::encode(m_table.grid().table()->rows(), busy.progress(0.0, 0.5));
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
    m_table.history().markSaved();
    return true;
}

void FileCommands::CopyTable()
{
    m_table.grid().CommitEdit();
    const QString all = TableClipboard::text(m_table.grid().table()->rows());
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
    if (!m_table.state().Dirty)
        return true;
    switch (m_desktop.ask(CloseQuestion, Desktop::Buttons::YesNoCancel)) {
    case Desktop::Answer::Yes:
        return SaveCsv(false); // a cancelled or failed save keeps the window open
    case Desktop::Answer::No:
        return true;
    default:
        return false;
    }
}
