#include "core/app/WindowPlacement.h"
#include "core/env/Twips.h"
#include "harness/ParamName.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct RoundCase
{
    double value;
    int expected;
};

class NearestInt : public ::testing::TestWithParam<RoundCase>
{
};

TEST_P(NearestInt, TiesGoToTheEvenOne)
{
    EXPECT_EQ(WindowPlacement::nearestInt(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Cases, NearestInt,
                         ::testing::Values(RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.5, 2}, RoundCase{-0.5, 0},
                                           RoundCase{-1.5, -2}, RoundCase{1199.6, 1200}, RoundCase{1200.4, 1200},
                                           RoundCase{2147483647.0, 2147483647}, RoundCase{3e9, 0}, RoundCase{-3e9, 0},
                                           RoundCase{std::numeric_limits<double>::infinity(), 0},
                                           RoundCase{std::nan(""), 0}));

TEST(WindowPlacement, TwipsPerPixel)
{
    EXPECT_EQ(Twips::perPixel(96), 15.0);
    EXPECT_EQ(Twips::perPixel(120), 12.0);
    EXPECT_EQ(Twips::perPixel(144), 10.0);
    EXPECT_EQ(Twips::perPixel(192), 7.5);
    EXPECT_EQ(Twips::perPixel(0), 15.0);
}

struct RestoreCase
{
    const char *name;
    WindowPlacement::Remembered remembered;
    double tpp;
    std::optional<QRect> expected;
};

class Restore : public ::testing::TestWithParam<RestoreCase>
{
};

TEST_P(Restore, MovesOnlyWithAWidthAndAHeight)
{
    const RestoreCase c = GetParam();
    EXPECT_EQ(WindowPlacement::toPixels(c.remembered, c.tpp, c.tpp), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Restore,
    ::testing::Values(RestoreCase{"worked example", {1200, 1500, 9600, 7200}, 15, QRect(100, 80, 640, 480)},
                      RestoreCase{"first start", {0, 0, 0, 0}, 15, std::nullopt},
                      RestoreCase{"zero width", {1200, 1500, 0, 7200}, 15, std::nullopt},
                      RestoreCase{"zero height", {1200, 1500, 9600, 0}, 15, std::nullopt},
                      RestoreCase{"negative width", {1200, 1500, -9600, 7200}, 15, std::nullopt},
                      RestoreCase{"left and top as read, off screen", {-3000, 99990, 9600, 7200}, 15,
                                  QRect(6666, -200, 640, 480)},
                      RestoreCase{"144 dpi", {1200, 1500, 9600, 7200}, 10, QRect(150, 120, 960, 720)},
                      RestoreCase{"pixels rounded to the nearest", {22, 37, 9607, 7222}, 15, QRect(2, 1, 640, 481)},
                      RestoreCase{"pixel ties go to the even one", {35, 25, 9600, 7200}, 10, QRect(2, 4, 960, 720)}),
    ParamName());

struct StoreCase
{
    const char *name;
    QRect outer;
    double tpp;
    int top;
    int left;
    float width;
    float height;
};

class Store : public ::testing::TestWithParam<StoreCase>
{
};

TEST_P(Store, ClampsLeftAndTopOnly)
{
    const StoreCase c = GetParam();
    const WindowPlacement::ToStore stored = WindowPlacement::fromPixels(c.outer, c.tpp, c.tpp);
    EXPECT_EQ(stored.top, c.top);
    EXPECT_EQ(stored.left, c.left);
    EXPECT_FLOAT_EQ(stored.width, c.width);
    EXPECT_FLOAT_EQ(stored.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Store,
    ::testing::Values(StoreCase{"worked example", QRect(100, 80, 640, 480), 15, 1200, 1500, 9600, 7200},
                      StoreCase{"off the left and top edges", QRect(-8, -30, 640, 480), 15, 0, 0, 9600, 7200},
                      StoreCase{"maximised frame beyond the screen", QRect(-4, -4, 1288, 1032), 15, 0, 0, 19320, 15480},
                      StoreCase{"120 dpi keeps the fraction of the size", QRect(7, 3, 641, 479), 12, 36, 84, 7692,
                                5748},
                      StoreCase{"110 dpi", QRect(11, 11, 100, 100), 1440.0 / 110, 144, 144, 1309.0909F, 1309.0909F}),
    ParamName());

} // namespace
