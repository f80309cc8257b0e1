#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include <initializer_list>

namespace orvelin {

// Colour decisions that follow the user's palette where the program's own
// fixed colours (drawn for a light window) would be unreadable on a dark one.

// Relative luminance of a colour (sRGB, 0 black to 1 white).
double RelativeLuminance(const QColor& colour);
// Contrast ratio of two colours, 1 (same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
// Text contrast that reads well (normal-size text).
constexpr double kTextContrast = 4.5;
// Contrast for shapes such as a focus frame.
constexpr double kShapeContrast = 3.0;

// True when the palette's window colour is dark (white stands out more on it
// than black).
bool IsDarkPalette(const QPalette& palette);

// `colour` with its hue kept and its lightness moved (towards white on a dark
// background, towards black on a light one) until it has `ratio` contrast
// with `background`; unchanged when it already has.
QColor ReadableOn(const QColor& colour, const QColor& background, double ratio = kTextContrast);

// Of the candidates, the first with `ratio` contrast on `background`; else
// the first one made readable.
QColor FirstReadable(std::initializer_list<QColor> candidates, const QColor& background,
                     double ratio = kTextContrast);

// The average colour of a picture (fully transparent pixels skipped).
QColor AverageColour(const QImage& image);

// The window's background picture for `palette`: unchanged for a light
// palette; for a dark one the same pattern laid over the palette's window
// colour, so that the palette's text colours read on it.
QPixmap BackgroundForPalette(const QPixmap& picture, const QPalette& palette);

// The help pages' colours as a style sheet: the program's own light look on a
// light palette, colours taken from the palette (with readable contrast) on a
// dark one.
QString HelpStyleSheet(const QPalette& palette);

// A dark palette of the Fusion kind, for pictures and tests of the dark look.
QPalette DarkPalette();

} // namespace orvelin
