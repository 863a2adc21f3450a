#include "core/app/ColumnFit.h"
#include "core/app/PaneRoom.h"
#include "core/env/Program.h"
#include "core/grid/GridUnits.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ColumnFit, WorkedExampleLeavesAbout34Point8Units)
{
    // A pane 945 pixels wide at 15 twips per pixel with the designed widths.
    const std::array<double, 4> designed{GridUnits::DesignedWidths[0], GridUnits::DesignedWidths[1],
                                         GridUnits::DesignedWidths[2], GridUnits::DesignedWidths[3]};
    const float rest = ColumnFit::rest(945.0F * 15.0F, 15.0, designed);
    EXPECT_NEAR(rest, 34.7967, 0.001);
    EXPECT_GT(rest, ColumnFit::MinimumRest);
}

struct FitCase
{
    float panePixels;
    double twipsPerPixel;
    double column2;
    bool refits;
};

class ColumnFitThreshold : public ::testing::TestWithParam<FitCase>
{
};

TEST_P(ColumnFitThreshold, OnlyMoreThanThirtyUnitsRefit)
{
    const FitCase c = GetParam();
    const float rest = ColumnFit::rest(c.panePixels * float(c.twipsPerPixel), c.twipsPerPixel,
                                       {7.37, c.column2, 18, 12.5});
    EXPECT_EQ(rest > ColumnFit::MinimumRest, c.refits) << rest;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnFitThreshold,
    ::testing::Values(FitCase{945, 15, 41, true},        // the designed window
                      FitCase{945, 15, 45.79, true},     // 30.007 left
                      FitCase{945, 15, 45.8, false},     // 29.997 left: column 5 keeps its width
                      FitCase{700, 15, 41, false},       // a narrow window
                      FitCase{1890, 7.5, 41, true},      // 192 dpi: the same pane in more pixels
                      FitCase{945, 15, 120, false}));    // a very wide column 2

struct NameCase
{
    const char16_t *path;
    const char16_t *name;
};

class ProgramNameCases : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(ProgramNameCases, TrailingDvIsDropped)
{
    EXPECT_EQ(programNameFromPath(QString::fromUtf16(GetParam().path)), QString::fromUtf16(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramNameCases,
                         ::testing::Values(NameCase{u"/opt/x/abc_DV.exe", u"abc"},
                                           NameCase{u"/opt/x/abc_dv2.exe", u"abc_dv2"},
                                           NameCase{u"/opt/x/abc.exe", u"abc"},
                                           NameCase{u"/usr/bin/kotoven", u"kotoven"},
                                           NameCase{u"/usr/bin/kotoven_dv", u"kotoven"},
                                           NameCase{u"/usr/bin/_dv", u""},
                                           NameCase{u"/usr/bin/dv", u"dv"}));

// A pane opening below the grid and the browser (the designed 195 and 448
// pixels) takes its room from the browser first.
TEST(PaneRoom, TakesFromTheBrowserFirst)
{
    const struct
    {
        int total; // left for both once the pane is open
        int grid;
    } cases[] = {{377, 195},  // the designed window: the browser keeps 182
                 {315, 195},  // the browser down to its least
                 {300, 180},  // then the grid gives
                 {643, 195},  // nothing taken
                 {700, 212},  // more room: shared in proportion
                 {0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(PaneRoom::gridHeight(195, 448, c.total), c.grid) << c.total;
    EXPECT_EQ(PaneRoom::gridHeight(300, 100, 200), 150); // a browser smaller already: never below its share
    EXPECT_EQ(PaneRoom::gridHeight(0, 0, 100), 50);
}

} // namespace
