#include "ExchangeCommands.h"

#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/TextFile.h"
#include "core/exchange/ColumnMapping.h"
#include "core/exchange/DelimitedText.h"
#include "core/exchange/ExportRows.h"
#include "core/exchange/XlsReader.h"
#include "core/exchange/XlsxReader.h"
#include "core/exchange/XlsxWriter.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/BusyProgress.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>

#include <algorithm>

namespace {

const QString ReadFailed = QStringLiteral("読み込めませんでした\r");
const QString WriteFailed = QStringLiteral("書き出せませんでした\r");
const QString ReplaceQuestion = QStringLiteral("%1 は既にあります\r置き換えますか");
const QString Unmappable = QStringLiteral("%1 行目 %2 列目など %3 文字はﾌｧｲﾙに保存できない文字です\r"
                                          "? に置き換えて保存しますか");
const QString Imported = QStringLiteral("%1 行を取り込みました");
const QString Repaired = QStringLiteral(" (数値になっていた郵便番号 %1 件、電話番号 %2 件を直しました)");
const QString Exported = QStringLiteral("書き出しました (%1 行)");
const QString KeptNotice = QStringLiteral("。ほかの %1 列は表に出さずに保持し、書き出しで元の位置に戻します");
const QString NothingMapped = QStringLiteral("取り込む列がありません");
const QString CheckSheetQuestion = QStringLiteral("一括チェックの結果も「チェック結果」シートに書き出しますか");
const QString CheckSheetName = QStringLiteral("チェック結果");
const QString EncodingQuestion = QStringLiteral("%1 の文字コードを選んでください");
const QString Importing = QStringLiteral("取り込んでいます");
constexpr int NoticeMs = 5000;
// Rows between two looks at the progress dialog.
constexpr qint64 ProgressRows = 4096;

QString dialogTitle()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

// The first sheet holding anything (0 when none does).
int firstFilledSheet(const QByteArray &bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        bool filled = false;
        XlsxReader::readRows(bytes, i, [&filled](const QStringList &cells) {
            for (const QString &cell : cells)
                filled = filled || !cell.isEmpty();
            return !filled;
        });
        if (filled)
            return i;
    }
    return 0;
}

// Rows of a workbook the guess and the dialog's preview look at; the whole
// sheet is read only once the mapping is chosen.
constexpr qsizetype SampleRows = 200;

} // namespace

void ExchangeCommands::mnFile_Click(int index)
{
    if (index == 7)
        ImportList();
    else if (index == 8)
        ExportList();
}

bool ExchangeCommands::isWorkbook(const QString &path)
{
    return suffixOf(path) == u"xlsx" || suffixOf(path) == u"xls";
}

std::vector<QStringList> ExchangeCommands::modelRows(const QAbstractItemModel &model)
{
    std::vector<QStringList> rows;
    if (model.rowCount() == 0)
        return rows;
    QStringList header;
    for (int c = 0; c < model.columnCount(); ++c)
        header.append(model.headerData(c, Qt::Horizontal).toString());
    rows.push_back(header);
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model.columnCount(); ++c)
            row.append(model.index(r, c).data().toString());
        rows.push_back(row);
    }
    return rows;
}

void ExchangeCommands::ImportList()
{
    AddressTable::FileCommandScope hold(m_table);
    if (!m_files.mayReplaceTable())
        return;
    Desktop::FileRequest request;
    request.mode = Desktop::FileMode::Open;
    request.title = dialogTitle();
    request.folder = Program().UserDataFolder;
    request.startName = m_lastImport;
    request.filter = QStringLiteral("取り込めるﾌｧｲﾙ (*.xlsx *.xls *.csv *.tsv *.txt);;Excel ブック (*.xlsx *.xls);;"
                                    "CSV/TSV ﾌｧｲﾙ (*.csv *.tsv *.txt);;すべてのﾌｧｲﾙ (*)");
    const QString path = m_desktop.chooseFile(request);
    if (path.isEmpty())
        return;
    m_lastImport = path;
    importChosen(path);
}

void ExchangeCommands::ImportFile(const QString &path)
{
    AddressTable::FileCommandScope hold(m_table);
    if (path.isEmpty() || !m_files.mayReplaceTable())
        return;
    m_lastImport = path;
    importChosen(path);
}

void ExchangeCommands::importChosen(const QString &path)
{
    EnsureFileSystem();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_desktop.message(ReadFailed + path + u'\r' + file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    SourceTable source; // a workbook's first rows, or a whole CSV/TSV file
    int sheetIndex = -1; // the workbook's sheet
    const QString suffix = suffixOf(path);
    // Workbooks by their name or by their first bytes (a zip, an OLE2 file).
    const bool workbook = suffix == u"xlsx" || suffix == u"xls" || suffix == u"ods" || suffix == u"numbers"
        || bytes.startsWith("PK\x03\x04") || bytes.startsWith("\xD0\xCF\x11\xE0");
    if (bytes.startsWith("\xD0\xCF\x11\xE0") && !XlsReader::formulaCells(bytes).empty()) {
        // An Excel 97-2003 workbook: FreeXL reads it from its path, whole.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const XlsReader::Book book = XlsReader::sheets(path);
        int chosen = 0;
        XlsReader::Sheet sheet;
        for (int i = 0; book.error.isEmpty() && i < int(book.sheets.size()); ++i) {
            sheet = XlsReader::read(path, i);
            if (!sheet.error.isEmpty() || !sheet.table.rows.empty()) {
                chosen = i;
                break;
            }
        }
        QApplication::restoreOverrideCursor();
        if (!book.error.isEmpty()) {
            m_desktop.message(ReadFailed + path + u'\r' + book.error);
            return;
        }
        if (book.sheets.size() > 1) {
            const int preselected = chosen;
            chosen = m_desktop.chooseSheet(book.sheets, preselected);
            if (chosen < 0 || chosen >= int(book.sheets.size()))
                return;
            if (chosen != preselected) {
                QApplication::setOverrideCursor(Qt::WaitCursor);
                sheet = XlsReader::read(path, chosen);
                QApplication::restoreOverrideCursor();
            }
        }
        if (!sheet.error.isEmpty()) {
            m_desktop.message(ReadFailed + path + u'\r' + sheet.error);
            return;
        }
        source = std::move(sheet.table);
    } else if (workbook) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const XlsxReader::Book book = XlsxReader::sheets(bytes);
        if (book.error.isEmpty())
            sheetIndex = firstFilledSheet(bytes, int(book.sheets.size()));
        QApplication::restoreOverrideCursor();
        if (!book.error.isEmpty()) {
            m_desktop.message(ReadFailed + path + u'\r' + book.error);
            return;
        }
        if (book.sheets.size() > 1) {
            sheetIndex = m_desktop.chooseSheet(book.sheets, sheetIndex);
            if (sheetIndex < 0 || sheetIndex >= int(book.sheets.size()))
                return;
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        XlsxReader::Sheet sample = XlsxReader::read(bytes, sheetIndex, SampleRows);
        QApplication::restoreOverrideCursor();
        if (!sample.error.isEmpty()) {
            m_desktop.message(ReadFailed + path + u'\r' + sample.error);
            return;
        }
        source = std::move(sample.table);
    } else {
        source = DelimitedText::read(bytes).table;
    }

    // The guess, or the mapping last chosen for a list with this header.
    ColumnMapping mapping = ColumnMapping::guess(source);
    const QString key = source.rows.empty() ? QString() : ColumnMapping::rememberKey(source.rows.front());
    if (!key.isEmpty()) {
        const QSettings store;
        if (const std::optional<ColumnMapping> remembered =
                ColumnMapping::fromText(store.value(key).toString(), source.columnCount()))
            mapping = *remembered;
    }
    if (!m_desktop.mapColumns(source, mapping))
        return;
    bool any = false;
    for (const std::vector<int> &s : mapping.sources)
        any = any || !s.empty();
    if (!any) {
        m_desktop.message(NothingMapped);
        return;
    }
    if (!key.isEmpty()) {
        QSettings store;
        store.setValue(key, mapping.toText());
    }

    RowMapper mapper(mapping, source.columnCount());
    {
        // A long read shows its progress and can be cancelled: the table
        // stays as it was.
        BusyProgress busy(m_status.window(), Importing, progressDelayMs);
        bool cancelled = false;
        if (sheetIndex >= 0) {
            source = {};
            // How many rows the sheet has is known only at its end.
            qint64 rows = 0;
            const QString error =
                XlsxReader::readRows(bytes, sheetIndex, [&mapper, &busy, &rows, &cancelled](const QStringList &cells) {
                    mapper.add(cells);
                    if (++rows % ProgressRows == 0 && !busy.step(rows, 0))
                        cancelled = true;
                    return !cancelled;
                });
            if (!error.isEmpty() && !cancelled) {
                m_desktop.message(ReadFailed + path + u'\r' + error);
                return;
            }
        } else {
            const auto total = qint64(source.rows.size());
            for (qint64 r = 0; r < total && !cancelled; ++r) {
                if (r % ProgressRows == 0 && !busy.step(r, total))
                    cancelled = true;
                else
                    mapper.add(source.rows[std::size_t(r)]);
            }
            source = {};
        }
        if (cancelled)
            return;
    }
    MappedRows &mapped = mapper.result();
    const qsizetype count = mapped.rows.size();
    m_table.state().Kept = std::move(mapped.layout);
    m_table.state().ExportedAt.reset();
    m_table.quietly([&] {
        m_table.grid().table()->replaceRows(std::move(mapped.rows));
        m_table.state().PrefillRow = 0;
        if (m_table.grid().RowCount() == 0)
            m_table.grid().SetRowCount(1);
    });
    // The table stands for no file and counts as changed.
    m_table.history().startOver(false);
    m_files.forgetFile();
    m_table.setBlock(0, 0);
    QString notice = Imported.arg(count);
    if (mapped.repairedCodes > 0 || mapped.repairedPhones > 0)
        notice += Repaired.arg(mapped.repairedCodes).arg(mapped.repairedPhones);
    if (m_table.state().Kept.any())
        notice += KeptNotice.arg(m_table.state().Kept.kept.size());
    m_status.showMessage(notice, NoticeMs);
}

bool ExchangeCommands::ExportList()
{
    AddressTable::FileCommandScope hold(m_table);
    m_table.grid().CommitEdit();
    Desktop::FileRequest request;
    request.mode = Desktop::FileMode::Save;
    request.title = dialogTitle();
    request.folder = Program().UserDataFolder;
    request.startName = m_lastExport;
    if (request.startName.isEmpty()) {
        // At first, a workbook beside the list the table came from, named after it.
        const QString from = !m_table.state().CurrentFile.isEmpty() ? m_table.state().CurrentFile : m_lastImport;
        if (!from.isEmpty()) {
            const QFileInfo info(from);
            request.startName = info.dir().filePath(info.completeBaseName() + QStringLiteral(".xlsx"));
        }
    }
    request.filter = QStringLiteral("Excel ブック (*.xlsx);;CSV ﾌｧｲﾙ (*.csv);;TSV ﾌｧｲﾙ (*.tsv)");
    QString path = m_desktop.chooseFile(request);
    if (path.isEmpty())
        return false;
    QString suffix = suffixOf(path);
    if (suffix != u"xlsx" && suffix != u"csv" && suffix != u"tsv" && suffix != u"txt") {
        path += QStringLiteral(".xlsx");
        suffix = QStringLiteral("xlsx");
    }
    m_lastExport = path;
    if (QFileInfo::exists(path)
        && m_desktop.ask(ReplaceQuestion.arg(path), Desktop::Buttons::YesNo) != Desktop::Answer::Yes)
        return false;
    EnsureFileSystem();

    const quint64 taken = m_table.history().position();
    std::vector<QStringList> rows = exportRows(m_table.content(), m_table.state().Kept);
    const qsizetype last = qsizetype(rows.size()) - 1;

    QString error;
    if (suffix == u"xlsx") {
        std::vector<XlsxWriter::Sheet> sheets{XlsxWriter::Sheet{QStringLiteral("住所録"), std::move(rows)}};
        // The results of 一括チェック as a second sheet, when asked for.
        std::vector<QStringList> results = m_files.checkResults ? m_files.checkResults() : std::vector<QStringList>();
        if (!results.empty()
            && m_desktop.ask(CheckSheetQuestion, Desktop::Buttons::YesNo) == Desktop::Answer::Yes)
            sheets.push_back({CheckSheetName, std::move(results)});
        QApplication::setOverrideCursor(Qt::WaitCursor);
        error = XlsxWriter::write(path, sheets);
        QApplication::restoreOverrideCursor();
    } else {
        const QStringList encodings{QStringLiteral("Shift_JIS (CP932)"), QStringLiteral("UTF-8 (BOM 付き)"),
                                    QStringLiteral("UTF-8"), QStringLiteral("UTF-16"), QStringLiteral("キャンセル")};
        const DelimitedText::Encoding choices[] = {DelimitedText::Encoding::Cp932, DelimitedText::Encoding::Utf8Bom,
                                                   DelimitedText::Encoding::Utf8, DelimitedText::Encoding::Utf16};
        const int chosen = m_desktop.choose(EncodingQuestion.arg(QFileInfo(path).fileName()), encodings);
        if (chosen < 0 || chosen >= int(std::size(choices)))
            return false;
        const DelimitedText::Written written =
            DelimitedText::write(rows, suffix == u"csv" ? QChar(u',') : QChar(u'\t'), choices[chosen]);
        if (written.unmappableCount > 0) {
            // The header is not a row of the table.
            const QString question = Unmappable.arg(written.firstUnmappableRow)
                                         .arg(written.firstUnmappableColumn + 1)
                                         .arg(written.unmappableCount);
            if (m_desktop.ask(question, Desktop::Buttons::YesNo) != Desktop::Answer::Yes)
                return false;
        }
        const TextFile::WriteResult result = TextFile::writeBytes(path, written.bytes);
        if (!result.ok)
            error = result.error;
    }
    if (!error.isEmpty()) {
        m_desktop.message(WriteFailed + error);
        return false;
    }
    m_table.state().ExportedAt = taken;
    m_status.showMessage(Exported.arg(last), NoticeMs);
    return true;
}

