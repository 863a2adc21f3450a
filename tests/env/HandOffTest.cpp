#include "core/env/HandOff.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct FailureCase
{
    const char *name;
    HandOff::End end;
    int exitCode;
    const char *errorOutput;
    qint64 ranForMs;
    const char *expected; // empty: no failure
};

class HandOffFailureTest : public testing::TestWithParam<FailureCase>
{
};

TEST_P(HandOffFailureTest, Says)
{
    const FailureCase &c = GetParam();
    EXPECT_EQ(HandOff::failureText(u"http://a.example/b.xls"_s, c.end, c.exitCode, QByteArray(c.errorOutput), c.ranForMs),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, HandOffFailureTest,
    testing::Values(
        FailureCase{"opened", HandOff::End::Exited, 0, "", 50, ""},
        FailureCase{"no_program", HandOff::End::Exited, 3, "xdg-open: no method available for opening 'x'\n", 50,
                    "http://a.example/b.xls を開けませんでした\r開くためのプログラムが見つかりません"
                    " (xdg-open: no method available for opening 'x')"},
        FailureCase{"last_line_only", HandOff::End::Exited, 4, "first\nsecond\n\n", 50,
                    "http://a.example/b.xls を開けませんでした\r開くことができませんでした (second)"},
        FailureCase{"other_code", HandOff::End::Exited, 9, "", 50,
                    "http://a.example/b.xls を開けませんでした\r開くためのプログラムが終了コード 9 で終了しました"},
        FailureCase{"browser_closed_later", HandOff::End::Exited, 1, "", HandOff::SettledMs, ""},
        FailureCase{"not_started", HandOff::End::NotStarted, -1, "", 0,
                    "http://a.example/b.xls を開けませんでした\r開くためのプログラム (xdg-open) を起動できません"},
        FailureCase{"crashed_late", HandOff::End::Crashed, 0, "", HandOff::SettledMs * 2,
                    "http://a.example/b.xls を開けませんでした\r開くためのプログラムが異常終了しました"}),
    [](const testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.name); });

struct RunCase
{
    const char *name;
    QStringList command;
    bool fails;
    const char *mentions;
};

class HandOffRunTest : public testing::TestWithParam<RunCase>
{
};

// The helper really runs; its end reaches the caller with the address.
TEST_P(HandOffRunTest, ReportsTheHelpersEnd)
{
    static int argc = 1;
    static char name[] = "handoff";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const RunCase &c = GetParam();
    HandOff handOff(c.command);
    QEventLoop loop;
    QString failure = u"(not told)"_s;
    handOff.open(QUrl::fromLocalFile(u"/tmp/リスト.xls"_s), [&](const QString &text) {
        failure = text;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (failure == u"(not told)")
        loop.exec();
    ASSERT_NE(failure, u"(not told)"_s);
    EXPECT_EQ(!failure.isEmpty(), c.fails) << failure.toStdString();
    if (c.fails) {
        EXPECT_TRUE(failure.startsWith(u"/tmp/リスト.xls"_s)) << failure.toStdString();
        EXPECT_TRUE(failure.contains(QString::fromUtf8(c.mentions))) << failure.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, HandOffRunTest,
    testing::Values(RunCase{"succeeds", {u"sh"_s, u"-c"_s, u"test -n \"$0\""_s}, false, ""},
                    RunCase{"nothing_to_open_with", {u"sh"_s, u"-c"_s, u"echo \"no method for $0\" >&2; exit 3"_s}, true,
                            "no method for /tmp/リスト.xls"},
                    RunCase{"helper_missing", {u"/nonexistent/xdg-open"_s}, true, "起動できません"}),
    [](const testing::TestParamInfo<RunCase> &info) { return std::string(info.param.name); });

} // namespace
