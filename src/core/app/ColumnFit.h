#pragma once

#include <array>

// Width arithmetic of the grid's last column, kept apart from any widget.
namespace ColumnFit {

// Columns 1 to 4 leave this many grid units or fewer: the last column keeps its width.
inline constexpr float MinimumRest = 30.0F;

// The width left for column 5, in grid units, in a pane paneTwips wide
// (single precision, as read from the pane), given columns 1 to 4.
float rest(float paneTwips, double twipsPerPixel, const std::array<double, 4> &widths);

} // namespace ColumnFit
