#include "core/app/FileNames.h"

#include "harness/ParamName.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

enum class Rule { Argument, SaveName, OpenName };

struct NameCase
{
    std::string name;
    Rule rule;
    QStringList input;    // Argument: the arguments after the program; otherwise one name
    QStringList existing; // files that exist (OpenName)
    std::optional<QString> expected;
};

void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << c.name;
}

class FileNameRules : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(FileNameRules, GiveTheFileMeant)
{
    const NameCase &c = GetParam();
    std::optional<QString> got;
    switch (c.rule) {
    case Rule::Argument:
        got = FileNames::fileArgument(QStringList{QStringLiteral("/usr/bin/kotoven")} + c.input,
                                      QStringLiteral("/home/u/docs"));
        break;
    case Rule::SaveName:
        got = FileNames::withCsvExtension(c.input.value(0));
        break;
    case Rule::OpenName: {
        const QSet<QString> files(c.existing.begin(), c.existing.end());
        got = FileNames::openName(c.input.value(0), [&files](const QString &f) { return files.contains(f); });
        break;
    }
    }
    EXPECT_EQ(got, c.expected);
}

using L = QStringList;
QString s(const char16_t *text)
{
    return QString::fromUtf16(text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNameRules,
    ::testing::Values(
        NameCase{"NoArgument", Rule::Argument, {}, {}, std::nullopt},
        NameCase{"RelativeName", Rule::Argument, L{s(u"住所録.csv")}, {}, s(u"/home/u/docs/住所録.csv")},
        NameCase{"AbsoluteName", Rule::Argument, L{s(u"/tmp/a.csv")}, {}, s(u"/tmp/a.csv")},
        NameCase{"DotsCleaned", Rule::Argument, L{s(u"../x/./a.csv")}, {}, s(u"/home/u/x/a.csv")},
        NameCase{"OptionsSkipped", Rule::Argument, L{s(u"--verbose"), s(u"-"), s(u"a.csv")}, {}, s(u"/home/u/docs/a.csv")},
        NameCase{"DashAfterDoubleDash", Rule::Argument, L{s(u"--"), s(u"-a.csv")}, {}, s(u"/home/u/docs/-a.csv")},
        NameCase{"FirstFileTaken", Rule::Argument, L{s(u"a.csv"), s(u"b.csv")}, {}, s(u"/home/u/docs/a.csv")},
        NameCase{"FileUrl", Rule::Argument, L{s(u"file:///tmp/%E4%BD%8F%E6%89%80%20a.csv")}, {}, s(u"/tmp/住所 a.csv")},
        NameCase{"EmptyArgument", Rule::Argument, L{QString()}, {}, std::nullopt},
        NameCase{"SaveGetsCsv", Rule::SaveName, L{s(u"/d/名簿")}, {}, s(u"/d/名簿.csv")},
        NameCase{"SaveKeepsCsv", Rule::SaveName, L{s(u"/d/a.csv")}, {}, s(u"/d/a.csv")},
        NameCase{"SaveKeepsOtherExtension", Rule::SaveName, L{s(u"/d/a.txt")}, {}, s(u"/d/a.txt")},
        NameCase{"SaveDotInFolderOnly", Rule::SaveName, L{s(u"/d.v/a")}, {}, s(u"/d.v/a.csv")},
        NameCase{"SaveHiddenName", Rule::SaveName, L{s(u"/d/.list")}, {}, s(u"/d/.list.csv")},
        NameCase{"SaveEmptyStaysEmpty", Rule::SaveName, L{QString()}, {}, QString()},
        NameCase{"OpenExisting", Rule::OpenName, L{s(u"/d/a")}, L{s(u"/d/a"), s(u"/d/a.csv")}, s(u"/d/a")},
        NameCase{"OpenTriesCsv", Rule::OpenName, L{s(u"/d/a")}, L{s(u"/d/a.csv")}, s(u"/d/a.csv")},
        NameCase{"OpenNewName", Rule::OpenName, L{s(u"/d/a")}, {}, s(u"/d/a")},
        NameCase{"OpenOtherExtensionNotCompleted", Rule::OpenName, L{s(u"/d/a.txt")}, L{s(u"/d/a.txt.csv")}, s(u"/d/a.txt")}),
    ParamName());

} // namespace
