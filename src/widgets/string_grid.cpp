#include "widgets/string_grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <cmath>

namespace dw {

namespace {

constexpr int kTextMargin = 2;
constexpr int kGlyphSize = 16;

}  // namespace

// Paints every cell through the grid, so that painting asks the table for one cell's
// text at a time and keeps nothing.
class StringGridDelegate final : public QStyledItemDelegate {
public:
    explicit StringGridDelegate(StringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const qsizetype row = StringGridModel::gridRow(index);
        grid_->drawCell(painter, option, row, index.column(),
                        grid_->cellStyle(row, index.column()));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // Only the height matters to a fixed-height grid; measuring text for a million
        // rows would be wasted.
        Q_UNUSED(index);
        return QSize(option.fontMetrics.horizontalAdvance(QLatin1Char('M')) * 8,
                     grid_->rowHeight());
    }

private:
    StringGrid* grid_;
};

StringGrid::StringGrid(QWidget* parent)
    : QTableView(parent),
      table_(new GridTable(0, this)),
      model_(new StringGridModel(table_, this)) {
    setModel(model_);
    setItemDelegate(new StringGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setSortingEnabled(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);

    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setRowHeight(qRound(18.0 * logicalDpiY() / 96.0));

    QHeaderView* titles = horizontalHeader();
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->setHighlightSections(false);
    titles->setSectionsClickable(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setStretchLastSection(false);
    titles->viewport()->installEventFilter(this);

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit rowDoubleClicked(StringGridModel::gridRow(index));
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                emit currentRowChanged(StringGridModel::gridRow(current));
            });
}

StringGrid::~StringGrid() {
    // The model listens to the table: take it off the view before either goes.
    setModel(nullptr);
    delete model_;
}

qsizetype StringGrid::currentRow() const {
    return StringGridModel::gridRow(currentIndex());
}

void StringGrid::setCurrentRow(qsizetype row) {
    const int column = std::max(currentIndex().column(), 0);
    const QModelIndex index = model_->indexForCell(column, row);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void StringGrid::setMarkColumn(int column) {
    markColumn_ = column;
    viewport()->update();
}

void StringGrid::setColumnAlignment(int column, Qt::Alignment alignment) {
    model_->setColumnAlignment(column, alignment & Qt::AlignHorizontal_Mask);
    viewport()->update();
}

void StringGrid::setColumnTitleTip(int column, const QString& tip) {
    model_->setColumnTitleTip(column, tip);
}

void StringGrid::setBandColor(char band, const QColor& color) {
    if (color.isValid()) {
        bandColors_.insert(band, color);
    } else {
        bandColors_.remove(band);
    }
    viewport()->update();
}

void StringGrid::setCellStyler(CellStyler styler) {
    styler_ = std::move(styler);
    viewport()->update();
}

CellStyle StringGrid::cellStyle(qsizetype row, int column) const {
    CellStyle style;
    style.alignment = model_->columnAlignment(column);
    if (row >= 1) {
        const char band = table_->band(row);
        if (band != 0)
            style.background = bandColors_.value(band);
        style.drawMark = column == markColumn_ && table_->isMarked(row);
    }
    if (styler_)
        styler_(row, column, style);
    return style;
}

void StringGrid::setColumnElide(int column, Qt::TextElideMode mode) {
    if (mode == Qt::ElideNone) {
        elide_.remove(column);
    } else {
        elide_.insert(column, mode);
    }
    viewport()->update();
}

QString StringGrid::cellToolTip(qsizetype row, int column) const {
    if (!elide_.contains(column) || row < 1 || row >= table_->rowCount()) {
        return {};
    }
    const QString text = table_->cell(column, row);
    QFont font = this->font();
    font.setBold(cellStyle(row, column).bold);
    int room = columnWidth(column) - 2 * kTextMargin;
    if (column == markColumn_ && table_->isMarked(row)) {
        room -= kGlyphSize;
    }
    return QFontMetrics(font).horizontalAdvance(text) > room ? text : QString();
}

int StringGrid::sizeHintForColumn(int column) const {
    if (column < 0 || column >= table_->columnCount()) {
        return -1;
    }
    QFont bold = font();
    bold.setBold(true);
    // Bold is the wider of the two faces a cell may use.
    const QFontMetrics metrics(bold);
    const qsizetype rows = std::min<qsizetype>(table_->rowCount(), kFitRows + 1);
    int widest = QFontMetrics(horizontalHeader()->font()).horizontalAdvance(table_->title(column)) +
                 4 * kTextMargin + 4;
    const int glyph = column == markColumn_ ? kGlyphSize : 0;
    for (qsizetype r = 1; r < rows; ++r) {
        widest = std::max(
            widest, metrics.horizontalAdvance(table_->cell(column, r)) + glyph + 3 * kTextMargin);
    }
    return widest;
}

bool StringGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString tip = index.isValid()
                                ? cellToolTip(StringGridModel::gridRow(index), index.column())
                                : QString();
        if (!tip.isEmpty()) {
            QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
            return true;
        }
    }
    return QTableView::viewportEvent(event);
}

void StringGrid::setRowHeight(int pixels) {
    verticalHeader()->setDefaultSectionSize(std::max(pixels, 1));
}

int StringGrid::rowHeight() const {
    return verticalHeader()->defaultSectionSize();
}

QPixmap StringGrid::markGlyph() {
    static const QPixmap glyph = [] {
        // A red cross on a white disc: "this file goes".
        QPixmap pm(kGlyphSize, kGlyphSize);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(150, 0, 0), 1));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        return pm;
    }();
    return glyph;
}

void StringGrid::drawCell(QPainter* painter, const QStyleOptionViewItem& option, qsizetype row,
                          int column, const CellStyle& style) const {
    const QRect& rect = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        !option.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
        : option.state.testFlag(QStyle::State_Active) ? QPalette::Active
                                                      : QPalette::Inactive;
    painter->save();
    painter->setClipRect(rect);
    QColor background =
        style.background.isValid() ? style.background : option.palette.color(group, QPalette::Base);
    QColor text =
        style.foreground.isValid() ? style.foreground : option.palette.color(group, QPalette::Text);
    if (selected) {
        background = option.palette.color(group, QPalette::Highlight);
        text = option.palette.color(group, QPalette::HighlightedText);
    }
    painter->fillRect(rect, background);

    QRect textRect = rect.adjusted(kTextMargin, kTextMargin, -kTextMargin, 0);
    if (style.drawMark) {
        painter->drawPixmap(rect.left() + 2, rect.top() + 2, markGlyph());
        textRect.setLeft(rect.left() + 2 + kGlyphSize);
    }
    QFont font = option.font;
    font.setBold(style.bold);
    painter->setFont(font);
    painter->setPen(text);
    QString cell = table_->cell(column, row);
    const Qt::TextElideMode elide = elide_.value(column, Qt::ElideNone);
    if (elide != Qt::ElideNone) {
        cell = QFontMetrics(font).elidedText(cell, elide, textRect.width());
    }
    painter->drawText(
        textRect,
        int(style.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop | Qt::TextSingleLine, cell);
    painter->restore();
}

void StringGrid::keyReleaseEvent(QKeyEvent* event) {
    QTableView::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyReleased(event->key(), event->modifiers());
}

bool StringGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            titlePressed_ = mouse->button() == Qt::LeftButton;
            titlePress_ = mouse->position().toPoint();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            if (titlePressed_ && mouse->button() == Qt::LeftButton && at == titlePress_) {
                const int column = horizontalHeader()->logicalIndexAt(at);
                if (column >= 0)
                    emit titleClicked(column);
            }
            titlePressed_ = false;
        }
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace dw
