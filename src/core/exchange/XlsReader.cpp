#include "XlsReader.h"

#include <QDataStream>
#include <QFile>

#include <freexl.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>

namespace {

quint32 u32(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0xFFFFFFFF;
    const auto *p = reinterpret_cast<const uchar *>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 u16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0xFFFF;
    const auto *p = reinterpret_cast<const uchar *>(b.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

constexpr quint32 EndOfChain = 0xFFFFFFFE;

// A chain of sectors of `size` bytes from `table`, read out of `store`
// (sector n at base + n * size); stops at a loop or a sector outside.
QByteArray chain(const QByteArray &store, qsizetype base, qsizetype size, const std::vector<quint32> &table,
                 quint32 first, qsizetype limit)
{
    QByteArray out;
    quint32 sector = first;
    std::size_t steps = 0;
    while (sector < table.size() && steps++ <= table.size() && out.size() < limit) {
        const qsizetype at = base + qsizetype(sector) * size;
        if (at < 0 || at + size > store.size())
            break;
        out.append(store.constData() + at, size);
        sector = table[sector];
    }
    return out.left(limit);
}

// The "Workbook" (or older "Book") stream of an OLE2 compound file.
QByteArray workbookStream(const QByteArray &file)
{
    if (!file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") || file.size() < 512)
        return {};
    const quint16 shift = u16(file, 0x1E);
    const quint16 miniShift = u16(file, 0x20);
    if (shift < 7 || shift > 16 || miniShift > shift)
        return {};
    const qsizetype sector = qsizetype(1) << shift;
    const qsizetype mini = qsizetype(1) << miniShift;
    const quint32 cutoff = u32(file, 0x38);
    // The FAT's sectors: 109 in the header, then the DIFAT chain.
    std::vector<quint32> fatSectors;
    fatSectors.reserve(109);
    for (int i = 0; i < 109; ++i)
        fatSectors.push_back(u32(file, 0x4C + i * 4));
    quint32 difat = u32(file, 0x44);
    for (quint32 n = 0; n < u32(file, 0x48) && difat < EndOfChain && n < 100000; ++n) {
        const qsizetype at = sector + qsizetype(difat) * sector;
        for (qsizetype i = 0; i < sector / 4 - 1; ++i)
            fatSectors.push_back(u32(file, at + i * 4));
        difat = u32(file, at + sector - 4);
    }
    std::vector<quint32> fat;
    for (const quint32 s : fatSectors) {
        if (s >= EndOfChain - 1 || fat.size() > std::size_t(file.size()))
            continue;
        const qsizetype at = sector + qsizetype(s) * sector;
        for (qsizetype i = 0; i < sector / 4; ++i)
            fat.push_back(u32(file, at + i * 4));
    }
    const QByteArray directory = chain(file, sector, sector, fat, u32(file, 0x30), file.size());
    QByteArray miniStream;
    for (qsizetype e = 0; e + 128 <= directory.size(); e += 128) {
        const quint16 nameBytes = u16(directory, e + 0x40);
        const QString name = nameBytes >= 2 && nameBytes <= 64
            ? QString::fromUtf16(reinterpret_cast<const char16_t *>(directory.constData() + e), nameBytes / 2 - 1)
            : QString();
        const quint8 type = quint8(directory[e + 0x42]);
        const quint32 start = u32(directory, e + 0x74);
        const quint32 size = u32(directory, e + 0x78);
        if (type == 5) { // the root: the mini stream
            miniStream = chain(file, sector, sector, fat, start, size);
        } else if (type == 2 && (name == u"Workbook" || name == u"Book")) {
            if (size >= cutoff)
                return chain(file, sector, sector, fat, start, size);
            const QByteArray miniFatBytes =
                chain(file, sector, sector, fat, u32(file, 0x3C), qsizetype(u32(file, 0x40)) * sector);
            std::vector<quint32> miniFat;
            for (qsizetype i = 0; i + 4 <= miniFatBytes.size(); i += 4)
                miniFat.push_back(u32(miniFatBytes, i));
            return chain(miniStream, 0, mini, miniFat, start, size);
        }
    }
    return {};
}

QString number(double v)
{
    if (std::isfinite(v) && std::fabs(v) < 1e15 && v == std::floor(v))
        return QString::number(qint64(v));
    return QString::number(v, 'g', 15);
}

struct Handle
{
    const void *xls = nullptr;
    ~Handle()
    {
        if (xls)
            freexl_close(xls);
    }
};

const QString Protected =
    QStringLiteral("パスワードで保護されたブックは読めません。パスワードを外して保存し直してください");

QString openError(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return QStringLiteral("ファイルがありません");
    case FREEXL_INSUFFICIENT_MEMORY: return QStringLiteral("メモリが足りません");
    default: return QStringLiteral("Excel 97-2003 のブックとして読めません (FreeXL %1)").arg(code);
    }
}

// The formula cells per sheet; `sound` false when the stream is missing or
// holds a record longer than BIFF8 allows (FreeXL reads such records past
// its buffers, so they never reach it).
std::vector<qsizetype> walk(const QByteArray &bytes, bool &sound)
{
    const QByteArray stream = workbookStream(bytes);
    sound = !stream.isEmpty();
    std::vector<quint32> sheetOffsets; // each sheet's BOF, from BOUNDSHEET
    std::vector<qsizetype> counts;
    int current = -1; // the sheet whose records are being walked
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 type = u16(stream, at);
        const quint16 length = u16(stream, at + 2);
        if (length > 8224) {
            sound = false;
            break;
        }
        if (type == 0x0085 && length >= 4) {
            sheetOffsets.push_back(u32(stream, at + 4));
            counts.push_back(0);
        } else if (type == 0x0809) {
            current = -1;
            for (std::size_t i = 0; i < sheetOffsets.size(); ++i)
                if (sheetOffsets[i] == quint32(at))
                    current = int(i);
        } else if (type == 0x0006 && current >= 0) {
            ++counts[std::size_t(current)];
        }
        at += 4 + length;
    }
    return counts;
}

const QString Damaged = QStringLiteral("ブックが壊れています");

// The file's bytes when FreeXL may be given the file; else why not.
QString checkFile(const QString &path, std::vector<qsizetype> *formulas)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    bool sound = false;
    std::vector<qsizetype> counts = walk(file.readAll(), sound);
    if (!sound)
        return Damaged;
    if (formulas)
        *formulas = std::move(counts);
    return {};
}

} // namespace

namespace XlsReader {

std::vector<qsizetype> formulaCells(const QByteArray &bytes)
{
    bool sound = false;
    std::vector<qsizetype> counts = walk(bytes, sound);
    return sound ? counts : std::vector<qsizetype>();
}

} // namespace XlsReader

namespace {

using XlsReader::Book;
using XlsReader::Sheet;

Book sheetsHere(const QString &path)
{
    Book book;
    book.error = checkFile(path, nullptr);
    if (!book.error.isEmpty())
        return book;
    Handle h;
    const QByteArray name = QFile::encodeName(path);
    const int opened = freexl_open_info(name.constData(), &h.xls);
    if (opened != FREEXL_OK) {
        book.error = openError(opened);
        return book;
    }
    unsigned int password = 0;
    if (freexl_get_info(h.xls, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password == FREEXL_BIFF_OBFUSCATED) {
        book.error = Protected;
        return book;
    }
    unsigned int count = 0;
    freexl_get_info(h.xls, FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned int i = 0; i < count; ++i) {
        const char *sheetName = nullptr;
        if (freexl_get_worksheet_name(h.xls, static_cast<unsigned short>(i), &sheetName) == FREEXL_OK && sheetName)
            book.sheets.push_back({QString::fromUtf8(sheetName), false});
    }
    if (book.sheets.empty())
        book.error = QStringLiteral("ブックにシートがありません");
    return book;
}

Sheet readHere(const QString &path, int sheetIndex)
{
    Sheet sheet;
    std::vector<qsizetype> formulas;
    sheet.error = checkFile(path, &formulas);
    if (!sheet.error.isEmpty())
        return sheet;
    if (sheetIndex >= 0 && std::size_t(sheetIndex) < formulas.size() && formulas[std::size_t(sheetIndex)] > 0) {
        sheet.error = QStringLiteral("%1 個の数式セルは読めません。.xlsx に保存し直してください")
                          .arg(formulas[std::size_t(sheetIndex)]);
        return sheet;
    }
    Handle h;
    const QByteArray name = QFile::encodeName(path);
    const int opened = freexl_open(name.constData(), &h.xls);
    if (opened != FREEXL_OK) {
        sheet.error = openError(opened);
        return sheet;
    }
    if (freexl_select_active_worksheet(h.xls, static_cast<unsigned short>(sheetIndex)) != FREEXL_OK) {
        sheet.error = QStringLiteral("シートがありません");
        return sheet;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(h.xls, &rows, &columns) != FREEXL_OK) {
        sheet.error = QStringLiteral("シートの大きさが読めません");
        return sheet;
    }
    for (unsigned int r = 0; r < rows; ++r) {
        QStringList cells;
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            std::memset(&value, 0, sizeof value);
            QString shown;
            if (freexl_get_cell_value(h.xls, r, c, &value) == FREEXL_OK) {
                switch (value.type) {
                case FREEXL_CELL_INT: shown = QString::number(value.value.int_value); break;
                case FREEXL_CELL_DOUBLE: shown = number(value.value.double_value); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value)
                        shown = QString::fromUtf8(value.value.text_value);
                    break;
                default: break;
                }
            }
            cells.append(shown);
        }
        while (!cells.isEmpty() && cells.back().isEmpty())
            cells.removeLast();
        sheet.table.rows.push_back(cells);
    }
    while (!sheet.table.rows.empty() && sheet.table.rows.back().isEmpty())
        sheet.table.rows.pop_back();
    return sheet;
}

// Runs `work` in a child process and returns the bytes it wrote; nothing
// when the child did not end normally. FreeXL 1.0.6 frees and reads memory
// it does not own on some damaged files: in a child, that costs only the
// child.
std::optional<QByteArray> isolated(const std::function<QByteArray()> &work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        close(fds[0]);
        const QByteArray out = work();
        const char *p = out.constData();
        qsizetype left = out.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], p, std::size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(2);
            p += n;
            left -= n;
        }
        _exit(0);
    }
    close(fds[1]);
    QByteArray in;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            in.append(buffer, qsizetype(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return in;
}

QDataStream &operator<<(QDataStream &out, const std::vector<QStringList> &rows)
{
    out << qint64(rows.size());
    for (const QStringList &row : rows)
        out << row;
    return out;
}

QDataStream &operator>>(QDataStream &in, std::vector<QStringList> &rows)
{
    qint64 count = 0;
    in >> count;
    for (qint64 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QStringList row;
        in >> row;
        rows.push_back(std::move(row));
    }
    return in;
}

} // namespace

namespace XlsReader {

Book sheets(const QString &path)
{
    const std::optional<QByteArray> bytes = isolated([&path] {
        const Book book = sheetsHere(path);
        QByteArray out;
        QDataStream stream(&out, QIODevice::WriteOnly);
        stream << book.error << qint64(book.sheets.size());
        for (const SheetInfo &sheet : book.sheets)
            stream << sheet.name << sheet.hidden;
        return out;
    });
    Book book;
    QDataStream stream(bytes.value_or(QByteArray()));
    qint64 count = 0;
    stream >> book.error >> count;
    for (qint64 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        SheetInfo sheet;
        stream >> sheet.name >> sheet.hidden;
        book.sheets.push_back(sheet);
    }
    if (!bytes || stream.status() != QDataStream::Ok)
        return {Damaged, {}};
    return book;
}

Sheet read(const QString &path, int sheetIndex)
{
    const std::optional<QByteArray> bytes = isolated([&path, sheetIndex] {
        const Sheet sheet = readHere(path, sheetIndex);
        QByteArray out;
        QDataStream stream(&out, QIODevice::WriteOnly);
        stream << sheet.error << sheet.table.rows;
        return out;
    });
    Sheet sheet;
    QDataStream stream(bytes.value_or(QByteArray()));
    stream >> sheet.error >> sheet.table.rows;
    if (!bytes || stream.status() != QDataStream::Ok)
        return {Damaged, {}};
    return sheet;
}

} // namespace XlsReader
