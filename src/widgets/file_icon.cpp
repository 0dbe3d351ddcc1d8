#include "widgets/file_icon.h"

#include <QFile>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/dir_reader.h"

namespace dw {

namespace {

// Drawn rather than shipped, so they come out sharp at every size asked for.
QPixmap drawn(int size, bool folder) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    if (folder) {
        QPainterPath tab;
        tab.moveTo(3, 8);
        tab.lineTo(3, 6);
        tab.lineTo(12, 6);
        tab.lineTo(14, 8);
        tab.lineTo(29, 8);
        tab.lineTo(29, 26);
        tab.lineTo(3, 26);
        tab.closeSubpath();
        p.setBrush(QColor(230, 190, 80));
        p.drawPath(tab);
        p.setBrush(QColor(250, 215, 110));
        p.drawRect(QRectF(3, 11, 26, 15));
    } else {
        QPainterPath page;
        page.moveTo(7, 3);
        page.lineTo(20, 3);
        page.lineTo(26, 9);
        page.lineTo(26, 29);
        page.lineTo(7, 29);
        page.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.drawLine(QPointF(20, 3), QPointF(20, 9));
        p.drawLine(QPointF(20, 9), QPointF(26, 9));
        QFont font = p.font();
        font.setPixelSize(14);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(120, 120, 120));
        p.drawText(QRectF(7, 9, 19, 20), Qt::AlignCenter, QStringLiteral("?"));
    }
    return pixmap;
}

QIcon drawnIcon(bool folder) {
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        icon.addPixmap(drawn(size, folder));
    }
    return icon;
}

}  // namespace

const QIcon& DirectoryIcon() {
    static const QIcon icon = drawnIcon(true);
    return icon;
}

const QIcon& NoIcon() {
    static const QIcon icon = drawnIcon(false);
    return icon;
}

QIcon FileIcon(const QByteArray& path) {
    const auto entry = platform::statPath(path);
    if (entry && entry->isFolder()) {
        return DirectoryIcon();
    }
    const QMimeDatabase db;
    // Only a regular file's bytes are read: a FIFO would wait, a device never end.
    const bool regular = entry && !entry->isSystem();
    const QMimeType type =
        regular ? db.mimeTypeForFile(QFile::decodeName(path))
                : db.mimeTypeForFile(QFile::decodeName(path), QMimeDatabase::MatchExtension);
    for (const QString& name : {type.iconName(), type.genericIconName()}) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    return NoIcon();
}

}  // namespace dw
