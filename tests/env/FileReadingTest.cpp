#include "core/env/FileIdentity.h"
#include "core/env/Utf8Check.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct Utf8Case
{
    const char *name;
    QByteArray bytes;
    bool utf8;
};

class Utf8Detection : public ::testing::TestWithParam<Utf8Case>
{
};

// The same answer for the bytes whole, fed a byte at a time, and from a device
// that is left where it was.
TEST_P(Utf8Detection, AnswersTheSameWholeInPiecesAndFromADevice)
{
    const Utf8Case &c = GetParam();
    EXPECT_EQ(Utf8Check::isUtf8(c.bytes), c.utf8);
    Utf8Check check;
    for (const char b : c.bytes)
        check.feed(QByteArrayView(&b, 1));
    EXPECT_EQ(check.isUtf8(), c.utf8);
    QByteArray bytes = "x" + c.bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    buffer.seek(1);
    EXPECT_EQ(Utf8Check::isUtf8(buffer), c.utf8);
    EXPECT_EQ(buffer.pos(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Detection,
    ::testing::Values(Utf8Case{"Empty", {}, false}, Utf8Case{"AsciiOnly", "h\r\n1,2,3,4,5\r\n", false},
                      Utf8Case{"Kana", "1,\xE3\x81\x82,3", true}, Utf8Case{"TwoByte", "caf\xC3\xA9", true},
                      Utf8Case{"FourByte", "\xF0\x9F\x98\x80", true},
                      // Japan Post's code page 932 data: 北海道 in code page 932.
                      Utf8Case{"Cp932Kanji", "\x96\x6B\x8A\x43\x93\xB9", false},
                      Utf8Case{"Cp932HalfWidthKana", "\xB1\xB2\xB3", false},
                      Utf8Case{"Cp932AfterUtf8", "\xE3\x81\x82,\x82\xA0", false},
                      Utf8Case{"Overlong", "\xC0\xAF", false}, Utf8Case{"OverlongThreeByte", "\xE0\x80\xAF", false},
                      Utf8Case{"Surrogate", "\xED\xA0\x80", false}, Utf8Case{"PastU10FFFF", "\xF4\x90\x80\x80", false},
                      Utf8Case{"CutOffAtTheEnd", "\xE3\x81\x82\xE3\x81", false},
                      Utf8Case{"LoneContinuation", "a\x80", false}),
    [](const ::testing::TestParamInfo<Utf8Case> &info) { return std::string(info.param.name); });

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool setTime(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

struct IdentityCase
{
    const char *name;
    std::function<bool(const QString &path)> change; // what happens to the file after it was read
    FileIdentity::State state;
};

class Identity : public ::testing::TestWithParam<IdentityCase>
{
};

TEST_P(Identity, ChangedOnlyWhenTheBytesDiffer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    const QByteArray bytes("h\r\n1,2,3,4,5\r\n");
    ASSERT_TRUE(put(path, bytes));
    ASSERT_TRUE(setTime(path, QDateTime(QDate(2026, 5, 1), QTime(9, 0), Qt::UTC)));
    FileIdentity id = FileIdentity::of(path, FileIdentity::hash(bytes));
    ASSERT_TRUE(GetParam().change(path));
    EXPECT_EQ(id.check(), GetParam().state);
    // Asked again, the answer stands (a touch is taken in, not hashed again).
    EXPECT_EQ(id.check(), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Identity,
    ::testing::Values(
        IdentityCase{"Untouched", [](const QString &) { return true; }, FileIdentity::State::Same},
        IdentityCase{"TouchedOnly",
                     [](const QString &p) { return setTime(p, QDateTime(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC)); },
                     FileIdentity::State::Same},
        IdentityCase{"RewrittenWithTheSameBytes", [](const QString &p) { return put(p, "h\r\n1,2,3,4,5\r\n"); },
                     FileIdentity::State::Same},
        IdentityCase{"SameSizeOtherBytes",
                     [](const QString &p) {
                         return put(p, "h\r\n1,2,3,4,6\r\n")
                                && setTime(p, QDateTime(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC));
                     },
                     FileIdentity::State::Changed},
        // Another program wrote other bytes and put the old time back.
        IdentityCase{"OtherSizeSameTime",
                     [](const QString &p) {
                         return put(p, "h\r\n1,2,3,4,5\r\n6,7,8,9,0\r\n")
                                && setTime(p, QDateTime(QDate(2026, 5, 1), QTime(9, 0), Qt::UTC));
                     },
                     FileIdentity::State::Changed},
        IdentityCase{"Deleted", [](const QString &p) { return QFile::remove(p); }, FileIdentity::State::Gone}),
    [](const ::testing::TestParamInfo<IdentityCase> &info) { return std::string(info.param.name); });

} // namespace
