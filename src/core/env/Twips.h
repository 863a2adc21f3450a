#pragma once

// Window positions and sizes are kept in twips, 1/1440 inch; on the screen
// they become pixels at the screen's logical dots per inch.
namespace Twips {

inline constexpr double PerInch = 1440.0;

// Twips per pixel at a logical dpi: 15 at 96 dpi, and 15 when the dpi is unknown.
inline constexpr double perPixel(double logicalDpi)
{
    return logicalDpi > 0 ? PerInch / logicalDpi : 15.0;
}

} // namespace Twips
