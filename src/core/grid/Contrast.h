#pragma once

// Colour arithmetic for text that must stay readable on a tinted background
// (the row numbers on a check's colours), after the WCAG 2 definitions of
// relative luminance and contrast ratio. Channels 0..255.
namespace Contrast {

struct Rgb
{
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// The least contrast for normal text.
inline constexpr double Readable = 4.5;

double luminance(Rgb colour);
// From 1 (none) to 21 (black on white), either order.
double ratio(Rgb a, Rgb b);
// `top` drawn with opacity alpha (0..255) over `under`.
Rgb blend(Rgb top, int alpha, Rgb under);
// `text` itself when it stands out from `background` by `least`; otherwise
// the nearest colour on its way to black (on a light background) or white
// (on a dark one) that does, or that end itself when none does.
Rgb legible(Rgb text, Rgb background, double least = Readable);

} // namespace Contrast
