#include "finders/ui/treemap_view.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "base/utility.h"
#include "finders/folder_hogs.h"
#include "widgets/elided_label.h"

namespace dw {

namespace {

// Cushion shading: every folder level adds a ridge to the surface over each item, less
// high the deeper the level, so the hollows between items show where folders part.
constexpr float kRidgeHeight = 0.5f;
// The width, in average characters, past which a name in the breadcrumb is shortened.
constexpr int kCrumbCharacters = 30;
constexpr float kRidgeFalloff = 0.75f;
constexpr float kAmbient = 0.42f;
constexpr float kDiffuse = 0.7f;
// Light from the upper left, as on the program's buttons.
constexpr float kLightX = -0.09759f;
constexpr float kLightY = -0.19518f;
constexpr float kLightZ = 0.9759f;

struct Cushion {
    float s1x = 0;
    float s2x = 0;
    float s1y = 0;
    float s2y = 0;
};

void addRidge(float x1, float x2, float h, float& s1, float& s2) {
    if (x2 - x1 <= 0) {
        return;
    }
    s1 += 4 * h * (x2 + x1) / (x2 - x1);
    s2 -= 4 * h / (x2 - x1);
}

void fillSpan(QImage& image, int x0, int x1, int y0, int y1, QRgb colour) {
    for (int y = y0; y < y1; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + x0, line + x1, colour);
    }
}

void drawCushion(QImage& image, int x0, int x1, int y0, int y1, const Cushion& s, QRgb colour,
                 std::vector<float>& nx) {
    const float r = float(qRed(colour));
    const float g = float(qGreen(colour));
    const float b = float(qBlue(colour));
    nx.resize(std::size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        nx[std::size_t(x - x0)] = -(2 * s.s2x * (float(x) + 0.5f) + s.s1x);
    }
    for (int y = y0; y < y1; ++y) {
        const float ny = -(2 * s.s2y * (float(y) + 0.5f) + s.s1y);
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = x0; x < x1; ++x) {
            const float n = nx[std::size_t(x - x0)];
            const float cosa =
                (n * kLightX + ny * kLightY + kLightZ) / std::sqrt(n * n + ny * ny + 1.0f);
            const float light = kAmbient + kDiffuse * std::max(0.0f, cosa);
            line[x] = qRgb(int(std::min(255.0f, r * light)), int(std::min(255.0f, g * light)),
                           int(std::min(255.0f, b * light)));
        }
    }
}

}  // namespace

QColor TreemapColours::type(int legendIndex) {
    static const QRgb kColours[10] = {0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f,
                                      0xedc948, 0xb07aa1, 0xff9da7, 0x9c755f, 0x7fc6f0};
    return QColor(kColours[std::clamp(legendIndex, 0, 9)]);
}
QColor TreemapColours::otherTypes() {
    return QColor(0xa8a8a8);
}
QColor TreemapColours::smallFiles() {
    return QColor(0xdcdcd4);
}
QColor TreemapColours::folder() {
    return QColor(0x707880);
}
QColor TreemapColours::frame() {
    return QColor(0x30343a);
}

TreemapPicture drawTreemap(const SpaceTree& tree, quint32 root, const QSize& size,
                           std::shared_ptr<const TreemapTypeNames> names,
                           const std::atomic<bool>* cancel) {
    TreemapPicture picture;
    if (size.isEmpty() || root >= tree.size()) {
        return picture;
    }
    picture.root = root;
    if (!names || names->typeOf.size() != std::size_t(tree.types().size())) {
        names = std::make_shared<const TreemapTypeNames>(treemapTypeNames(tree));
    }
    picture.typeNames = names;
    TreemapLegend legend = treemapLegend(tree, *names, cancel);
    std::vector<QRgb> typeColour(names->typeOf.size(), TreemapColours::otherTypes().rgb());
    for (std::size_t t = 0; t < typeColour.size() && t < legend.slotOfType.size(); ++t) {
        if (legend.slotOfType[t] != TreemapLegend::kOtherTypes) {
            typeColour[t] = TreemapColours::type(legend.slotOfType[t]).rgb();
        }
    }
    picture.legend = std::move(legend.shares);
    TreemapLayoutOptions options;
    options.frame = 1.0;
    options.minArea = 1.0;
    picture.tiles = layoutTreemap(
        tree, root, MapRect{0, 0, double(size.width()), double(size.height())}, options, cancel);
    const std::vector<MapTile>& tiles = picture.tiles;

    QImage image(size, QImage::Format_RGB32);
    image.fill(TreemapColours::folder());
    std::vector<char> hasChild(tiles.size(), 0);
    for (const MapTile& t : tiles) {
        if (t.parentTile != kNoSpaceItem) {
            hasChild[t.parentTile] = 1;
        }
    }
    std::vector<Cushion> cushions(tiles.size());
    std::vector<float> nx;
    const QRgb frame = TreemapColours::frame().rgb();
    const QRgb folder = TreemapColours::folder().rgb();
    const QRgb small = TreemapColours::smallFiles().rgb();
    const QRgb folderLeaf = QColor(0x98a2ac).rgb();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if ((i & 1023) == 0 && cancel && cancel->load(std::memory_order_relaxed)) {
            break;
        }
        const MapTile& t = tiles[i];
        Cushion c = t.parentTile != kNoSpaceItem ? cushions[t.parentTile] : Cushion{};
        const float h = kRidgeHeight * std::pow(kRidgeFalloff, float(t.depth));
        addRidge(float(t.rect.x), float(t.rect.right()), h, c.s1x, c.s2x);
        addRidge(float(t.rect.y), float(t.rect.bottom()), h, c.s1y, c.s2y);
        cushions[i] = c;

        const int x0 = std::clamp(int(std::lround(t.rect.x)), 0, size.width());
        const int x1 = std::clamp(int(std::lround(t.rect.right())), 0, size.width());
        const int y0 = std::clamp(int(std::lround(t.rect.y)), 0, size.height());
        const int y1 = std::clamp(int(std::lround(t.rect.bottom())), 0, size.height());
        if (x1 <= x0 || y1 <= y0) {
            continue;
        }
        const SpaceItem& item = tree.item(t.item);
        if (hasChild[i]) {
            // The frame, then the folder's own colour where its children leave room.
            fillSpan(image, x0, x1, y0, y1, frame);
            if (x1 - x0 > 2 && y1 - y0 > 2) {
                fillSpan(image, x0 + 1, x1 - 1, y0 + 1, y1 - 1, folder);
            }
            continue;
        }
        QRgb colour = folderLeaf;
        if (item.kind() == SpaceItem::Kind::File) {
            colour = typeColour[item.type];
        } else if (item.kind() == SpaceItem::Kind::SmallFiles) {
            colour = small;
        }
        drawCushion(image, x0, x1, y0, y1, c, colour, nx);
    }
    picture.image = std::move(image);
    return picture;
}

// ---- the widget ------------------------------------------------------------------------

class TreemapView::Canvas : public QWidget {
public:
    explicit Canvas(TreemapView* view) : QWidget(view), view_(view) {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(120, 80);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // The map's size in the screen's pixels, which the picture is drawn at.
    QSize pixelSize() const {
        const qreal ratio = devicePixelRatioF();
        return QSize(qRound(width() * ratio), qRound(height() * ratio));
    }

    // From the widget's coordinates to the picture's, which differ while a new picture
    // for a new size is being drawn.
    QPointF toPicture(const QPoint& p) const {
        const QImage& image = view_->picture_.image;
        if (image.isNull() || width() == 0 || height() == 0) {
            return p;
        }
        return QPointF((p.x() + 0.5) * image.width() / width(),
                       (p.y() + 0.5) * image.height() / height());
    }
    QRectF fromPicture(const MapRect& r) const {
        const QImage& image = view_->picture_.image;
        if (image.isNull()) {
            return {};
        }
        const double sx = double(width()) / image.width();
        const double sy = double(height()) / image.height();
        return QRectF(r.x * sx, r.y * sy, r.w * sx, r.h * sy);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QImage& image = view_->picture_.image;
        if (image.isNull()) {
            p.fillRect(rect(), palette().window());
            return;
        }
        // Stretched while a picture for a new size is being drawn; else pixel for pixel.
        p.drawImage(QRectF(rect()), image);
        drawNames(p);
        const QRect outline = view_->tileRect(view_->outlined_);
        if (!outline.isEmpty()) {
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(outline.adjusted(0, 0, -1, -1));
            p.setPen(QPen(QColor(0xffe14d), 2));
            p.drawRect(outline.adjusted(2, 2, -2, -2));
        }
    }
    // The names of the items directly in the folder shown, where they fit, on a dark
    // band so they read on any colour.
    void drawNames(QPainter& p) {
        const std::shared_ptr<const SpaceTree>& tree = view_->tree_;
        if (!tree || view_->picture_.image.size() != pixelSize()) {
            return;
        }
        const QFontMetrics fm(font());
        p.setPen(Qt::white);
        for (const MapTile& t : view_->picture_.tiles) {
            if (t.depth != 1 || t.item >= tree->size()) {
                continue;
            }
            const QRectF r = fromPicture(t.rect);
            if (r.width() < 48 || r.height() < fm.height() + 8) {
                continue;
            }
            const SpaceItem& it = tree->item(t.item);
            const QString name =
                it.kind() == SpaceItem::Kind::SmallFiles
                    ? QStringLiteral("%1 small files").arg(FormatThousands(it.count))
                    : QFile::decodeName(tree->name(t.item));
            const QString text = fm.elidedText(name, Qt::ElideRight, int(r.width()) - 12);
            const QRect band(int(r.x()) + 3, int(r.y()) + 3, fm.horizontalAdvance(text) + 6,
                             fm.height() + 2);
            p.fillRect(band, QColor(0, 0, 0, 150));
            p.drawText(band.adjusted(3, 1, -3, -1), Qt::AlignLeft | Qt::AlignVCenter, text);
        }
    }

    void resizeEvent(QResizeEvent*) override { view_->requestDrawing(); }
    void showEvent(QShowEvent*) override { view_->requestDrawing(); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            const quint32 item = view_->itemAt(e->position().toPoint());
            if (item != kNoSpaceItem) {
                emit view_->itemClicked(item);
            }
        }
        QWidget::mousePressEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            const quint32 item = view_->itemAt(e->position().toPoint());
            if (item != kNoSpaceItem) {
                view_->setRoot(item);
            }
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override { view_->hoverAt(e->position().toPoint()); }
    void leaveEvent(QEvent*) override { view_->hoverAt(QPoint(-1, -1)); }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Backspace) {
            view_->zoomOut();
            return;
        }
        QWidget::keyPressEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        const quint32 item = view_->itemAt(e->pos());
        if (item != kNoSpaceItem) {
            emit view_->contextMenuRequested(item, e->globalPos());
        }
    }

private:
    TreemapView* view_;
};

TreemapView::TreemapView(QWidget* parent) : QWidget(parent) {
    pool_.setMaxThreadCount(1);
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    breadcrumb_ = new QLabel(this);
    breadcrumb_->setObjectName(QStringLiteral("lblBreadcrumb"));
    breadcrumb_->setTextFormat(Qt::RichText);
    // A deep chain of long names is shortened name by name; the label never widens the map.
    breadcrumb_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    breadcrumb_->setMinimumWidth(1);
    canvas_ = new Canvas(this);
    canvas_->setObjectName(QStringLiteral("map"));
    hover_ = new ElidedLabel(this);
    hover_->setObjectName(QStringLiteral("lblHover"));
    legend_ = new QLabel(this);
    legend_->setObjectName(QStringLiteral("lblLegend"));
    legend_->setTextFormat(Qt::RichText);
    legend_->setWordWrap(true);
    // Room for a usual legend from the start, so that its first text hardly moves the map.
    legend_->setMinimumHeight(2 * legend_->fontMetrics().lineSpacing() + 4);
    layout->addWidget(breadcrumb_);
    layout->addWidget(canvas_, 1);
    layout->addWidget(hover_);
    layout->addWidget(legend_);
    connect(breadcrumb_, &QLabel::linkActivated, this,
            [this](const QString& link) { setRoot(link.toUInt()); });
    updateTexts();
}

TreemapView::~TreemapView() {
    cancel_->store(true);
    pool_.waitForDone();
}

QWidget* TreemapView::map() const {
    return canvas_;
}

quint32 TreemapView::shownTop() const {
    if (!tree_) {
        return kNoSpaceItem;
    }
    const SpaceItem& top = tree_->item(0);
    return top.count == 1 ? top.first : 0;
}

void TreemapView::setTree(std::shared_ptr<const SpaceTree> tree) {
    tree_ = std::move(tree);
    typeNames_.reset();
    outlined_ = kNoSpaceItem;
    root_ = shownTop();
    picture_ = TreemapPicture();
    requestDrawing();
    updateTexts();
    canvas_->update();
    emit rootChanged(root_);
}

void TreemapView::treeChanged(std::shared_ptr<const SpaceTree> tree) {
    if (!tree || !tree_ || tree->size() != tree_->size()) {
        setTree(std::move(tree));
        return;
    }
    tree_ = std::move(tree);
    quint32 root = root_;
    for (quint32 i = root_; i != 0 && i != kNoSpaceItem; i = tree_->item(i).parent) {
        if (tree_->item(i).removed()) {
            root = tree_->item(i).parent;
        }
    }
    if (root != root_ && root != kNoSpaceItem) {
        root_ = root == 0 ? shownTop() : root;
        emit rootChanged(root_);
    }
    requestDrawing();
    updateTexts();
}

quint32 TreemapView::folderOf(quint32 item) const {
    if (!tree_ || item >= tree_->size()) {
        return kNoSpaceItem;
    }
    return tree_->item(item).isFolder() ? item : tree_->item(item).parent;
}

void TreemapView::setRoot(quint32 item) {
    if (!tree_) {
        return;
    }
    quint32 folder = folderOf(item);
    if (folder == kNoSpaceItem || folder == 0 || tree_->item(folder).bytes <= 0) {
        folder = shownTop();
    }
    for (quint32 i = folder; i != 0 && i != kNoSpaceItem; i = tree_->item(i).parent) {
        if (tree_->item(i).removed()) {
            folder = shownTop();
            break;
        }
    }
    if (folder == root_) {
        return;
    }
    root_ = folder;
    requestDrawing();
    updateTexts();
    emit rootChanged(root_);
}

bool TreemapView::zoomOut() {
    if (!tree_ || root_ == shownTop() || root_ == 0) {
        return false;
    }
    setRoot(tree_->item(root_).parent);
    return true;
}

void TreemapView::setOutlined(quint32 item) {
    if (item == outlined_) {
        return;
    }
    outlined_ = item;
    canvas_->update();
}

quint32 TreemapView::itemAt(const QPoint& point) const {
    if (picture_.tiles.empty() || !canvas_->rect().contains(point)) {
        return kNoSpaceItem;
    }
    const QPointF at = canvas_->toPicture(point);
    const qsizetype tile = tileAt(picture_.tiles, at.x(), at.y());
    return tile < 0 ? kNoSpaceItem : picture_.tiles[std::size_t(tile)].item;
}

QRect TreemapView::tileRect(quint32 item) const {
    if (item == kNoSpaceItem) {
        return {};
    }
    for (const MapTile& t : picture_.tiles) {
        if (t.item == item) {
            return canvas_->fromPicture(t.rect).toAlignedRect();
        }
    }
    return {};
}

void TreemapView::requestDrawing() {
    if (!tree_ || canvas_->size().isEmpty() || !canvas_->isVisible()) {
        if (!tree_) {
            picture_ = TreemapPicture();
        }
        redraw_ = tree_ != nullptr;
        return;
    }
    if (drawing_) {
        redraw_ = true;
        cancel_->store(true);
        return;
    }
    drawing_ = true;
    redraw_ = false;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++generation_;
    pool_.start([this, tree = tree_, root = root_, size = canvas_->pixelSize(), cancel = cancel_,
                 names = typeNames_, generation] {
        TreemapPicture picture = drawTreemap(*tree, root, size, names, cancel.get());
        if (cancel->load()) {
            picture = TreemapPicture();
        }
        QMetaObject::invokeMethod(
            this,
            [this, picture = std::move(picture), generation]() mutable {
                pictureReady(std::move(picture), generation);
            },
            Qt::QueuedConnection);
    });
}

void TreemapView::pictureReady(TreemapPicture picture, quint64 generation) {
    drawing_ = false;
    if (generation == generation_ && !picture.image.isNull() && !redraw_) {
        typeNames_ = picture.typeNames;
        picture_ = std::move(picture);
        updateTexts();
        canvas_->update();
        return;
    }
    if (redraw_) {
        requestDrawing();
    }
}

void TreemapView::finishDrawing() {
    if (redraw_ && !drawing_) {
        requestDrawing();
    }
    for (int round = 0; round < 8 && drawing_; ++round) {
        pool_.waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

QString TreemapView::describe(const SpaceTree& tree, quint32 item) {
    if (item == 0 || item >= tree.size()) {
        return {};
    }
    const SpaceItem& it = tree.item(item);
    QString text = QFile::decodeName(tree.path(item));
    if (it.kind() == SpaceItem::Kind::SmallFiles) {
        text += QStringLiteral(": %1 small files").arg(FormatThousands(it.count));
    }
    text += QStringLiteral("   ") + humanSizeText(it.bytes);
    if (it.bytes >= 1024) {
        text += QStringLiteral(" (") + FormatThousands(it.bytes) + QStringLiteral(" bytes)");
    }
    const QString percent = folderHogPercentText(it.bytes, tree.capacity(item));
    if (percent != QStringLiteral("???")) {
        text += QStringLiteral("   ") + percent + QStringLiteral("% of the drive");
    }
    return text;
}

void TreemapView::hoverAt(const QPoint& point) {
    const quint32 item = itemAt(point);
    hover_->setText(tree_ && item != kNoSpaceItem
                        ? describe(*tree_, item)
                        : QStringLiteral("Double-click a folder to look inside it; Backspace "
                                         "goes back up."));
}

void TreemapView::updateTexts() {
    QString crumbs;
    if (tree_ && root_ != kNoSpaceItem) {
        std::vector<quint32> chain;
        const quint32 top = shownTop();
        for (quint32 i = root_;; i = tree_->item(i).parent) {
            chain.push_back(i);
            if (i == top || i == 0) {
                break;
            }
        }
        const QFontMetrics fm = breadcrumb_->fontMetrics();
        const int nameWidth = fm.averageCharWidth() * kCrumbCharacters;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const QString name = *it == 0 ? QStringLiteral("All folders")
                                          : fm.elidedText(QFile::decodeName(tree_->name(*it)),
                                                          Qt::ElideMiddle, nameWidth)
                                                .toHtmlEscaped();
            if (!crumbs.isEmpty()) {
                crumbs += QStringLiteral(" &#x203a; ");
            }
            crumbs += *it == root_ ? QStringLiteral("<b>%1</b>").arg(name)
                                   : QStringLiteral("<a href=\"%1\">%2</a>").arg(*it).arg(name);
        }
        crumbs += QStringLiteral("&nbsp;&nbsp;&nbsp;") + humanSizeText(tree_->item(root_).bytes);
    }
    breadcrumb_->setText(crumbs);
    const QString clickNote = QStringLiteral("Click a folder to go back to it (Backspace: one up)");
    breadcrumb_->setToolTip(tree_ && root_ != kNoSpaceItem && root_ != 0
                                ? QFile::decodeName(tree_->path(root_)) + QLatin1Char('\n') +
                                      clickNote
                                : clickNote);
    hoverAt(QPoint(-1, -1));

    QString legend;
    auto swatch = [](const QColor& c, const QString& text) {
        return QStringLiteral(
                   "<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span>"
                   "&nbsp;%2&nbsp;&nbsp;&nbsp; ")
            .arg(c.name(), text.toHtmlEscaped().replace(u' ', QStringLiteral("&nbsp;")));
    };
    if (tree_) {
        for (std::size_t i = 0; i < picture_.legend.size(); ++i) {
            const TreemapTypeShare& share = picture_.legend[i];
            legend += swatch(TreemapColours::type(int(i)),
                             share.name + QStringLiteral(" ") + humanSizeText(share.bytes));
        }
        legend += swatch(TreemapColours::otherTypes(), QStringLiteral("Other types"));
        legend += swatch(TreemapColours::smallFiles(),
                         QStringLiteral("Files under ") + humanSizeText(tree_->keptFileSize()));
    }
    legend_->setText(legend);
}

QString TreemapView::breadcrumbText() const {
    return breadcrumb_->text();
}
QString TreemapView::hoverText() const {
    return hover_->text();
}
QString TreemapView::legendText() const {
    return legend_->text();
}

}  // namespace dw
