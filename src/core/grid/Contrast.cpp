#include "Contrast.h"

#include <algorithm>
#include <cmath>

namespace Contrast {

namespace {

double linear(int channel)
{
    const double c = std::clamp(channel, 0, 255) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int mix(int from, int to, double t)
{
    return int(std::lround(from + (to - from) * t));
}

} // namespace

double luminance(Rgb colour)
{
    return 0.2126 * linear(colour.r) + 0.7152 * linear(colour.g) + 0.0722 * linear(colour.b);
}

double ratio(Rgb a, Rgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb blend(Rgb top, int alpha, Rgb under)
{
    const double t = std::clamp(alpha, 0, 255) / 255.0;
    return {mix(under.r, top.r, t), mix(under.g, top.g, t), mix(under.b, top.b, t)};
}

Rgb legible(Rgb text, Rgb background, double least)
{
    if (ratio(text, background) >= least)
        return text;
    // Towards whichever end stands out more from this background.
    const Rgb end = ratio(Rgb{0, 0, 0}, background) >= ratio(Rgb{255, 255, 255}, background) ? Rgb{0, 0, 0}
                                                                                              : Rgb{255, 255, 255};
    constexpr int Steps = 20;
    for (int step = 1; step < Steps; ++step) {
        const double t = double(step) / Steps;
        const Rgb nearer{mix(text.r, end.r, t), mix(text.g, end.g, t), mix(text.b, end.b, t)};
        if (ratio(nearer, background) >= least)
            return nearer;
    }
    return end;
}

} // namespace Contrast
