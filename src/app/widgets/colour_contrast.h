#pragma once

#include <QColor>

class QPalette;

// Contrast as WCAG measures it, to pick colours that stay readable on the palette in
// force, light or dark.

/// Relative luminance of \a colour: 0 for black, 1 for white.
double relativeLuminance(const QColor &colour);
/// From 1 (the same) to 21 (black and white).
double contrastRatio(const QColor &a, const QColor &b);
/// Whether the palette paints light text on a dark window (a dark desktop theme).
bool isDarkPalette(const QPalette &palette);
/// \a colour made lighter, its hue kept, until it stands out from \a background by
/// \a ratio, or white.
QColor lightenedFrom(const QColor &background, QColor colour, double ratio);
