#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>

namespace dw::test {

// A dark theme's palette: dark windows and bases, light text, a blue highlight.
QPalette darkPalette();

// Sets darkPalette() on the application for the object's life, then puts back the one
// that was set before.
class ScopedDarkPalette {
public:
    ScopedDarkPalette();
    ~ScopedDarkPalette();
    ScopedDarkPalette(const ScopedDarkPalette&) = delete;
    ScopedDarkPalette& operator=(const ScopedDarkPalette&) = delete;

private:
    QPalette before_;
};

// The contrast ratio of two colours, from 1 (the same lightness) to 21 (black on white),
// from their relative luminances as the accessibility guidelines define them. Text is
// comfortably readable from 4.5 on.
double contrastRatio(const QColor& a, const QColor& b);

// How well the text painted in `picture` stands out: the contrast ratio between the
// picture's most frequent colour (its background) and the pixel that differs most from
// it (the ink). 1 for a picture of one colour.
double inkContrast(const QImage& picture);

}  // namespace dw::test
