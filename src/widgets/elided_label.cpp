#include "widgets/elided_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <QStyle>

#include <algorithm>

namespace dw {

namespace {

// Wide enough for a short status line to show whole, narrow enough that a label holding a
// long path leaves the width of its window to the other widgets.
constexpr int kHintCharacters = 40;

}  // namespace

ElidedLabel::ElidedLabel(QWidget* parent) : ElidedLabel(QString(), parent) {}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    QLabel::setTextFormat(Qt::PlainText);
    QLabel::setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setText(text);
}

void ElidedLabel::setText(const QString& text) {
    QLabel::setText(text);
    updateToolTip();
}

void ElidedLabel::clear() {
    setText(QString());
}

void ElidedLabel::setNote(const QString& note) {
    note_ = note;
    updateToolTip();
}

int ElidedLabel::textWidth() const {
    const int indentWidth = indent() > 0 ? indent() : 0;
    return std::max(0, contentsRect().width() - 2 * margin() - indentWidth);
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textWidth());
}

bool ElidedLabel::isShortened() const {
    return shownText() != text();
}

void ElidedLabel::updateToolTip() {
    QStringList lines;
    if (isShortened()) {
        lines.append(text());
    }
    if (!note_.isEmpty()) {
        lines.append(note_);
    }
    setToolTip(lines.join(QLatin1Char('\n')));
}

QSize ElidedLabel::sizeHint() const {
    // QLabel measures the whole text; only its height is worth keeping.
    const QSize whole = QLabel::sizeHint();
    const QFontMetrics fm = fontMetrics();
    const int frame = width() - contentsRect().width();
    const int cap = fm.averageCharWidth() * kHintCharacters + frame + 2 * margin();
    return {std::min(whole.width(), cap), whole.height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    const int frame = width() - contentsRect().width();
    const int ellipsis = fontMetrics().horizontalAdvance(QStringLiteral("\u2026"));
    return {ellipsis + frame + 2 * margin(), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const int indentWidth = indent() > 0 ? indent() : 0;
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    if (align & Qt::AlignLeft) {
        area.setLeft(area.left() + indentWidth);
    } else if (align & Qt::AlignRight) {
        area.setRight(area.right() - indentWidth);
    }
    style()->drawItemText(&painter, area, static_cast<int>(align) | Qt::TextSingleLine, palette(),
                          isEnabled(), shownText(), foregroundRole());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // Another font or style changes how much of the text fits.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateToolTip();
    }
}

}  // namespace dw
