#include "core/env/Cp932.h"
#include "core/env/Program.h"
#include "harness/ParamName.h"
#include "harness/QtPrinters.h"
#include "core/env/TextFile.h"
#include "support/TestData.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// ---- code page 932 ------------------------------------------------------------

struct DecodeCase
{
    const char *name;
    QByteArray bytes;
    QString text;
    qsizetype firstInvalid;
    qsizetype invalidCount;
};

class Cp932Decode : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(Cp932Decode, GivesTextAndMarksBadBytes)
{
    const DecodeCase c = GetParam();
    const Cp932::Decoded decoded = Cp932::decode(c.bytes);
    EXPECT_EQ(decoded.text, c.text);
    EXPECT_EQ(decoded.firstInvalidByte, c.firstInvalid);
    EXPECT_EQ(decoded.invalidCount, c.invalidCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cp932Decode,
    ::testing::Values(
        DecodeCase{"empty", {}, {}, -1, 0},
        DecodeCase{"ascii and CR LF", "a,b\r\n", u"a,b\r\n"_qs, -1, 0},
        DecodeCase{"backslash and tilde stay ASCII", "\\~", u"\\~"_qs, -1, 0},
        DecodeCase{"kanji", "\x93\x8c\x8b\x9e", u"東京"_qs, -1, 0},
        DecodeCase{"half-width katakana", "\xcc\xa7\xb2\xd9", u"ﾌｧｲﾙ"_qs, -1, 0},
        DecodeCase{"0x81 0x60 is the full-width tilde", "\x81\x60", u"\uFF5E"_qs, -1, 0},
        DecodeCase{"NEC special: circled one", "\x87\x40", u"\u2460"_qs, -1, 0},
        DecodeCase{"IBM extension", "\xfb\xfc\xfa\xb1", u"\u9ad9\ufa11"_qs, -1, 0},
        DecodeCase{"lead byte with a bad trail byte", "a\x81\x20z", u"a\uFFFD z"_qs, 1, 1},
        DecodeCase{"byte 0xA0 and 0xFD", "\xa0\xfd", u"\uFFFD\uFFFD"_qs, 0, 2},
        DecodeCase{"lead byte cut off at the end", "ab\x93", u"ab\uFFFD"_qs, 2, 1},
        DecodeCase{"NUL byte kept", QByteArray("a\0b", 3), QStringView(u"a\0b", 3).toString(), -1, 0}),
    ParamName());

struct EncodeCase
{
    const char *name;
    QString text;
    QByteArray bytes;
    qsizetype firstUnmappable;
    qsizetype unmappableCount;
};

class Cp932Encode : public ::testing::TestWithParam<EncodeCase>
{
};

TEST_P(Cp932Encode, GivesBytesAndReportsWhatDoesNotFit)
{
    const EncodeCase c = GetParam();
    const Cp932::Encoded encoded = Cp932::encode(c.text);
    EXPECT_EQ(encoded.bytes, c.bytes);
    EXPECT_EQ(encoded.firstUnmappable, c.firstUnmappable);
    EXPECT_EQ(encoded.unmappableCount, c.unmappableCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cp932Encode,
    ::testing::Values(
        EncodeCase{"empty", {}, {}, -1, 0},
        EncodeCase{"kanji and ascii", u"東京 1"_qs, "\x93\x8c\x8b\x9e 1", -1, 0},
        EncodeCase{"full-width tilde", u"\uFF5E"_qs, "\x81\x60", -1, 0},
        EncodeCase{"wave dash as input methods type it", u"\u301C"_qs, "\x81\x60", -1, 0},
        EncodeCase{"minus sign", u"\u2212"_qs, "\x81\x7c", -1, 0},
        EncodeCase{"emoji is one character", u"a\U0001F600b"_qs, "a?b", 1, 1},
        EncodeCase{"characters outside the code page", u"é€x"_qs, "??x", 0, 2},
        EncodeCase{"lone surrogate", QStringView(u"a\xD800", 2).toString(), "a?", 1, 1},
        EncodeCase{"replacement character", u"\uFFFD"_qs, "?", 0, 1}),
    ParamName());

// Every two-byte sequence: decoding never crashes, and what decodes encodes
// to bytes that decode to the same text (the code page has duplicate codes).
TEST(Cp932, EveryDoubleByteRoundTripsThroughText)
{
    QByteArray all;
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            all.append(char(lead)).append(char(trail)).append('\n');
    const Cp932::Decoded decoded = Cp932::decode(all);
    ASSERT_GT(decoded.text.size(), 0);
    QString valid = decoded.text;
    valid.remove(u'\uFFFD');
    const Cp932::Encoded encoded = Cp932::encode(valid);
    EXPECT_EQ(encoded.unmappableCount, 0);
    EXPECT_EQ(Cp932::decode(encoded.bytes).text, valid);
}

// ---- whole files ---------------------------------------------------------------

class TextFiles : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString &name = u"a.csv"_qs) const { return dir.filePath(name); }
};

TEST_F(TextFiles, MissingOrEmptyFilesReadAsEmptyText)
{
    Program().FileSystem = false;
    EXPECT_EQ(ReadTextFile(path()), QString());
    EXPECT_TRUE(Program().FileSystem);
    const TextFile::ReadResult missing = TextFile::read(path());
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.error.startsWith(path())) << missing.error.toStdString();
    ASSERT_TRUE(writeBytes(path(), {}));
    EXPECT_EQ(ReadTextFile(path()), QString());
    EXPECT_TRUE(TextFile::read(path()).ok);
    EXPECT_EQ(ReadTextFile(dir.path()), QString()); // a folder
}

TEST_F(TextFiles, ReadsTheWholeFileWithoutByteOrderMark)
{
    ASSERT_TRUE(writeBytes(path(), "\xef\xbb\xbf\x93\x8c\r\nx"));
    const TextFile::ReadResult read = TextFile::read(path());
    EXPECT_TRUE(read.ok);
    // No Unicode detection: a UTF-8 mark is read as code page 932 bytes.
    EXPECT_EQ(read.text, u"\uFFFDｻｿ東\r\nx"_qs);
    EXPECT_EQ(read.firstInvalidByte, 0);
}

TEST_F(TextFiles, WritesExactlyTheTextOverALongerFile)
{
    ASSERT_TRUE(writeBytes(path(), QByteArray(1000, 'z')));
    const TextFile::WriteResult written = WriteTextFile(path(), u"郵便番号,住所\r\n\"1\",\"東京\""_qs);
    EXPECT_TRUE(written.ok) << written.error.toStdString();
    EXPECT_EQ(readBytes(path()), "\x97\x58\x95\xd6\x94\xd4\x8d\x86,\x8f\x5a\x8f\x8a\r\n\"1\",\"\x93\x8c\x8b\x9e\"");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"a.csv"_qs});
}

TEST_F(TextFiles, UnmappableTextIsReportedAndNothingIsWritten)
{
    ASSERT_TRUE(writeBytes(path(), "old"));
    const TextFile::WriteResult refused = WriteTextFile(path(), u"ab€c€"_qs);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.firstUnmappable, 2);
    EXPECT_EQ(refused.unmappableCount, 2);
    EXPECT_TRUE(refused.error.startsWith(path()));
    EXPECT_TRUE(refused.error.contains(u"position 3"_qs)) << refused.error.toStdString();
    EXPECT_EQ(readBytes(path()), "old");

    const TextFile::WriteResult replaced = WriteTextFile(path(), u"ab€c"_qs, TextFile::Unmappable::Replace);
    EXPECT_TRUE(replaced.ok);
    EXPECT_EQ(replaced.unmappableCount, 1);
    EXPECT_EQ(readBytes(path()), "ab?c");
}

TEST_F(TextFiles, AMissingFolderIsReportedWithThePath)
{
    const QString target = dir.filePath(u"no/such/a.csv"_qs);
    const TextFile::WriteResult written = WriteTextFile(target, u"x"_qs);
    EXPECT_FALSE(written.ok);
    EXPECT_TRUE(written.error.startsWith(target)) << written.error.toStdString();
    EXPECT_GT(written.error.size(), target.size() + 2);
}

// A device that takes only so many bytes.
class ShortDevice final : public QBuffer
{
public:
    explicit ShortDevice(qint64 room) : m_room(room) {}

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        const qint64 n = std::min(len, m_room);
        m_room -= n;
        if (n == 0) {
            setErrorString(u"device full"_qs);
            return -1;
        }
        return QBuffer::writeData(data, n);
    }

private:
    qint64 m_room;
};

TEST_F(TextFiles, AShortWriteIsAFailure)
{
    ShortDevice device(3);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    const TextFile::WriteResult written = TextFile::write(device, u"東京都"_qs);
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.error.isEmpty());
}

TEST_F(TextFiles, DeviceRoundTrip)
{
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::ReadWrite));
    EXPECT_TRUE(TextFile::write(buffer, u"ｶﾅ　かな\r\n"_qs).ok);
    EXPECT_EQ(buffer.data(), "\xb6\xc5\x81\x40\x82\xa9\x82\xc8\r\n");
    buffer.seek(0);
    EXPECT_EQ(TextFile::read(buffer).text, u"ｶﾅ　かな\r\n"_qs);
}

} // namespace
