#include "PaneRoom.h"

#include <algorithm>
#include <cmath>

namespace PaneRoom {

int gridHeight(int gridBefore, int browserBefore, int total, int minBrowser)
{
    if (total <= 0)
        return 0;
    gridBefore = std::max(gridBefore, 0);
    browserBefore = std::max(browserBefore, 0);
    const int both = gridBefore + browserBefore;
    const int share = both > 0 ? int(std::lround(double(total) * gridBefore / both)) : total / 2;
    const int kept = std::min(gridBefore, total - minBrowser);
    return std::clamp(std::max(kept, share), 0, total);
}

} // namespace PaneRoom
