#include "core/grid/Contrast.h"

#include <gtest/gtest.h>

#include "harness/ParamName.h"

namespace {

using Contrast::Rgb;

TEST(Contrast, RatioEnds)
{
    EXPECT_NEAR(Contrast::ratio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
    EXPECT_NEAR(Contrast::ratio({255, 255, 255}, {0, 0, 0}), 21.0, 1e-9);
    EXPECT_NEAR(Contrast::ratio({118, 118, 118}, {255, 255, 255}), 4.54, 0.01); // the usual least grey on white
    EXPECT_NEAR(Contrast::ratio({48, 140, 198}, {48, 140, 198}), 1.0, 1e-9);
    EXPECT_EQ(Contrast::blend({255, 0, 0}, 0, {10, 20, 30}), (Rgb{10, 20, 30}));
    EXPECT_EQ(Contrast::blend({255, 0, 0}, 255, {10, 20, 30}), (Rgb{255, 0, 0}));
}

// A row number drawn on a check's colour (at the opacity the row numbers use)
// over the header's own background: the number's colour, the block mark's
// highlight included, comes out readable, and stays as it is when it was.
struct NumberCase
{
    const char *name;
    Rgb text;
    Rgb tag;
    Rgb header;
    bool keepsItsColour;
};

class RowNumberTest : public testing::TestWithParam<NumberCase>
{
};

TEST_P(RowNumberTest, IsReadable)
{
    const NumberCase &c = GetParam();
    const Rgb background = Contrast::blend(c.tag, 110, c.header);
    const Rgb shown = Contrast::legible(c.text, background);
    EXPECT_GE(Contrast::ratio(shown, background), Contrast::Readable);
    EXPECT_EQ(shown == c.text, c.keepsItsColour);
}

constexpr Rgb Black{0, 0, 0};
constexpr Rgb Highlight{48, 140, 198}; // the block mark (Fusion's highlight)
constexpr Rgb Light{239, 239, 239};    // a light header
constexpr Rgb Dark{53, 53, 53};        // a dark header
constexpr Rgb White{255, 255, 255};

INSTANTIATE_TEST_SUITE_P(
    Kinds, RowNumberTest,
    testing::Values(NumberCase{"plain_on_no_code", Black, {0x1f, 0x6f, 0xd0}, Light, true},
                    NumberCase{"plain_on_mismatch", Black, {0xd0, 0x20, 0x20}, Light, true},
                    NumberCase{"marked_on_no_code", Highlight, {0x1f, 0x6f, 0xd0}, Light, false},
                    NumberCase{"marked_on_no_address", Highlight, {0x00, 0x99, 0x99}, Light, false},
                    NumberCase{"marked_on_mismatch", Highlight, {0xd0, 0x20, 0x20}, Light, false},
                    NumberCase{"marked_on_ambiguous", Highlight, {0xe0, 0x8a, 0x00}, Light, false},
                    NumberCase{"marked_on_outdated", Highlight, {0x8a, 0x3f, 0xc0}, Light, false},
                    NumberCase{"marked_on_not_found", Highlight, {0x70, 0x70, 0x70}, Light, false},
                    NumberCase{"marked_on_bad_format", Highlight, {0x8b, 0x5a, 0x2b}, Light, false},
                    NumberCase{"marked_on_applied", Highlight, {0xb0, 0xd8, 0xb0}, Light, false},
                    NumberCase{"dark_theme_plain", White, {0xd0, 0x20, 0x20}, Dark, true},
                    NumberCase{"dark_theme_marked", Highlight, {0x1f, 0x6f, 0xd0}, Dark, false}),
    ParamName());

} // namespace
