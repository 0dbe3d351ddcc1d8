#include "widgets/backdrop.h"

#include <QLinearGradient>
#include <QPainter>

namespace dw {

namespace {
constexpr int kTileSize = 96;
constexpr int kMinimumDepthForPicture = 15;
}  // namespace

Backdrop::Backdrop(QWidget* parent) : QWidget(parent), tile_(makeTile()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Backdrop::applyColourDepth(int bitsPerPixel) {
    mode_ = bitsPerPixel < kMinimumDepthForPicture ? Mode::Gradient : Mode::TiledPicture;
    update();
}

QPixmap Backdrop::makeTile() {
    // A quiet pattern of platter rings on pale steel blue, so the large buttons and
    // the title stay readable on top of it.
    QPixmap tile(kTileSize, kTileSize);
    tile.fill(QColor(222, 231, 240));
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kTileSize / 2.0, kTileSize / 2.0);
    for (int r = 8; r <= 44; r += 9) {
        p.setPen(QPen(QColor(205, 217, 230), 2.0));
        p.drawEllipse(centre, r, r);
    }
    p.setPen(QPen(QColor(236, 241, 247), 1.0));
    p.drawLine(QPointF(0, 0.5), QPointF(kTileSize, 0.5));
    p.drawLine(QPointF(0.5, 0), QPointF(0.5, kTileSize));
    return tile;
}

void Backdrop::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (mode_ == Mode::Gradient) {
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0.0, Qt::blue);
        g.setColorAt(1.0, Qt::black);
        p.fillRect(rect(), g);
    } else {
        p.drawTiledPixmap(rect(), tile_);
    }
}

}  // namespace dw
