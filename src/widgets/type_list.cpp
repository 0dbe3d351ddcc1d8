#include "widgets/type_list.h"

#include <QApplication>
#include <QPainter>
#include <QStyledItemDelegate>

namespace dw {

namespace {

// Draws a row's pattern and description in two columns rather than leaving the TAB to
// the text engine, whose tab stops would not line the descriptions up.
class TypeLineDelegate final : public QStyledItemDelegate {
public:
    explicit TypeLineDelegate(TypeList* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString line = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        const QString pattern = tab < 0 ? line : line.left(tab);
        const QString description = tab < 0 ? QString() : line.mid(tab + 1);
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const QPalette::ColorGroup group =
            (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        painter->save();
        painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected)
                                                     ? QPalette::HighlightedText
                                                     : QPalette::Text));
        painter->setFont(opt.font);
        const int split = std::min(list_->patternWidth(), text.width());
        const QRect left(text.left() + 2, text.top(), split - 6, text.height());
        const QRect right(text.left() + split, text.top(), text.width() - split, text.height());
        painter->drawText(left, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(pattern, Qt::ElideRight, left.width()));
        painter->drawText(right, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(description, Qt::ElideRight, right.width()));
        painter->restore();
    }

private:
    const TypeList* list_;
};

}  // namespace

TypeList::TypeList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(true);
    setUniformItemSizes(true);
    // Long descriptions are cut short in their column; the list never scrolls sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new TypeLineDelegate(this));
}

QStringList TypeList::lines() const {
    QStringList out;
    out.reserve(count());
    for (int i = 0; i < count(); ++i) {
        out.append(item(i)->text());
    }
    return out;
}

void TypeList::setLines(const QStringList& lines) {
    clear();
    addItems(lines);
}

int TypeList::addLines(const QStringList& lines) {
    QStringList present = this->lines();
    int added = 0;
    for (const QString& line : lines) {
        if (!present.contains(line)) {
            addItem(line);
            present.append(line);
            ++added;
        }
    }
    return added;
}

QStringList TypeList::selectedLines() const {
    QStringList out;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected()) {
            out.append(item(i)->text());
        }
    }
    return out;
}

int TypeList::selectedCount() const {
    int n = 0;
    for (int i = 0; i < count(); ++i) {
        n += item(i)->isSelected() ? 1 : 0;
    }
    return n;
}

int TypeList::removeSelected() {
    int removed = 0;
    for (int i = count() - 1; i >= 0; --i) {
        if (item(i)->isSelected()) {
            delete takeItem(i);
            ++removed;
        }
    }
    return removed;
}

void TypeList::setPatternWidth(int pixels) {
    patternWidth_ = pixels;
    viewport()->update();
}

}  // namespace dw
