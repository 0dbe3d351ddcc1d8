#pragma once

#include <QListWidget>
#include <QStringList>

namespace dw {

// A list of type lines ("*.doc<TAB>Word document", see scan/type_lines.h): each row's
// text is the whole line, drawn as two columns, the pattern and then its description.
// Sorted by the lines' text; several rows can be selected (click, Ctrl-click, Shift-click,
// dragging).
class TypeList : public QListWidget {
    Q_OBJECT

public:
    explicit TypeList(QWidget* parent = nullptr);

    // Every line, in row order.
    QStringList lines() const;
    // Replaces every row by `lines` (duplicates kept as given).
    void setLines(const QStringList& lines);
    // Adds each line of `lines` that no row holds yet; returns how many were added.
    int addLines(const QStringList& lines);

    // The selected lines, in row order, and their count.
    QStringList selectedLines() const;
    int selectedCount() const;
    // Removes every selected row; returns how many went.
    int removeSelected();

    // Width of the pattern column, in pixels.
    void setPatternWidth(int pixels);
    int patternWidth() const { return patternWidth_; }

private:
    int patternWidth_ = 90;
};

}  // namespace dw
