#include "widgets/window_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "base/settings_store.h"

namespace dw {

namespace {

QScreen* screenOf(const QWidget* w) {
    QScreen* s = w->screen();
    return s != nullptr ? s : QGuiApplication::primaryScreen();
}

void centreOn(QWidget* w, const QRect& area) {
    QRect frame = w->frameGeometry();
    frame.moveCenter(area.center());
    w->move(frame.topLeft());
}

// The saved rectangle, kept reachable: on the screen it overlaps most, no larger than
// that screen's work area and moved wholly into it; centred on the window's own screen
// when it overlaps none. A record saved at another scale factor or on a larger monitor
// would otherwise open with its buttons out of reach.
QRect placeOnScreen(const QWidget* w, const PlacementRecord& r) {
    // 64-bit differences: a damaged record may hold the int extremes.
    const qint64 width = qint64(r.right) - r.left;
    const qint64 height = qint64(r.bottom) - r.top;
    QRect rect(r.left, r.top, int(std::min<qint64>(width, 1 << 20)),
               height > 0 ? int(std::min<qint64>(height, 1 << 20)) : w->height());

    QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect overlap = s->availableGeometry() & rect;
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    QScreen* const screen = best != nullptr ? best : screenOf(w);
    if (screen == nullptr)
        return rect;
    const QRect avail = screen->availableGeometry();
    if (rect.width() > avail.width())
        rect.setWidth(avail.width());
    if (rect.height() > avail.height())
        rect.setHeight(avail.height());
    if (best == nullptr) {
        rect.moveCenter(avail.center());
    } else {
        rect.moveLeft(std::clamp(rect.left(), avail.left(), avail.right() - rect.width() + 1));
        rect.moveTop(std::clamp(rect.top(), avail.top(), avail.bottom() - rect.height() + 1));
    }
    return rect;
}

}  // namespace

void restoreWindowPlacement(QWidget* w, const QString& key, const QString& subkey,
                            const QString& valueName) {
    if (w == nullptr)
        return;
    if (QScreen* s = screenOf(w))
        centreOn(w, s->availableGeometry());

    const PlacementRecord r = SettingsStore().readPlacement(key, subkey, valueName);
    if (!r.applicable())
        return;
    w->setGeometry(placeOnScreen(w, r));
    const Qt::WindowStates normal =
        w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (r.showCommand == PlacementRecord::kShowMinimized) {
        w->setWindowState(normal | Qt::WindowMinimized);
    } else if (r.showCommand == PlacementRecord::kShowMaximized) {
        w->setWindowState(normal | Qt::WindowMaximized);
    } else {
        w->setWindowState(normal);
    }
}

void restoreWindowPlacement(QWidget* w, const settings::PlacementKey& where) {
    restoreWindowPlacement(w, QString::fromLatin1(where.key), placementSubkey(where),
                           QString::fromLatin1(where.valueName));
}

bool saveWindowPlacement(const QWidget* w, const QString& key, const QString& subkey,
                         const QString& valueName) {
    if (w == nullptr)
        return false;
    const QRect normal = w->normalGeometry();
    if (!normal.isValid())
        return false;
    PlacementRecord r;
    r.showCommand = w->isMinimized()   ? PlacementRecord::kShowMinimized
                    : w->isMaximized() ? PlacementRecord::kShowMaximized
                                       : PlacementRecord::kShowNormal;
    // No separate minimised or maximised positions exist here; -1 says "none".
    r.minX = r.minY = r.maxX = r.maxY = -1;
    r.left = normal.x();
    r.top = normal.y();
    r.right = normal.x() + normal.width();
    r.bottom = normal.y() + normal.height();
    return SettingsStore().writePlacement(key, subkey, valueName, r);
}

bool saveWindowPlacement(const QWidget* w, const settings::PlacementKey& where) {
    return saveWindowPlacement(w, QString::fromLatin1(where.key), placementSubkey(where),
                               QString::fromLatin1(where.valueName));
}

}  // namespace dw
