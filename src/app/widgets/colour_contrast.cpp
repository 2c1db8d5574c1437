#include "colour_contrast.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
            + 0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const auto [dark, light] = std::minmax({relativeLuminance(a), relativeLuminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

bool isDarkPalette(const QPalette &palette)
{
    return relativeLuminance(palette.color(QPalette::Window))
            < relativeLuminance(palette.color(QPalette::WindowText));
}

QColor lightenedFrom(const QColor &background, QColor colour, double ratio)
{
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    colour.getHslF(&hue, &saturation, &lightness);
    while (contrastRatio(colour, background) < ratio && lightness < 1) {
        lightness = std::min(lightness + 0.02f, 1.0f);
        colour = QColor::fromHslF(hue, saturation, lightness);
    }
    return colour;
}
