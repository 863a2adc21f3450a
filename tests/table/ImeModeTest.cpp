#include "core/table/ImeFramework.h"
#include "core/table/ImeMode.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace {

struct ModeCase
{
    const char *name;
    int mode;
    bool open;
    std::optional<quint32> conversion;
    const char *mozc; // Mozc's input mode under IBus, having set half-width katakana before
};

std::ostream &operator<<(std::ostream &out, const ModeCase &c)
{
    return out << c.name;
}

class ImeModeTable : public ::testing::TestWithParam<ModeCase>
{
};

TEST_P(ImeModeTable, OpensAndSetsTheConversionMode)
{
    const ModeCase &c = GetParam();
    const ImeMode::Request request = ImeMode::forMode(c.mode);
    EXPECT_EQ(request.open, c.open);
    EXPECT_EQ(request.conversion, c.conversion);
    EXPECT_EQ(ImeFramework::mozcInputMode(request, ImeMode::Native | ImeMode::Katakana | ImeMode::Roman),
              QString::fromUtf8(c.mozc));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ImeModeTable,
    ::testing::Values(ModeCase{"close0", 0, false, std::nullopt, "InputMode.Direct"},
                      ModeCase{"hiragana1", 1, true, 0x19u, "InputMode.Hiragana"},
                      ModeCase{"close2", 2, false, std::nullopt, "InputMode.Direct"},
                      ModeCase{"close3", 3, false, std::nullopt, "InputMode.Direct"},
                      ModeCase{"hiragana4", 4, true, 0x19u, "InputMode.Hiragana"},
                      ModeCase{"fullKatakana5", 5, true, 0x1Bu, "InputMode.Katakana"},
                      ModeCase{"halfKatakana6", 6, true, 0x13u, "InputMode.HalfWidthKatakana"},
                      ModeCase{"fullAlphanumeric7", 7, true, 0x18u, "InputMode.WideLatin"},
                      ModeCase{"halfAlphanumeric8", 8, true, 0x10u, "InputMode.Latin"},
                      ModeCase{"keep9", 9, true, std::nullopt, "InputMode.HalfWidthKatakana"},
                      ModeCase{"keepMinus1", -1, true, std::nullopt, "InputMode.HalfWidthKatakana"},
                      ModeCase{"keep32767", 32767, true, std::nullopt, "InputMode.HalfWidthKatakana"}),
    [](const ::testing::TestParamInfo<ModeCase> &info) { return std::string(info.param.name); });

// The flags make up the documented modes.
TEST(ImeMode, ConversionFlagsSpellTheModes)
{
    using namespace ImeMode;
    EXPECT_EQ(Native | FullShape | Roman, 0x19u);           // full-width hiragana
    EXPECT_EQ(Native | Katakana | FullShape | Roman, 0x1Bu); // full-width katakana
    EXPECT_EQ(Native | Katakana | Roman, 0x13u);             // half-width katakana
}

struct AfterCase
{
    const char *name;
    int mode;
    quint32 current;
    quint32 expected;
};

std::ostream &operator<<(std::ostream &out, const AfterCase &c)
{
    return out << c.name;
}

class ImeModeAfter : public ::testing::TestWithParam<AfterCase>
{
};

TEST_P(ImeModeAfter, ReplacesOrKeepsWhatWasRead)
{
    const AfterCase &c = GetParam();
    EXPECT_EQ(ImeMode::conversionAfter(ImeMode::forMode(c.mode), c.current), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, ImeModeAfter,
    ::testing::Values(AfterCase{"hiraganaOverAlphanumeric", 1, 0x10u, 0x19u},
                      AfterCase{"katakanaOverHiragana", 5, 0x19u, 0x1Bu},
                      AfterCase{"keepKeepsEvenUnusualBits", 9, 0x0401u, 0x0401u},
                      AfterCase{"closeKeepsTheMode", 0, 0x1Bu, 0x1Bu},
                      AfterCase{"halfAlphanumericOverKatakana", 8, 0x1Bu, 0x10u}),
    [](const ::testing::TestParamInfo<AfterCase> &info) { return std::string(info.param.name); });

} // namespace
