#include "core/grid/Contrast.h"

#include <gtest/gtest.h>

namespace {

using Contrast::Rgb;

TEST(Contrast, RatioEnds)
{
    EXPECT_NEAR(Contrast::ratio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
    EXPECT_NEAR(Contrast::ratio({118, 118, 118}, {255, 255, 255}), 4.54, 0.01); // the usual least grey on white
    EXPECT_EQ(Contrast::blend({255, 0, 0}, 0, {10, 20, 30}), (Rgb{10, 20, 30}));
}

// A row number on each check kind's colour (at the row numbers' opacity) over
// a light and a dark header: plain text that reads keeps its colour, and the
// block mark's highlight comes out readable too.
TEST(Contrast, RowNumbersStayReadable)
{
    const Rgb kinds[] = {{0x1f, 0x6f, 0xd0}, {0x00, 0x99, 0x99}, {0xd0, 0x20, 0x20}, {0xe0, 0x8a, 0x00},
                         {0x8a, 0x3f, 0xc0}, {0x70, 0x70, 0x70}, {0x8b, 0x5a, 0x2b}, {0xb0, 0xd8, 0xb0}};
    const Rgb highlight{48, 140, 198}; // Fusion's
    const struct
    {
        Rgb header, text;
    } themes[] = {{{239, 239, 239}, {0, 0, 0}}, {{53, 53, 53}, {255, 255, 255}}};
    for (const auto &theme : themes) {
        for (const Rgb &kind : kinds) {
            const Rgb back = Contrast::blend(kind, 110, theme.header);
            EXPECT_EQ(Contrast::legible(theme.text, back), theme.text) << kind.r << ',' << kind.g << ',' << kind.b;
            EXPECT_GE(Contrast::ratio(Contrast::legible(highlight, back), back), Contrast::Readable);
            EXPECT_LT(Contrast::ratio(highlight, back), Contrast::Readable); // it needed the change
        }
    }
}

} // namespace
