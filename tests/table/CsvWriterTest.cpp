#include "core/env/Cp932.h"
#include "core/table/CsvReader.h"
#include "core/table/CsvWriter.h"
#include "core/table/TableClipboard.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using Row = AddressTableModel::Row;

Row row(const char *zip, const char *add, const char *cmp, const char *tel, const char *url)
{
    const QString cells[] = {QString::fromUtf8(zip), QString::fromUtf8(add), QString::fromUtf8(cmp),
                             QString::fromUtf8(tel), QString::fromUtf8(url)};
    return Row::fromCells(cells[0], cells[1], cells[2], cells[3], cells[4]);
}

QByteArray bytesOf(const AddressTableModel::Rows &rows)
{
    return Cp932::encode(*CsvWriter::text(rows)).bytes;
}

QByteArray cp932(const char *utf8)
{
    return Cp932::encode(QString::fromUtf8(utf8)).bytes;
}

const char *const Header = "郵便番号,住所,勤務先等,電話番号,MAP URL\r\n";

TEST(Writing, PlainTableIsWrittenAsItAlwaysWas)
{
    const AddressTableModel::Rows rows{
        row("  100-0005 ", "東京都千代田区丸の内１－１", "", "03-1234-5678", ""),
        row("", "", "", "", ""),
        row("   ", " ", "", "  ", ""), // spaces only: blank
        row("　", " 　 ", "", "　　", ""), // full-width spaces too
        row("", "", "", "0120-000-000", ""),
        row("", "　大阪　 ", "\t", "", "https://map.example/?a=1&b=2"),
        row("", "東京都　千代田区", "", "", ""),
    };
    const QByteArray expected = cp932(Header) + cp932(
        "\"100-0005\",\"東京都千代田区丸の内１－１\",\"\",\"03-1234-5678\",\"\"\r\n"
        "\"\",\"\",\"\",\"0120-000-000\",\"\"\r\n"
        "\"\",\"大阪\",\"\t\",\"\",\"https://map.example/?a=1&b=2\"\r\n"
        "\"\",\"東京都　千代田区\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(bytesOf(rows), expected);
}

TEST(Writing, BlankTableGivesTheHeaderAlone)
{
    EXPECT_EQ(bytesOf({}), cp932(Header));
    EXPECT_EQ(bytesOf({Row(), row(" ", "", "", "", "  "), row("", "　", "", " 　", "")}), cp932(Header));
}

TEST(Writing, SpecialCharactersAreQuotedTheStandardWay)
{
    const AddressTableModel::Rows rows{row("a,b", "say \"hi\"", "\"", "line\r\nbreak", "lf\nonly")};
    EXPECT_EQ(*CsvWriter::text(rows),
              QString(QString::fromUtf8(Header)
                      + QStringLiteral("\"a,b\",\"say \"\"hi\"\"\",\"\"\"\",\"line\r\nbreak\",\"lf\nonly\"\r\n")));
}

TEST(Writing, ProgressCanCancel)
{
    const AddressTableModel::Rows rows(3 * Csv::ProgressRows, row("1", "", "", "", ""));
    int calls = 0;
    EXPECT_FALSE(CsvWriter::text(rows, [&calls](qint64, qint64) { return ++calls < 2; }).has_value());
    EXPECT_EQ(calls, 2);
}

struct CellAtCase
{
    const char *name;
    AddressTableModel::Rows rows;
    int row;
    int column;
};

class FirstUnmappable : public ::testing::TestWithParam<CellAtCase>
{
};

TEST_P(FirstUnmappable, NamesItsCell)
{
    const CellAtCase &c = GetParam();
    const Cp932::Encoded encoded = Cp932::encode(*CsvWriter::text(c.rows));
    ASSERT_GT(encoded.unmappableCount, 0);
    const CsvWriter::Cell cell = CsvWriter::cellAt(c.rows, encoded.firstUnmappable);
    EXPECT_EQ(cell.row, c.row);
    EXPECT_EQ(cell.column, c.column);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirstUnmappable,
    ::testing::Values(
        CellAtCase{"FirstCell", {row("😀", "", "", "", "")}, 0, 0},
        CellAtCase{"AfterBlankRowsAndQuotes",
                   {row("\"\"", "a,b", "", "", ""), Row(), row("  ", "", "", "", ""), row("1", "\"x\" 𠀋", "", "", "é")},
                   3, 1},
        CellAtCase{"LastColumn", {row("1", "2", "3", "4", "5"), row("1", "2", "3", "4", "ok ☃")}, 1, 4}),
    [](const ::testing::TestParamInfo<CellAtCase> &info) { return std::string(info.param.name); });

TEST(Writing, EncodingPieceByPieceGivesTheWholeTextEncoded)
{
    AddressTableModel::Rows rows;
    for (int r = 0; r < 60000; ++r)
        rows.push_back(r % 7 == 3 ? Row() : row("100-0005", "東京都千代田区丸の内 \"1\"", "", "03", ""));
    rows[50001] = row("1", "2", "snow ☃ and 😀", "4", "é");
    const std::optional<CsvWriter::Encoded> encoded = CsvWriter::encode(rows);
    ASSERT_TRUE(encoded.has_value());
    const Cp932::Encoded whole = Cp932::encode(*CsvWriter::text(rows));
    EXPECT_GT(CsvWriter::text(rows)->size(), 2 << 20); // several pieces
    EXPECT_EQ(encoded->bytes, whole.bytes);
    EXPECT_EQ(encoded->unmappableCount, 3);
    EXPECT_EQ(encoded->firstUnmappable.row, 50001);
    EXPECT_EQ(encoded->firstUnmappable.column, 2);

    int calls = 0;
    EXPECT_FALSE(CsvWriter::encode(rows, [&calls](qint64, qint64) { return ++calls < 3; }).has_value());
    EXPECT_EQ(calls, 3);
}

// Any table written and read again gives back its cells without their outer
// spaces, blank rows left out, one blank row at the end.
TEST(RoundTrip, RandomTablesComeBackTrimmed)
{
    const QString pool = QStringLiteral("ab1 ,\"\r\n\t　東京都千代田区ｱｲｳ〒－～①髙-/:?&=");
    QRandomGenerator random(20240601);
    for (int round = 0; round < 300; ++round) {
        AddressTableModel::Rows table;
        const int rows = int(random.bounded(12));
        for (int r = 0; r < rows; ++r) {
            QString cells[5];
            if (random.bounded(4) != 0) {
                for (QString &cell : cells) {
                    const int length = int(random.bounded(7));
                    for (int i = 0; i < length; ++i)
                        cell.append(pool[random.bounded(int(pool.size()))]);
                }
            }
            table.push_back(Row::fromCells(cells[0], cells[1], cells[2], cells[3], cells[4]));
        }
        std::vector<std::array<QString, 5>> expected;
        for (const Row &r : table) {
            std::array<QString, 5> cells;
            bool filled = false;
            for (int c = 0; c < 5; ++c) {
                cells[size_t(c)] = r.cell(c).toString();
                while (cells[size_t(c)].startsWith(u' ') || cells[size_t(c)].startsWith(u'\u3000'))
                    cells[size_t(c)].remove(0, 1);
                while (cells[size_t(c)].endsWith(u' ') || cells[size_t(c)].endsWith(u'\u3000'))
                    cells[size_t(c)].chop(1);
                filled = filled || !cells[size_t(c)].isEmpty();
            }
            if (filled)
                expected.push_back(cells);
        }
        expected.push_back({});

        const Cp932::Encoded encoded = Cp932::encode(*CsvWriter::text(table));
        ASSERT_EQ(encoded.unmappableCount, 0);
        const CsvReader::Result back = CsvReader::read(encoded.bytes);
        ASSERT_EQ(back.status, CsvReader::Result::Status::Loaded) << "round " << round;
        ASSERT_EQ(back.rows.size(), expected.size()) << "round " << round;
        for (size_t r = 0; r < expected.size(); ++r)
            for (int c = 0; c < 5; ++c)
                ASSERT_EQ(back.rows[r].cell(c), expected[r][size_t(c)]) << "round " << round << " row " << r;
    }
}

// A device that takes `room` bytes and then fails, as a full disk does.
class FullDevice final : public QIODevice
{
public:
    explicit FullDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (written.size() + size > m_room) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        written.append(data, size);
        return size;
    }

private:
    qint64 m_room;
};

TEST(Writing, FailingDeviceIsReported)
{
    const QByteArray bytes(10 << 20, 'x');
    FullDevice device(5 << 20);
    const CsvWriter::Result result = CsvWriter::write(device, bytes);
    EXPECT_EQ(result.status, CsvWriter::Result::Status::Failed);
    EXPECT_EQ(result.error, QStringLiteral("No space left on device"));

    FullDevice roomy(bytes.size());
    EXPECT_EQ(CsvWriter::write(roomy, bytes).status, CsvWriter::Result::Status::Written);
    EXPECT_EQ(roomy.written, bytes);
}

class WritingFiles : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    const QByteArray old = QByteArrayLiteral("old contents\r\n");

    QString existing(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
        return path;
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static void expectFailureNaming(const CsvWriter::Result &result, const QString &path)
    {
        EXPECT_EQ(result.status, CsvWriter::Result::Status::Failed);
        EXPECT_TRUE(result.error.startsWith(path + QStringLiteral(": "))) << result.error.toStdString();
        EXPECT_GT(result.error.size(), path.size() + 2) << "no reason given";
    }
};

TEST_F(WritingFiles, ReplacesTheWholeFile)
{
    const QString path = existing(QStringLiteral("a.csv"));
    EXPECT_EQ(CsvWriter::write(path, QByteArrayLiteral("new")).status, CsvWriter::Result::Status::Written);
    EXPECT_EQ(contents(path), QByteArrayLiteral("new"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.csv")});
}

TEST_F(WritingFiles, MissingFolderIsReported)
{
    const QString path = dir.filePath(QStringLiteral("no/such/folder/a.csv"));
    expectFailureNaming(CsvWriter::write(path, QByteArrayLiteral("new")), path);
}

TEST_F(WritingFiles, FolderInPlaceOfTheFileIsReported)
{
    const QString path = dir.filePath(QStringLiteral("folder.csv"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.csv")));
    expectFailureNaming(CsvWriter::write(path, QByteArrayLiteral("new")), path);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(WritingFiles, ParentThatIsAFileIsReported)
{
    const QString parent = existing(QStringLiteral("plain"));
    const QString path = parent + QStringLiteral("/a.csv");
    expectFailureNaming(CsvWriter::write(path, QByteArrayLiteral("new")), path);
    EXPECT_EQ(contents(parent), old);
}

TEST_F(WritingFiles, ReadOnlyTargetIsReportedAndKept)
{
    const QString path = existing(QStringLiteral("a.csv"));
    // The folder refuses new entries: mode 0555 for a user, the immutable
    // attribute for root (who ignores modes).
    bool immutable = false;
    if (geteuid() == 0) {
        immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), dir.path()}) == 0;
        if (!immutable)
            GTEST_SKIP() << "running as root and chattr +i is not available here";
    } else {
        ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const CsvWriter::Result result = CsvWriter::write(path, QByteArrayLiteral("new"));
    if (immutable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), dir.path()});
    else
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    expectFailureNaming(result, path);
    EXPECT_EQ(contents(path), old);
}

TEST_F(WritingFiles, CancelKeepsTheOldFile)
{
    const QString path = existing(QStringLiteral("a.csv"));
    const QByteArray bytes(9 << 20, 'x');
    const CsvWriter::Result result = CsvWriter::write(path, bytes, [](qint64, qint64) { return false; });
    EXPECT_EQ(result.status, CsvWriter::Result::Status::Cancelled);
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.csv")});
}

struct FullDiskCase
{
    const char *name;
    qsizetype bytes;
};

class FullDisk : public WritingFiles, public ::testing::WithParamInterface<FullDiskCase>
{
};

TEST_P(FullDisk, IsReportedAndKeepsTheOldFile)
{
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("small")));
    // Two pages: the old file takes one, so the new one has 4 KiB.
    if (geteuid() != 0
        || QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                        QStringLiteral("size=8k"), QStringLiteral("tmpfs"), mountPoint})
               != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); FailingDeviceIsReported covers the writer";
    const QString path = mountPoint + QStringLiteral("/a.csv");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const CsvWriter::Result result = CsvWriter::write(path, QByteArray(GetParam().bytes, 'x'));
    const QByteArray after = contents(path);
    const QStringList entries = QDir(mountPoint).entryList(QDir::Files);
    QProcess::execute(QStringLiteral("umount"), {mountPoint});
    expectFailureNaming(result, path);
    EXPECT_EQ(after, old);
    EXPECT_EQ(entries, QStringList{QStringLiteral("a.csv")});
}

INSTANTIATE_TEST_SUITE_P(
    Saves, FullDisk,
    ::testing::Values(FullDiskCase{"one piece larger than the disk", qsizetype(1) << 20},
                      // Less than a file's write buffer: a buffered file would meet the
                      // full disk only while committing, too late to be told.
                      FullDiskCase{"a small save", 10000}),
    ParamName());

TEST(Clipboard, TableTextIsTabSeparatedAndQuotedWithoutEscapes)
{
    AddressTableModel::Rows rows(10);
    rows[1] = row("  ", " ", "", "", "");                // spaces only: left out
    rows[2] = row("　", "", " 　", "", "");               // full-width spaces too
    rows[3] = row("100-0005", "　東京都　 ", "", "", "");
    rows[6] = row("", "", "", "03-1234-5678", "");        // only the telephone of row 7
    rows[8] = row("", "say \"hi\"", "a\tb", "x\r\ny", ""); // nothing inside is escaped
    EXPECT_EQ(TableClipboard::text(rows),
              QStringLiteral("\"100-0005\"\t\"東京都\"\t\"\"\t\"\"\t\"\"\r\n"
                             "\"\"\t\"\"\t\"\"\t\"03-1234-5678\"\t\"\"\r\n"
                             "\"\"\t\"say \"hi\"\"\t\"a\tb\"\t\"x\r\ny\"\t\"\"\r\n"));
    EXPECT_EQ(TableClipboard::text({Row(), row(" ", "", "", "", "   ")}), QString());
}

} // namespace
