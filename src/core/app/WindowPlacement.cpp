#include "WindowPlacement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace WindowPlacement {

int nearestInt(double value)
{
    if (!std::isfinite(value))
        return 0;
    // nearbyint rounds in the current mode, which is to-nearest, ties-to-even.
    const double rounded = std::nearbyint(value);
    if (rounded < double(std::numeric_limits<int>::min()) || rounded > double(std::numeric_limits<int>::max()))
        return 0;
    return int(rounded);
}

std::optional<QRect> toPixels(const Remembered &remembered, double twipsPerPixelX, double twipsPerPixelY)
{
    if (remembered.width <= 0 || remembered.height <= 0)
        return std::nullopt;
    return QRect(nearestInt(remembered.left / twipsPerPixelX), nearestInt(remembered.top / twipsPerPixelY),
                 nearestInt(remembered.width / twipsPerPixelX), nearestInt(remembered.height / twipsPerPixelY));
}

ToStore fromPixels(const QRect &outer, double twipsPerPixelX, double twipsPerPixelY)
{
    ToStore stored;
    stored.left = std::max(0, nearestInt(outer.x() * twipsPerPixelX));
    stored.top = std::max(0, nearestInt(outer.y() * twipsPerPixelY));
    stored.width = float(outer.width() * twipsPerPixelX);
    stored.height = float(outer.height() * twipsPerPixelY);
    return stored;
}

} // namespace WindowPlacement
