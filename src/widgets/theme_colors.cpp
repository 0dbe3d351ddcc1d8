#include "widgets/theme_colors.h"

#include <algorithm>
#include <cmath>

namespace dw {

QColor mixColors(const QColor& a, const QColor& b, double share) {
    const double t = std::clamp(share, 0.0, 1.0);
    auto channel = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                  channel(a.blue(), b.blue()), a.alpha());
}

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor shadedBandColor(const QPalette& palette) {
    // A dark window sits closer to a dark base, so the band moves further to stand out.
    return mixColors(palette.color(QPalette::Base), palette.color(QPalette::Text),
                     isDarkPalette(palette) ? 0.2 : 0.125);
}

QColor headingColor(const QPalette& palette) {
    return mixColors(palette.color(QPalette::Text), palette.color(QPalette::Highlight), 0.5);
}

QColor titleRowColor(const QPalette& palette) {
    return mixColors(palette.color(QPalette::Base), palette.color(QPalette::Highlight), 0.18);
}

QColor noteColor(const QPalette& palette) {
    const QColor yellow(0xf5, 0xf9, 0x88);
    return mixColors(palette.color(QPalette::Base), yellow, isDarkPalette(palette) ? 0.3 : 1.0);
}

QColor warningTextColor(const QPalette& palette) {
    return isDarkPalette(palette) ? QColor(0xff, 0x70, 0x70) : QColor(0xb0, 0x00, 0x00);
}

QPalette paperPalette(const QPalette& palette) {
    QPalette paper = palette;
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base}) {
        paper.setColor(role, Qt::white);
    }
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        paper.setColor(role, Qt::black);
    }
    return paper;
}

}  // namespace dw
