#include "widgets/readablecolour.h"

#include <algorithm>
#include <cmath>

namespace {

double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &colour, const QColor &background, double ratio)
{
    if (contrastRatio(colour, background) >= ratio)
        return colour;
    const bool lighten = luminance(background) < 0.18;
    const QColor hsl = colour.toHsl();
    // Lightness in steps of 1 of 255: the first that reads is the nearest.
    for (int step = 1; step <= 255; ++step) {
        const int lightness = hsl.lightness() + (lighten ? step : -step);
        if (lightness < 0 || lightness > 255)
            break;
        const QColor tried = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness);
        if (contrastRatio(tried, background) >= ratio)
            return tried;
    }
    return lighten ? QColor(Qt::white) : QColor(Qt::black);
}
