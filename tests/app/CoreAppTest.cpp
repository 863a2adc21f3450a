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

// ---- room for a pane below the grid and the browser ------------------------

struct RoomCase
{
    const char *name;
    int grid;
    int browser;
    int total; // left for both once the pane is open
    int gridAfter;
};

class PaneRoomTest : public ::testing::TestWithParam<RoomCase>
{
};

TEST_P(PaneRoomTest, TakesFromTheBrowserFirst)
{
    const RoomCase &c = GetParam();
    EXPECT_EQ(PaneRoom::gridHeight(c.grid, c.browser, c.total), c.gridAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaneRoomTest,
    ::testing::Values(RoomCase{"designed_window", 195, 448, 643 - 266, 195},    // the browser keeps 182
                      RoomCase{"browser_down_to_its_least", 195, 448, 315, 195},
                      RoomCase{"then_the_grid_gives", 195, 448, 300, 180},      // browser 120
                      RoomCase{"never_below_its_share", 300, 100, 200, 150},   // the browser had less already
                      RoomCase{"nothing_taken", 195, 448, 643, 195},
                      RoomCase{"more_room_in_proportion", 195, 448, 700, 212},
                      RoomCase{"no_room", 195, 448, 0, 0},
                      RoomCase{"empty_panes_share_evenly", 0, 0, 100, 50}),
    [](const ::testing::TestParamInfo<RoomCase> &info) { return std::string(info.param.name); });

} // namespace
