#include "ColumnFit.h"

#include "core/grid/GridUnits.h"

namespace ColumnFit {

float rest(float paneTwips, double twipsPerPixel, const std::array<double, 4> &widths)
{
    // The two divisions in extended precision, the result kept in single.
    const auto units = float(static_cast<long double>(paneTwips) / static_cast<long double>(twipsPerPixel)
                             / static_cast<long double>(GridUnits::PixelsPerUnit));
    double left = units;
    for (const double width : widths)
        left -= width;
    left -= 3;
    return float(left);
}

} // namespace ColumnFit
