#pragma once

#include <QLabel>
#include <QString>

namespace dw {

// A one-line label for a text that may be far wider than its window, such as a path or a
// status line that names one. It paints the text shortened in the middle with "…" to the
// width its layout gives it, again on every resize, and never asks for more width than a
// few dozen characters, so a long text never widens its window. text() is always the
// whole text. While the text is shortened the tool tip is the whole text (followed on a
// new line by the note, when one is set); while it fits, the tool tip is the note alone
// (empty when none). The text is plain: rich text and word wrap are not offered.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    explicit ElidedLabel(const QString& text, QWidget* parent = nullptr);

    // Sets the whole text; hides QLabel::setText so that the tool tip follows it.
    void setText(const QString& text);
    // Empties the text (and the tool tip but for the note); hides QLabel::clear.
    void clear();
    // An extra line for the tool tip, shown whether or not the text is shortened.
    void setNote(const QString& note);
    // The text as painted at the current width ("" when the label has no room at all).
    QString shownText() const;
    bool isShortened() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int textWidth() const;
    void updateToolTip();

    QString note_;
};

}  // namespace dw
