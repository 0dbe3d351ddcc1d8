#pragma once

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QStyleOptionViewItem>
#include <QTableView>

#include <functional>

#include "base/grid_table.h"
#include "widgets/string_grid_model.h"

namespace dw {

// How one cell is painted. The grid fills it from its own settings (column alignment,
// band colours, mark column) and then lets the window's styler change it.
struct CellStyle {
    QColor background;  // invalid: the grid's base colour
    QColor foreground;  // invalid: the grid's text colour
    bool bold = false;
    Qt::Alignment alignment = Qt::AlignLeft;  // horizontal; the text always starts 2 px down
    bool drawMark = false;                    // the mark glyph at the cell's left, text after it
};

// The result grid of the windows: a table of text cells over a GridTable it owns, with
// the table's row 0 as the fixed title row (the header), no fixed column, whole-row
// single selection, arrow/page/home/end keys, columns the user widens by dragging, and
// fixed-height rows (18 pixels at 96 dpi, scaled), in an 8-point font.
//
// Cells are painted by drawCell(): the background (the selection colours for the
// selected row, else the style's background), the mark glyph where the style asks for
// it, and the text 2 pixels in from the cell's left (or right, for right-aligned
// columns) and 2 pixels below its top, clipped to the cell. Windows change the look per
// cell with a styler (bands, bold) or by overriding drawCell().
//
// Rows are given in grid numbers throughout: 1 is the first data row.
class StringGrid : public QTableView {
    Q_OBJECT

public:
    explicit StringGrid(QWidget* parent = nullptr);
    ~StringGrid() override;

    GridTable& table() { return *table_; }
    const GridTable& table() const { return *table_; }
    StringGridModel* gridModel() const { return model_; }

    // Appends a batch of rows with one insertion for the view.
    void appendRows(const QList<GridRow>& rows) { table_->appendRows(rows); }

    // The grid row of the current row, or 0 when there is none.
    qsizetype currentRow() const;
    // Makes data row `row` current and selected and scrolls it into view; rows outside
    // the data rows clear the current row.
    void setCurrentRow(qsizetype row);

    // The column whose cell shows the mark glyph of a marked row; -1 (the default) for
    // none.
    void setMarkColumn(int column);
    int markColumn() const { return markColumn_; }

    // Horizontal alignment of a column's cells and title.
    void setColumnAlignment(int column, Qt::Alignment alignment);

    // The tool tip shown over a column's title: what its figures mean.
    void setColumnTitleTip(int column, const QString& tip);

    // Background of the unselected rows carrying band tag `band`; an invalid colour
    // removes it.
    void setBandColor(char band, const QColor& color);

    // Called for every cell painted, after the grid's own settings, to change its style.
    using CellStyler = std::function<void(qsizetype row, int column, CellStyle& style)>;
    void setCellStyler(CellStyler styler);

    // The style a cell is painted with: alignment, band background, mark, then styler.
    CellStyle cellStyle(qsizetype row, int column) const;

    // How a cell text too long for its column is cut: Qt::ElideNone (the default) clips
    // it at the cell's edge; Qt::ElideMiddle (for paths, so the file name stays in
    // view) and the others put an ellipsis in. A text cut so has its whole text as the
    // cell's tool tip.
    void setColumnElide(int column, Qt::TextElideMode mode);
    // The tool tip of a cell: its whole text when its column elides and the text does not
    // fit the column's width; empty otherwise.
    QString cellToolTip(qsizetype row, int column) const;
    // The width that shows every text of `column` whole (its title, and each data row's
    // text after the mark glyph where the column has one), for a double click on the
    // edge of a column's title. Looks at no more than the first kFitRows data rows.
    int sizeHintForColumn(int column) const override;
    static constexpr qsizetype kFitRows = 20000;

    // Height of every data row, in pixels.
    void setRowHeight(int pixels);
    int rowHeight() const;

    // The 16 x 16 mark glyph.
    static QPixmap markGlyph();

signals:
    // A left click on the title row: released at exactly the pixel where it was pressed
    // (a drag, such as widening a column, is no click).
    void titleClicked(int column);
    // A double click on a data row.
    void rowDoubleClicked(qsizetype row);
    // A key released while the grid has the focus.
    void keyReleased(int key, Qt::KeyboardModifiers modifiers);
    // The current row changed (0: none).
    void currentRowChanged(qsizetype row);

protected:
    // Paints one data cell with `style` into option.rect (option.state tells selection,
    // focus and enabled state). Override for drawing the style cannot express.
    virtual void drawCell(QPainter* painter, const QStyleOptionViewItem& option, qsizetype row,
                          int column, const CellStyle& style) const;

    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class StringGridDelegate;

    GridTable* table_;
    StringGridModel* model_;
    int markColumn_ = -1;
    QHash<char, QColor> bandColors_;
    QHash<int, Qt::TextElideMode> elide_;
    CellStyler styler_;
    QPoint titlePress_{-1, -1};
    bool titlePressed_ = false;
};

}  // namespace dw
