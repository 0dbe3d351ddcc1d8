#include "support/dark_palette.h"

#include <QApplication>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace dw::test {

namespace {

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

}  // namespace

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x2d, 0x2d, 0x30);
    const QColor base(0x1e, 0x1e, 0x1e);
    const QColor text(0xe8, 0xe8, 0xe8);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x6f, 0xc9));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x55));
    p.setColor(QPalette::Midlight, QColor(0x44, 0x44, 0x48));
    p.setColor(QPalette::Mid, QColor(0x28, 0x28, 0x2a));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    return p;
}

ScopedDarkPalette::ScopedDarkPalette() : before_(QApplication::palette()) {
    QApplication::setPalette(darkPalette());
}

ScopedDarkPalette::~ScopedDarkPalette() {
    QApplication::setPalette(before_);
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double inkContrast(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            ++counts[line[x]];
        }
    }
    if (counts.isEmpty()) {
        return 1.0;
    }
    QRgb background = counts.constBegin().key();
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > counts.value(background)) {
            background = it.key();
        }
    }
    double best = 1.0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        best = std::max(best, contrastRatio(QColor(background), QColor(it.key())));
    }
    return best;
}

}  // namespace dw::test
