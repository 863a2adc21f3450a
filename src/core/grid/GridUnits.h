#pragma once

// Column widths of the grid are kept in grid units; one unit is 8.1 pixels,
// the rate the layout re-fit of the last column uses.
namespace GridUnits {
inline constexpr double PixelsPerUnit = 8.1;
inline constexpr double DesignedWidths[5] = {7.37, 41, 18, 12.5, 40.1};
inline constexpr int RowHeightPixels = 20; // 15 points at 96 dpi
inline constexpr int InitialRows = 50;
} // namespace GridUnits
