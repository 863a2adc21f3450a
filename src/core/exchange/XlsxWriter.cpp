#include "XlsxWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace XlsxWriter {

int displayWidth(QStringView text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        // Wide and full-width forms: CJK, kana, Hangul, full-width ASCII and
        // the supplementary ideographs. Half-width katakana stay narrow.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
            || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
            || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

QString write(const QString &path, const std::vector<Sheet> &sheets)
{
    const QFileInfo target(path);
    QTemporaryFile temp(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.xlsx").arg(target.completeBaseName())));
    if (!temp.open())
        return QStringLiteral("%1 に書き出せません (%2)").arg(path, temp.errorString());
    temp.close(); // libxlsxwriter writes the file by its name
    const QByteArray tempName = QFile::encodeName(temp.fileName());
    const QByteArray tmpdir = QFile::encodeName(QDir::tempPath());

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    lxw_workbook *book = workbook_new_opt(tempName.constData(), &options);
    if (!book)
        return QStringLiteral("%1 に書き出せません").arg(path);
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");

    lxw_error failure = LXW_NO_ERROR;
    for (const Sheet &sheet : sheets) {
        const QByteArray name = sheet.name.toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(book, name.constData());
        if (!ws) {
            failure = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
            break;
        }
        qsizetype columns = 0;
        for (const QStringList &row : sheet.rows)
            columns = std::max(columns, row.size());
        std::vector<int> widths(std::size_t(columns), 4);
        for (const QStringList &row : sheet.rows)
            for (qsizetype c = 0; c < row.size(); ++c)
                widths[std::size_t(c)] = std::max(widths[std::size_t(c)], displayWidth(row[c]));
        for (qsizetype c = 0; c < columns; ++c)
            worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::min(widths[std::size_t(c)], 80) + 2.0, text);
        worksheet_freeze_panes(ws, 1, 0);
        for (std::size_t r = 0; r < sheet.rows.size() && failure == LXW_NO_ERROR; ++r) {
            const QStringList &row = sheet.rows[r];
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (row[c].isEmpty())
                    continue;
                const QByteArray cell = row[c].toUtf8();
                failure = worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), cell.constData(),
                                                 r == 0 ? bold : text);
                if (failure != LXW_NO_ERROR)
                    break;
            }
        }
        if (failure != LXW_NO_ERROR)
            break;
    }
    const lxw_error closed = workbook_close(book);
    if (failure == LXW_NO_ERROR)
        failure = closed;
    if (failure != LXW_NO_ERROR)
        return QStringLiteral("%1 に書き出せませんでした (%2)").arg(path, QString::fromUtf8(lxw_strerror(failure)));
    QFile::setPermissions(temp.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                               | QFileDevice::ReadOther);
    // The finished workbook takes the target's place in one step.
    if (std::rename(tempName.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return QStringLiteral("%1 に書き出せませんでした (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    temp.setAutoRemove(false);
    return {};
}

} // namespace XlsxWriter
