#pragma once

#include <QRect>

#include <optional>

// The remembered window rectangle: pixels on the screen against twips
// (1/1440 inch) in the settings document.
namespace WindowPlacement {

// The four values as read back: each the nearest whole number of twips.
struct Remembered
{
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
};

// The four values as written: left and top whole and not negative, the size
// as single-precision reals.
struct ToStore
{
    int top = 0;
    int left = 0;
    float width = 0;
    float height = 0;
};

// The nearest whole number, a tie going to the even one; a value that is no
// number or lies outside the integer range gives 0.
int nearestInt(double value);

// The outer rectangle in pixels, or nothing when the remembered width or
// height is not above 0 (the window then keeps its designed place).
std::optional<QRect> toPixels(const Remembered &remembered, double twipsPerPixelX, double twipsPerPixelY);

// What the window's outer rectangle is stored as.
ToStore fromPixels(const QRect &outer, double twipsPerPixelX, double twipsPerPixelY);

} // namespace WindowPlacement
