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

class FileNameRules : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(FileNameRules, GiveTheFileMeant)
{
    const NameCase &c = GetParam();
    const QSet<QString> files(c.existing.begin(), c.existing.end());
    const std::optional<QString> got =
        c.rule == Rule::Argument ? FileNames::fileArgument(QStringList{u"kotoven"_qs} + c.input, u"/home/u/docs"_qs)
        : c.rule == Rule::SaveName
            ? std::optional(FileNames::withCsvExtension(c.input.value(0)))
            : std::optional(FileNames::openName(c.input.value(0), [&](const QString &f) { return files.contains(f); }));
    EXPECT_EQ(got, c.expected);
}

using L = QStringList;
INSTANTIATE_TEST_SUITE_P(
    Cases, FileNameRules,
    ::testing::Values(
        NameCase{"NoArgument", Rule::Argument, {}, {}, std::nullopt},
        NameCase{"EmptyArgument", Rule::Argument, L{QString()}, {}, std::nullopt},
        NameCase{"RelativeName", Rule::Argument, L{u"住所録.csv"_qs}, {}, u"/home/u/docs/住所録.csv"_qs},
        NameCase{"DotsCleaned", Rule::Argument, L{u"../x/./a.csv"_qs}, {}, u"/home/u/x/a.csv"_qs},
        NameCase{"OptionsSkipped", Rule::Argument, L{u"--verbose"_qs, u"-"_qs, u"/a.csv"_qs, u"b"_qs}, {}, u"/a.csv"_qs},
        NameCase{"DashAfterDoubleDash", Rule::Argument, L{u"--"_qs, u"-a.csv"_qs}, {}, u"/home/u/docs/-a.csv"_qs},
        NameCase{"FileUrl", Rule::Argument, L{u"file:///tmp/%E4%BD%8F%E6%89%80%20a.csv"_qs}, {}, u"/tmp/住所 a.csv"_qs},
        NameCase{"SaveGetsCsv", Rule::SaveName, L{u"/d/名簿"_qs}, {}, u"/d/名簿.csv"_qs},
        NameCase{"SaveKeepsExtension", Rule::SaveName, L{u"/d/a.txt"_qs}, {}, u"/d/a.txt"_qs},
        NameCase{"SaveDotInFolderOnly", Rule::SaveName, L{u"/d.v/a"_qs}, {}, u"/d.v/a.csv"_qs},
        NameCase{"SaveHiddenName", Rule::SaveName, L{u"/d/.list"_qs}, {}, u"/d/.list.csv"_qs},
        NameCase{"SaveEmptyStaysEmpty", Rule::SaveName, L{QString()}, {}, QString()},
        NameCase{"OpenExisting", Rule::OpenName, L{u"/d/a"_qs}, L{u"/d/a"_qs, u"/d/a.csv"_qs}, u"/d/a"_qs},
        NameCase{"OpenTriesCsv", Rule::OpenName, L{u"/d/a"_qs}, L{u"/d/a.csv"_qs}, u"/d/a.csv"_qs},
        NameCase{"OpenNewName", Rule::OpenName, L{u"/d/a"_qs}, {}, u"/d/a"_qs},
        NameCase{"OpenOtherExtension", Rule::OpenName, L{u"/d/a.txt"_qs}, L{u"/d/a.txt.csv"_qs}, u"/d/a.txt"_qs}),
    ParamName());

} // namespace
